#pragma once

class QCoreApplication;

namespace orvelle::platform {

// Makes SIGTERM, SIGINT and SIGHUP end the program the ordinary way: the message loop ends
// (also a modal dialog's), and start-up, which asks TerminationRequested between its steps,
// stops without falling back to other files or asking the user.
// Install it first thing, before the database client library attaches anything: its embedded
// engine then installs handlers of its own at the first attach, which shut the engine down (so
// a long load ends at once) and pass the signal on to the handlers they found, ours.
// Windows ends programs with window messages, which Qt already turns into a close.
void QuitOnTerminationSignals(QCoreApplication& application);

// Whether one of those signals has arrived.
bool TerminationRequested();

} // namespace orvelle::platform
