#include "platform/MachineRegistry.h"

#include "platform/RegeditFile.h"

namespace orvelle::platform {

QString MachineRegistry::DefaultStandInFile() {
#ifdef _WIN32
    return {};
#else
    return QStringLiteral(ORVELLE_MACHINE_REGISTRY_FILE);
#endif
}

MachineRegistry::MachineRegistry(QString standInFile) : standInFile_(std::move(standInFile)) {}

std::string InvalidDataTypeMessage(const QString& valueName) {
    return InvalidDataTypeMessageUtf8(valueName.toStdString());
}

QString MachineRegistry::ReadString(const QString& key, const QString& valueName) const {
#ifdef _WIN32
    if (standInFile_.isEmpty())
        return ReadSystem(key, valueName);
#endif
    return ReadStandIn(key, valueName);
}

QString MachineRegistry::ReadStandIn(const QString& key, const QString& valueName) const {
    const RegeditFile file = RegeditFile::Load(standInFile_);
    const auto value = file.FindValue(QStringLiteral("HKEY_LOCAL_MACHINE\\") + key, valueName);
    if (!value)
        return {};
    if (value->kind != RegeditFile::Kind::String)
        throw RegistryError(InvalidDataTypeMessage(valueName));
    return value->text;
}

} // namespace orvelle::platform
