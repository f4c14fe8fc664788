// What opening a library through its private snapshot costs: the first open of a library
// (the copy is made), a later open of the unchanged library (the copy is reused) and, for
// comparison, attaching the file itself as the engine would without a snapshot.
//
//   bench_open [megabytes] [rounds] [--keep FOLDER]
//
// The library holds documents of 4 MB until it reaches the size asked for (1024 MB unless
// told). --keep builds it in FOLDER and leaves it there (library-N.kvd); run again with the
// same FOLDER to reuse it.

#include "common/BenchArguments.h"
#include "db/Database.h"
#include "db/Transaction.h"
#include "kvdbuild/Register.h"
#include "kvdbuild/Synthetic.h"
#include "store/CacheLayout.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace orvelle;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kDocument = std::size_t(4) << 20;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Build(const std::string& path, int megabytes) {
    const auto start = Clock::now();
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder);
    std::string html = kvdbuild::SyntheticHtml("Big", kDocument, 11);
    html.resize(kDocument, ' ');
    const int documents = std::max(1, static_cast<int>((std::size_t(megabytes) << 20) / kDocument));
    std::vector<kvdbuild::RegisterRow> rows;
    for (int id = 1; id <= documents; ++id) {
        html[100] = static_cast<char>('A' + id % 26); // no two documents alike
        kvdbuild::AddContent(builder, id, html);
        kvdbuild::RegisterRow row;
        row.idparent = 0;
        row.id = id;
        row.childcount = 0;
        row.name = "Document " + std::to_string(id);
        row.orderview = id;
        row.idcontents = id;
        row.ispapka = 0;
        row.needshow = 1;
        rows.push_back(row);
        if (id % 16 == 0) {
            builder.Commit();
        }
    }
    kvdbuild::AddRegisterRows(builder, rows);
    builder.Close();
    std::printf("built %s: %d documents of 4 MB, %.0f MB, in %.1f s\n", path.c_str(), documents,
                static_cast<double>(std::filesystem::file_size(path)) / (1 << 20), Since(start));
}

// Opens through the store's unit and reads the first document.
double OpenThroughSnapshot(const std::string& path) {
    const auto start = Clock::now();
    store::Library library;
    library.Open(path);
    if (store::ReadDocumentContent(library.Query(), 1).size() != kDocument) {
        throw std::runtime_error("the document came back short");
    }
    return Since(start);
}

// The same on the file itself, as the engine opens it without a snapshot.
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
    if (store::ReadDocumentContent(query, 1).size() != kDocument) {
        throw std::runtime_error("the document came back short");
    }
    return Since(start);
}

} // namespace

int main(int argc, char** argv) {
    int megabytes = 1024;
    int rounds = 3;
    const bench::BenchArguments arguments = bench::ParseBenchArguments(argc, argv);
    megabytes = arguments.Number(0, megabytes, 8);
    rounds = arguments.Number(1, rounds, 1);
    const std::filesystem::path folder = bench::WorkFolder(arguments, "orvelle-bench-open");
    std::filesystem::create_directories(folder / "cache");
    setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
    try {
        const std::string library =
            (folder / ("library-" + std::to_string(megabytes) + ".kvd")).string();
        if (!std::filesystem::exists(library)) {
            Build(library, megabytes);
        }
        // The copy the engine opens directly is a scratch file: attaching writes to it.
        const std::string scratch = (folder / "direct.kvd").string();
        std::filesystem::copy_file(library, scratch,
                                   std::filesystem::copy_options::overwrite_existing);
        std::vector<double> first, again, direct;
        for (int round = 0; round < rounds; ++round) {
            std::filesystem::remove_all(store::LibrariesFolder());
            first.push_back(OpenThroughSnapshot(library));
            again.push_back(OpenThroughSnapshot(library));
            direct.push_back(OpenDirectly(scratch));
        }
        const double mb = static_cast<double>(std::filesystem::file_size(library)) / (1 << 20);
        std::printf("open and read one 4 MB document of a %.0f MB library, median of %d:\n", mb,
                    rounds);
        std::printf("  first open (copy made)      %.3f s (min %.3f, max %.3f), %.0f MB/s\n",
                    Median(first), *std::min_element(first.begin(), first.end()),
                    *std::max_element(first.begin(), first.end()), mb / Median(first));
        std::printf("  later open (copy reused)    %.3f s\n", Median(again));
        std::printf("  the file itself, no copy    %.3f s\n", Median(direct));
        std::filesystem::remove(scratch);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_open: %s\n", error.what());
        return 1;
    }
    if (arguments.keep.empty()) {
        std::filesystem::remove_all(folder);
    } else {
        std::filesystem::remove_all(folder / "cache");
    }
    return 0;
}
