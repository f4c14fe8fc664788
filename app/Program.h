#pragma once

#include <functional>

class QApplication;

namespace orvelle::app {

// The program after its application object exists: the termination signals, Qt's own
// translations and the icon; then the data module, the main window and the About box in their
// fixed order; the maximised window and the message loop; the three destroyed again at the end.
// `started` (for tests that drive the real program) runs from the message loop once it runs.
// Returns the program's exit code.
int RunProgram(QApplication& application, const std::function<void()>& started = {});

} // namespace orvelle::app
