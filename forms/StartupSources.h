#pragma once

#include "platform/MachineRegistry.h"

#include <QString>

namespace orvelle::forms {

// Where start-up looks for the machine-wide registry: the build's stand-in file (or the
// real registry on Windows) unless a test points it elsewhere.
class StartupSources {
public:
    static QString RegistryFile() { return registryFile(); }
    static void SetRegistryFile(const QString& file) { registryFile() = file; }

private:
    static QString& registryFile() {
        static QString file = platform::MachineRegistry::DefaultStandInFile();
        return file;
    }
};

} // namespace orvelle::forms
