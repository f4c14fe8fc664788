// What opening a library through the user's cache of private copies costs, each figure beside
// a floor measured in the same run:
//  - the first open (the copy made) against `cp` of the same file onto the same disk;
//  - a later open of the unchanged library (the copy found) against attaching the file itself;
//  - the cache's size while several readers hold the library and another program builds its
//    index, against the library plus its index.
// Opens read one 4 MB document.
//
//   bench_open [megabytes] [rounds] [shared] [--keep FOLDER]
//
// shared 0 leaves out the cache's size with several readers (the index build of a large
// library takes many minutes).
// The library holds documents of 4 MB until it reaches the size asked for (1024 MB unless
// told). --keep builds it in FOLDER and leaves it there (library-N.kvd); run again with the
// same FOLDER to reuse it.

#include "common/BenchArguments.h"
#include "common/LargeLibrary.h"
#include "db/Database.h"
#include "db/Transaction.h"
#include "store/CacheLayout.h"
#include "store/CacheUpkeep.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace orvelle;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void ReadFirstDocument(store::Library& library) {
    if (store::ReadDocumentContent(library.Query(), 1).size() != bench::kLargeDocument) {
        throw std::runtime_error("the document came back short");
    }
}

struct Open {
    double open = 0; // the library's copy found or made, and attached
    double read = 0; // then one 4 MB document read
};

// Opens through the store's unit and reads the first document.
Open OpenThroughCache(const std::string& path) {
    Open times;
    auto start = Clock::now();
    store::Library library;
    library.Open(path);
    times.open = Since(start);
    start = Clock::now();
    ReadFirstDocument(library);
    times.read = Since(start);
    return times;
}

// The same on the file itself, as the engine opens it without a copy.
double OpenDirectly(const std::string& path) {
    const auto start = Clock::now();
    db::Database database;
    db::Transaction transaction(&database);
    db::Query query("IBQuery1", &database, &transaction);
    database.SetDefaultTransaction(&transaction);
    database.Params().Add(store::kUserNameLine);
    database.Params().Add(store::kPasswordLine);
    database.SetDatabaseName(path);
    database.Open();
    transaction.StartTransaction();
    if (store::ReadDocumentContent(query, 1).size() != bench::kLargeDocument) {
        throw std::runtime_error("the document came back short");
    }
    return Since(start);
}

pid_t Spawn(const std::vector<std::string>& command) {
    std::fflush(stdout); // nothing buffered is written twice
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> arguments;
        arguments.reserve(command.size() + 1);
        for (const std::string& argument : command) {
            arguments.push_back(const_cast<char*>(argument.c_str()));
        }
        arguments.push_back(nullptr);
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    return child;
}

