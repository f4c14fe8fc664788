// Loads registers of the same size but different shapes through the register walk, as
// `orvelle-export tree` and the main window do: all entries under one parent against the same
// number spread over five levels. A walk that is linear in the number of entries takes about
// the same time for both.
//
//   bench_tree [rounds] [entries] [--keep FOLDER]
//
// --keep writes the libraries into FOLDER and leaves them there (siblings-N.kvd,
// levels-N.kvd), so that whole programs can be timed on them too.

#include "common/BenchArguments.h"
#include "kvdbuild/Register.h"
#include "store/Library.h"
#include "store/RegisterWalk.h"

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

// Counts what the walk hands over and keeps nothing.
class CountingSink final : public store::RegisterSink {
public:
    Item AddItem(Item, std::unique_ptr<store::TUzel>) override {
        ++count;
        return &count;
    }
    long count = 0;
};

kvdbuild::RegisterRow Row(std::int32_t parent, std::int32_t id, std::int32_t children,
                          std::int32_t order) {
    kvdbuild::RegisterRow row;
    row.idparent = parent;
    row.id = id;
    row.childcount = children;
    row.name = "Entry " + std::to_string(id);
    row.orderview = order;
    row.idcontents = 1000000 + id;
    row.ispapka = children > 0 ? 1 : 0;
    row.needshow = 1;
    return row;
}

// `entries` documents under the root, inserted in reverse display order.
std::vector<kvdbuild::RegisterRow> Siblings(int entries) {
    std::vector<kvdbuild::RegisterRow> rows;
    for (int id = entries; id >= 1; --id) {
        rows.push_back(Row(0, id, 0, id));
    }
    return rows;
}

// `entries` entries on five levels: each entry of the four upper levels holds `fanOut`
// children, breadth first, the fifth level cut where the count is reached.
std::vector<kvdbuild::RegisterRow> Levels(int entries) {
    int fanOut = 2;
    for (long total = 0;; ++fanOut) {
        long level = 1;
        total = 0;
        for (int depth = 0; depth < 5; ++depth) {
            total += (level *= fanOut);
        }
        if (total >= entries) {
            break;
        }
    }
    std::vector<std::int32_t> parents;
    std::vector<std::int32_t> ids;
    std::vector<std::int32_t> upper{0};
    std::int32_t next = 1;
    for (int depth = 0; depth < 5 && next <= entries; ++depth) {
        std::vector<std::int32_t> level;
        for (std::int32_t parent : upper) {
            for (int k = 0; k < fanOut && next <= entries; ++k) {
                parents.push_back(parent);
                ids.push_back(next);
                level.push_back(next++);
            }
        }
        upper = std::move(level);
    }
    std::vector<std::int32_t> children(static_cast<std::size_t>(next), 0);
    for (std::int32_t parent : parents) {
        if (parent != 0) {
            ++children[static_cast<std::size_t>(parent)];
        }
    }
    std::vector<kvdbuild::RegisterRow> rows;
    for (std::size_t k = parents.size(); k-- > 0;) {
        rows.push_back(Row(parents[k], ids[k], children[static_cast<std::size_t>(ids[k])], ids[k]));
    }
    return rows;
}

std::string Build(const std::filesystem::path& folder, const std::string& name,
                  const std::vector<kvdbuild::RegisterRow>& rows) {
    std::string path = (folder / name).string();
    std::filesystem::remove(path);
    const auto start = Clock::now();
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder);
    kvdbuild::AddRegisterRows(builder, rows);
    builder.Close();
    std::printf("built %s: %zu entries in %.1f s\n", name.c_str(), rows.size(),
                std::chrono::duration<double>(Clock::now() - start).count());
    return path;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Seconds for one whole walk of the register on a fresh connection.
double Walk(const std::string& path, long expected) {
    store::Library library;
    library.Open(path);
    CountingSink sink;
    const auto start = Clock::now();
    store::WalkRegister(library.Query(), 0, nullptr, sink);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (sink.count != expected) {
        std::fprintf(stderr, "walked %ld entries, expected %ld\n", sink.count, expected);
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    int entries = 100000;
    const bench::BenchArguments arguments = bench::ParseBenchArguments(argc, argv);
    rounds = arguments.Number(0, rounds, 1);
    entries = arguments.Number(1, entries, 100);
    const std::filesystem::path folder = bench::WorkFolder(arguments, "orvelle-bench-tree");
    try {
        const std::string n = std::to_string(entries);
        const std::string siblings = Build(folder, "siblings-" + n + ".kvd", Siblings(entries));
        const std::string levels = Build(folder, "levels-" + n + ".kvd", Levels(entries));
        Walk(siblings, entries); // warm the page cache and the snapshots
        Walk(levels, entries);
        std::vector<double> a, b;
        for (int round = 0; round < rounds; ++round) {
            a.push_back(Walk(siblings, entries));
            b.push_back(Walk(levels, entries));
        }
        std::printf("walk of %d entries, median of %d rounds:\n", entries, rounds);
        std::printf("  all under one parent   %.3f s (min %.3f, max %.3f)\n", Median(a),
                    *std::min_element(a.begin(), a.end()), *std::max_element(a.begin(), a.end()));
        std::printf("  over five levels       %.3f s (min %.3f, max %.3f)\n", Median(b),
                    *std::min_element(b.begin(), b.end()), *std::max_element(b.begin(), b.end()));
        const double ratio = Median(a) / Median(b);
        std::printf("  ratio siblings / levels %.2f (target <= 1.5: %s)\n", ratio,
                    ratio <= 1.5 ? "met" : "MISSED");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_tree: %s\n", error.what());
        return 1;
    }
    if (arguments.keep.empty()) {
        std::filesystem::remove_all(folder);
    }
    return 0;
}
