#include "BenchArguments.h"

#include <algorithm>
#include <cstdlib>
#include <random>

namespace orvelle::bench {

int BenchArguments::Number(std::size_t index, int fallback, int least) const {
    if (index >= positional.size()) {
        return fallback;
    }
    return std::max(least, std::atoi(positional[index].c_str()));
}

BenchArguments ParseBenchArguments(int argc, char** argv) {
    BenchArguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep" && i + 1 < argc) {
            arguments.keep = argv[++i];
        } else {
            arguments.positional.push_back(arg);
        }
    }
    return arguments;
}

std::filesystem::path WorkFolder(const BenchArguments& arguments, const std::string& program) {
    std::filesystem::path folder = arguments.keep;
    if (folder.empty()) {
        std::random_device random;
        folder =
            std::filesystem::temp_directory_path() / (program + "-" + std::to_string(random()));
    }
    std::filesystem::create_directories(folder);
    return folder;
}

std::filesystem::path UseCacheIn(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
#ifdef _WIN32
    _putenv_s("XDG_CACHE_HOME", folder.string().c_str());
#else
    setenv("XDG_CACHE_HOME", folder.c_str(), 1);
#endif
    return folder;
}

} // namespace orvelle::bench
