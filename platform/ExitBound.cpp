#include "ExitBound.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace orvelle::platform {

int RunThenBoundTheExit(const std::function<int()>& work, int milliseconds) {
    const int exitCode = work();
    std::fflush(nullptr);
    std::thread([exitCode, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }).detach();
    return exitCode;
}

} // namespace orvelle::platform
