#pragma once

#include <functional>

namespace orvelle::platform {

// Runs `work` (main's own work: its result is the exit code), then bounds what is left of the
// process's exit: the handlers libraries run at exit (the Firebird client shuts its engine down
// there, and has been seen to deadlock inside the engine doing it). Past `milliseconds`, the
// process ends with the exit code, its output flushed first. `work` must tear the program's
// own objects down and detach every connection before it returns: nothing of the program's is
// lost by skipping the rest. Main returns what this returns.
int RunThenBoundTheExit(const std::function<int()>& work, int milliseconds = 1500);

} // namespace orvelle::platform
