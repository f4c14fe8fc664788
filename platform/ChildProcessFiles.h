#pragma once

class QProcess;

namespace orvelle::platform {

// Keeps the program's open files out of the program `process` starts. The database engine does
// not open its files close-on-exec, so a child would otherwise hold the engine's handle on every
// library copy attached when it started, and with it the engine's lock on that copy: a copy let
// go a moment later by its connection can then not be attached by the child ("Database already
// opened with engine instance, incompatible with current"). On Windows the engine's handles are
// not inherited to begin with.
void KeepOpenFilesFromChild(QProcess& process);

} // namespace orvelle::platform
