#pragma once

namespace orvelle::platform {

// Bounds what is left of the process's exit once main is done with its own work: the handlers
// libraries run at exit (the Firebird client shuts its engine down there, and has been seen to
// deadlock inside the engine doing it). Past `milliseconds`, the process ends with `exitCode`,
// its output flushed first. Call it last in main, with the program's own objects torn down and
// every connection detached: nothing of the program's is lost by skipping the rest.
void BoundTheExit(int exitCode, int milliseconds = 1500);

} // namespace orvelle::platform
