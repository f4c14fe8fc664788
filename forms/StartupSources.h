#pragma once

#include "platform/MachineRegistry.h"

#include <QString>

namespace orvelle::forms {

// Where start-up looks for the machine-wide registry: the build's stand-in file (or the
// real registry on Windows) unless a test points it elsewhere; and the library the command line
// names, if any.
class StartupSources {
public:
    static QString RegistryFile() { return registryFile(); }
    static void SetRegistryFile(const QString& file) { registryFile() = file; }

    // A library named on the command line, opened instead of looking for one; empty: none.
    static QString LaunchLibrary() { return launchLibrary(); }
    static void SetLaunchLibrary(const QString& file) { launchLibrary() = file; }

private:
    static QString& launchLibrary() {
        static QString file;
        return file;
    }
    static QString& registryFile() {
        static QString file = platform::MachineRegistry::DefaultStandInFile();
        return file;
    }
};

} // namespace orvelle::forms