int Wait(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// `cp` of the library onto the same disk: the floor of any copy.
double CopyWithCp(const std::string& from, const std::string& to) {
    fs::remove(to);
    const auto start = Clock::now();
    if (Wait(Spawn({"cp", from, to})) != 0) {
        throw std::runtime_error("cp failed");
    }
    const double seconds = Since(start);
    fs::remove(to);
    return seconds;
}

double Megabytes(std::uint64_t bytes) {
    return static_cast<double>(bytes) / (1 << 20);
}

// The cache while two readers hold the library (here, as a viewer does) and orvelle-export
// builds its index and lists its tree at the same time, sampled until the build is done.
void MeasureSharedCache(const std::string& library, const fs::path& cache) {
#ifdef ORVELLE_EXPORT
    fs::remove_all(cache / "orvelle" / "libraries");
    fs::remove_all(cache / "orvelle" / "search");
    store::Library first, second;
    first.Open(library);
    second.Open(library);
    const auto start = Clock::now();
    const pid_t index = Spawn({ORVELLE_EXPORT, "index", library});
    const pid_t tree = Spawn({ORVELLE_EXPORT, "tree", library});
    std::atomic<bool> done{false};
    std::uint64_t peak = 0;
    std::thread sampler([&] {
        while (!done) {
            peak = std::max(peak, store::BytesBelow((cache / "orvelle" / "libraries").string()) +
                                      store::BytesBelow((cache / "orvelle" / "search").string()));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    const int treeResult = Wait(tree);
    const int indexResult = Wait(index);
    done = true;
    sampler.join();
    const std::uint64_t libraryBytes = fs::file_size(library);
    const std::uint64_t indexBytes = store::BytesBelow((cache / "orvelle" / "search").string());
    std::printf("cache with two readers here, orvelle-export tree and orvelle-export index "
                "(exit %d and %d, %.0f s):\n",
                treeResult, indexResult, Since(start));
    std::printf("  largest %.0f MB; library %.0f MB + index %.0f MB = %.0f MB; ratio %.3f "
                "(target <= 1.05)\n",
                Megabytes(peak), Megabytes(libraryBytes), Megabytes(indexBytes),
                Megabytes(libraryBytes + indexBytes),
                static_cast<double>(peak) / static_cast<double>(libraryBytes + indexBytes));
#else
    (void)library;
    (void)cache;
    std::printf("cache with several readers: not measured (built without orvelle-export)\n");
#endif
}

} // namespace

int main(int argc, char** argv) {
    const bench::BenchArguments arguments = bench::ParseBenchArguments(argc, argv);
    const int megabytes = arguments.Number(0, 1024, 8);
    const int rounds = arguments.Number(1, 3, 1);
    const bool shared = arguments.Number(2, 1, 0) != 0;
    const fs::path folder = bench::WorkFolder(arguments, "orvelle-bench-open");
    const fs::path cache = bench::UseCacheIn(folder / "cache");
    try {
        const std::string library =
            (folder / ("library-" + std::to_string(megabytes) + ".kvd")).string();
        bench::BuildLargeLibrary(library, megabytes);
        // The file the engine opens directly is a scratch copy: attaching writes to it.
        const std::string scratch = (folder / "direct.kvd").string();
        fs::copy_file(library, scratch, fs::copy_options::overwrite_existing);
        const std::string floorCopy = (folder / "cp-floor.kvd").string();
        CopyWithCp(library, floorCopy); // the library in the page cache for both sides
        std::vector<double> cp, first, again, read, direct;
        for (int round = 0; round < rounds; ++round) {
            // The two copies take turns at going first.
            if (round % 2 == 0) {
                cp.push_back(CopyWithCp(library, floorCopy));
            }
            fs::remove_all(store::LibrariesFolder());
            first.push_back(OpenThroughCache(library).open);
            if (round % 2 == 1) {
                cp.push_back(CopyWithCp(library, floorCopy));
            }
            const Open later = OpenThroughCache(library);
            again.push_back(later.open);
            read.push_back(later.read);
            direct.push_back(OpenDirectly(scratch));
        }
        fs::remove(scratch);
        const double mb = Megabytes(fs::file_size(library));
        std::printf("open and read one 4 MB document of a %.0f MB library, median of %d:\n", mb,
                    rounds);
        std::printf("  cp of the file (floor)        %.3f s (min %.3f, max %.3f)\n", Median(cp),
                    *std::min_element(cp.begin(), cp.end()),
                    *std::max_element(cp.begin(), cp.end()));
        std::printf("  first open, copy made         %.3f s (min %.3f, max %.3f), %.2f x cp "
                    "(target <= 1.2)\n",
                    Median(first), *std::min_element(first.begin(), first.end()),
                    *std::max_element(first.begin(), first.end()), Median(first) / Median(cp));
        std::printf("  later open, copy found        %.3f s (min %.3f, max %.3f; target <= 0.05)\n",
                    Median(again), *std::min_element(again.begin(), again.end()),
                    *std::max_element(again.begin(), again.end()));
        std::printf("  then reading one document     %.3f s\n", Median(read));
        std::printf("  the file itself, no copy, and reading one document  %.3f s\n",
                    Median(direct));
        if (shared) {
            MeasureSharedCache(library, cache);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_open: %s\n", error.what());
        return 1;
    }
    if (arguments.keep.empty()) {
        fs::remove_all(folder);
    } else {
        fs::remove_all(cache);
    }
    return 0;
}
