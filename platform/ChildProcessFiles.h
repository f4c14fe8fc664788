#pragma once

class QProcess;

namespace orvelle::platform {

// Makes `process`, when it starts, hold none of this process's open files but its standard
// input, output and error. Without it a child keeps every file the database engine opened
// without close-on-exec (the attached copy of a library, the engine's lock files), and the
// engine then refuses to attach that copy again in this process ("Database already opened
// with engine instance, incompatible with current") for as long as the child lives. Windows
// hands a child no handle that was not made inheritable: nothing to do there.
void InheritStandardFilesOnly(QProcess& process);

} // namespace orvelle::platform
