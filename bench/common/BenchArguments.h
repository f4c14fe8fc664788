#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orvelle::bench {

// A benchmark program's command line: numbers by position, and `--keep FOLDER` to work in (and
// keep) a folder of the caller's instead of a fresh temporary one.
struct BenchArguments {
    std::vector<std::string> positional;
    std::filesystem::path keep;

    // The positional argument at `index` as a number of at least `least`; `fallback` when absent.
    int Number(std::size_t index, int fallback, int least) const;
};

BenchArguments ParseBenchArguments(int argc, char** argv);

// The folder to work in: the one given with --keep, else a new one under the temporary folder
// named after `program`. Made when missing.
std::filesystem::path WorkFolder(const BenchArguments& arguments, const std::string& program);

// Makes `folder` the user's cache for this process (XDG_CACHE_HOME), before the client library
// loads: the engine's lock folder and the libraries' copies go there. Made when missing.
std::filesystem::path UseCacheIn(const std::filesystem::path& folder);

} // namespace orvelle::bench
