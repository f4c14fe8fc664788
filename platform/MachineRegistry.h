#pragma once

#include "platform/RegistryError.h"

#include <QLatin1String>
#include <QString>

#include <string>

namespace orvelle::platform {

// Where the estimating application records its database: a string value under
// HKEY_LOCAL_MACHINE.
inline constexpr QLatin1String KelvadomKey{"SOFTWARE\\Brevanta\\Kelvadom"};
inline constexpr QLatin1String DataBasePathValue{"DataBasePath"};

// Read-only access to the machine-wide registry hive (HKEY_LOCAL_MACHINE).
//
// On Windows the system registry is read (32-bit view, read access only) unless a stand-in
// file is given. Elsewhere a Windows regedit export stands in for the hive (see RegeditFile):
// by default the machine-wide file fixed at build time, in tests a file of their own.
class MachineRegistry {
public:
    // The build's machine-wide stand-in file; empty on Windows, where the registry is real.
    static QString DefaultStandInFile();

    explicit MachineRegistry(QString standInFile = DefaultStandInFile());

    // The string value valueName of key (a path below HKEY_LOCAL_MACHINE, e.g. KelvadomKey).
    // Empty when the key or the value is missing, or the value is empty; otherwise the stored
    // text up to its first NUL, environment references not expanded, blanks not trimmed.
    // Throws RegistryError "Invalid data type for '<valueName>'" when the value exists but is
    // neither REG_SZ nor REG_EXPAND_SZ.
    QString ReadString(const QString& key, const QString& valueName) const;

private:
    QString ReadStandIn(const QString& key, const QString& valueName) const;
#ifdef _WIN32
    QString ReadSystem(const QString& key, const QString& valueName) const;
#endif

    QString standInFile_;
};

// The message of a RegistryError for a value of the wrong type.
std::string InvalidDataTypeMessage(const QString& valueName);

} // namespace orvelle::platform
