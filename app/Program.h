#pragma once

#include "forms/LaunchRequest.h"

#include <functional>

class QApplication;

namespace orvelle::app {

// The program after its application object exists: the termination signals, Qt's own
// translations and the icon; then the data module, the main window and the About box in their
// fixed order (the library `request` names, when it names one, instead of the one the start-up
// looks for); the window as it was left, listening for later starts of the program; the
// reader's place and what `request` asks for; the message loop; the three destroyed again at
// the end. `started` (for tests that drive the real program) runs from the message loop once it
// runs. Returns the program's exit code.
int RunProgram(QApplication& application, const std::function<void()>& started = {},
               const forms::LaunchRequest& request = {});

} // namespace orvelle::app
