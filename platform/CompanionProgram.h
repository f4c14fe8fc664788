#pragma once

#include <QString>

namespace orvelle::platform {

// Another program of this package, by its base name ("orvelle-export"): its path in the running
// program's folder, with ".exe" on Windows. Whether it is there is the caller's question.
QString CompanionProgram(const QString& baseName);

} // namespace orvelle::platform
