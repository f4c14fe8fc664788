// Measures the query object against the same work written directly on the client API:
// (a) the children-query cycle, (b) reading a 20 MB text blob. Runs alternate between the two
// sides and the medians of several rounds are reported.

#include "DirectApi.h"

#include "kvdbuild/Register.h"
#include "kvdbuild/Synthetic.h"
#include "store/Library.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace orvelle;
using Clock = std::chrono::steady_clock;

constexpr int kCycles = 10000;
constexpr std::size_t kBlobSize = 20u << 20;
constexpr std::int32_t kBlobId = 1;

const std::vector<std::string> kChildrenLines = {"SELECT *", "FROM B_REESTR_DOC",
                                                 "WHERE IDPARENT = :paretq AND NEEDSHOW<>0",
                                                 "order by orderview"};
const std::vector<std::string> kContentLines = {"SELECT B_DOC_CONTENTS.contents",
                                                "FROM B_DOC_CONTENTS,B_REESTR_DOC",
                                                "WHERE B_DOC_CONTENTS.ID = :paretq "};

class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path_ =
            std::filesystem::temp_directory_path() / ("orvelle-bench-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string Positional(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    const auto at = text.find(":paretq");
    return text.replace(at, 7, "?");
}

double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Side {
    const char* name;
    std::function<void()> work;
    std::vector<double> seconds;
};

// Runs every side once per round, each round starting with the next side, so that drifts in
// the machine's load fall on all of them alike.
void Compare(int rounds, std::vector<Side>& sides) {
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < sides.size(); ++k) {
            Side& side = sides[(round + k) % sides.size()];
            side.seconds.push_back(Seconds(side.work));
        }
    }
}

// Prints every side and the ratio of the first (the query object) to each other side; returns
// the ratio to the second (the bare client API).
double Report(const char* title, const std::vector<Side>& sides, double unit,
              const char* unitName) {
    std::printf("%s\n", title);
    for (const Side& side : sides) {
        std::printf("  %-28s median %9.3f %s  (min %.3f, max %.3f)\n", side.name,
                    Median(side.seconds) * unit, unitName,
                    *std::min_element(side.seconds.begin(), side.seconds.end()) * unit,
                    *std::max_element(side.seconds.begin(), side.seconds.end()) * unit);
    }
    const double query = Median(sides[0].seconds);
    for (std::size_t k = 1; k < sides.size(); ++k) {
        std::printf("  ratio query / %-14s %.3f\n", sides[k].name,
                    query / Median(sides[k].seconds));
    }
    return query / Median(sides[1].seconds);
}

