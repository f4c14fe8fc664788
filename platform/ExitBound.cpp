#include "ExitBound.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace orvelle::platform {

void BoundTheExit(int exitCode, int milliseconds) {
    std::fflush(nullptr);
    std::thread([exitCode, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }).detach();
}

} // namespace orvelle::platform
