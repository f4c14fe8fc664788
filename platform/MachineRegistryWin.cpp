// The system registry, read through the Qt-free WindowsRegistry.
#ifdef _WIN32

#include "platform/MachineRegistry.h"
#include "platform/WindowsRegistry.h"

namespace orvelle::platform {

QString MachineRegistry::ReadSystem(const QString& key, const QString& valueName) const {
    return QString::fromStdWString(ReadMachineString(key.toStdWString(), valueName.toStdWString()));
}

} // namespace orvelle::platform

#endif