int Run(int childRounds, int blobRounds) {
    TempFolder folder;
    const std::string path = folder.File("bench.kvd");
    std::vector<std::int32_t> parents;
    {
        const auto start = Clock::now();
        auto builder = kvdbuild::KvdBuilder::Create(path);
        kvdbuild::LibraryShape shape;
        shape.depth = 3;
        shape.foldersPerFolder = 6;
        shape.documentsPerFolder = 10;
        shape.contentBytes = 800;
        const kvdbuild::LibrarySummary summary = kvdbuild::AddSyntheticLibrary(builder, shape);
        std::string blob = kvdbuild::SyntheticHtml("Big", kBlobSize, 7);
        blob.resize(kBlobSize, ' ');
        kvdbuild::AddContent(builder, kBlobId, blob);
        builder.Close();
        parents = summary.parentIds;
        std::printf("database: %d folders, %d documents, %zu parents, 20 MB blob; built in "
                    "%.1f s\n",
                    summary.folders, summary.documents, parents.size(),
                    std::chrono::duration<double>(Clock::now() - start).count());
    }

    store::Library library;
    library.Open(path);
    db::Database& database = library.Database();
    db::Transaction& transaction = library.Transaction();
    db::Query& query = library.Query();

    const bench::DirectContext direct{db::ClientLibrary::Load(), database.Handle(),
                                      transaction.Handle(),
                                      static_cast<unsigned short>(database.SQLDialect())};
    const std::string childrenSql = Positional(kChildrenLines);
    const std::string contentSql = Positional(kContentLines);

    std::uint64_t sink = 0;
    std::uint64_t querySum = 0;
    std::uint64_t directSum = 0;
    auto queryCycles = [&] {
        std::uint64_t sum = 0;
        for (int i = 0; i < kCycles; ++i) {
            query.Close();
            query.SQL().Clear();
            for (const std::string& line : kChildrenLines) {
                query.SQL().Add(line);
            }
            query.ParamByName("paretq").SetAsInteger(parents[i % parents.size()]);
            query.Open();
            query.First();
            while (!query.Eof()) {
                sum += static_cast<std::uint32_t>(query.FieldByName("idparent").AsInteger());
                sum += static_cast<std::uint32_t>(query.FieldByName("id").AsInteger());
                sum += static_cast<std::uint32_t>(query.FieldByName("childcount").AsInteger());
                sum += query.FieldByName("name").AsString().size();
                sum += static_cast<std::uint32_t>(query.FieldByName("orderview").AsInteger());
                sum += static_cast<std::uint32_t>(query.FieldByName("idCONTENTS").AsInteger());
                sum += static_cast<std::uint8_t>(query.FieldByName("ISPAPKA").AsInteger());
                query.Next();
            }
            query.Close();
        }
        querySum = sum;
    };
    auto directCycles = [&](bool queryCalls) {
        std::uint64_t sum = 0;
        for (int i = 0; i < kCycles; ++i) {
            sum += bench::DirectChildrenCycle(direct, childrenSql, parents[i % parents.size()],
                                              queryCalls);
        }
        directSum = sum;
    };
    // Warm the caches of both sides once.
    queryCycles();
    directCycles(false);
    if (querySum != directSum) {
        std::fprintf(stderr, "the two sides read different data (%llu, %llu)\n",
                     static_cast<unsigned long long>(querySum),
                     static_cast<unsigned long long>(directSum));
        return 1;
    }
    std::vector<Side> childSides = {
        {"via Query", queryCycles, {}},
        {"direct API", [&] { directCycles(false); }, {}},
        {"direct API + query's calls", [&] { directCycles(true); }, {}},
    };
    Compare(childRounds, childSides);
    const double children =
        Report("(a) 10,000 children-query cycles (seconds per 10,000)", childSides, 1.0, "s ");

    std::size_t queryBlob = 0;
    std::size_t directBlob = 0;
    auto queryRead = [&] {
        query.Close();
        query.SQL().Clear();
        for (const std::string& line : kContentLines) {
            query.SQL().Add(line);
        }
        query.ParamByName("paretq").SetAsInteger(kBlobId);
        query.Open();
        const std::string text = query.FieldByName("CONTENTS").AsString();
        queryBlob = text.size();
        sink += static_cast<unsigned char>(text[text.size() / 2]);
        query.Close();
    };
    auto directRead = [&] {
        const std::string text = bench::DirectBlobRead(direct, contentSql, kBlobId);
        directBlob = text.size();
        sink += static_cast<unsigned char>(text[text.size() / 2]);
    };
    queryRead();
    directRead();
    if (queryBlob != kBlobSize || directBlob != kBlobSize) {
        std::fprintf(stderr, "blob sizes differ: %zu, %zu\n", queryBlob, directBlob);
        return 1;
    }
    std::vector<Side> blobSides = {{"via Query", queryRead, {}}, {"direct API", directRead, {}}};
    Compare(blobRounds, blobSides);
    const double blob =
        Report("(b) reading the 20 MB text blob (milliseconds per read)", blobSides, 1000.0, "ms");

    std::printf("target ratio <= 1.15: (a) %s, (b) %s   [%llu]\n",
                children <= 1.15 ? "met" : "MISSED", blob <= 1.15 ? "met" : "MISSED",
                static_cast<unsigned long long>(sink % 10));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const int childRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int blobRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    try {
        return Run(childRounds, blobRounds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_db: %s\n", e.what());
        return 1;
    }
}
