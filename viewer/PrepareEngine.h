#pragma once

namespace orvelle::viewer {

// Everything the web engine needs before the QApplication exists. Call it first thing in
// main(). Shares OpenGL contexts between the engine and the widgets, and on Linux, when the
// program runs as root, turns Chromium's sandbox off (Chromium refuses to start otherwise).
void PrepareEngine();

} // namespace orvelle::viewer
