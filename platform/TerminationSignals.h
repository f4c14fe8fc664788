#pragma once

class QCoreApplication;

namespace orvelle::platform {

// Makes SIGTERM, SIGINT and SIGHUP end the message loop the ordinary way, so the program
// closes its database and windows as on exit (the web engine would otherwise swallow them).
// Install it once the main window exists: the engine sets its own handlers when it starts.
// Windows ends programs with window messages, which Qt already turns into a close.
void QuitOnTerminationSignals(QCoreApplication& application);

} // namespace orvelle::platform
