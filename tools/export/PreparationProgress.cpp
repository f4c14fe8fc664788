#include "PreparationProgress.h"

#include "store/PreparationText.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace orvelle::exporter {

store::PrepareOptions PreparationProgress() {
    store::PrepareOptions options;
    if (!isatty(fileno(stderr))) {
        return options;
    }
    options.progress = [](std::uint64_t done, std::uint64_t total) {
        std::fprintf(stderr, "\r%s", store::PreparationText(done, total).c_str());
        if (done == total) {
            std::fputc('\n', stderr);
        }
        std::fflush(stderr);
    };
    return options;
}

} // namespace orvelle::exporter
