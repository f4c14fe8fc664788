// bench_search: how fast the full-text index is built, refreshed and queried, and whether the
// window stays responsive while it builds. Prints figures and ratios to floors measured in
// the same run.
//
//   bench_search                     5,000 generated documents (a quick run)
//   bench_search --full              100,000 generated documents
//   bench_search --documents N       N generated documents
//   bench_search --library FILE      an existing library (the demo, for instance)
//   bench_search --queries N         how many queries to time (default 500)
//   bench_search --no-window         leave out the event-loop measurement (a second build)
#include "DirectContents.h"
#include "RussianCorpus.h"
#include "db/ClientLibrary.h"
#include "db/Database.h"
#include "db/Transaction.h"
#include "forms/SearchPanel.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"
#include "platform/AnsiText.h"
#include "search/IndexBuilder.h"
#include "search/RegisterSnapshot.h"
#include "search/Searcher.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

using namespace orvelle;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU time of the calling thread: on a machine shared with other work the wall clock also
// counts the time others had the processor.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

double Mb(std::size_t bytes) {
    return bytes / 1048576.0;
}

// A library of `documents` documents in folders of 500, each about 3 KB.
void GenerateLibrary(const std::string& path, int documents) {
    const bench::RussianCorpus corpus;
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    constexpr int kPerFolder = 500;
    const int folders = (documents + kPerFolder - 1) / kPerFolder;
    std::int32_t nextId = 1;
    for (int f = 0; f < folders; ++f) {
        const std::int32_t folderId = nextId++;
        const int inFolder = std::min(kPerFolder, documents - f * kPerFolder);
        kvdbuild::AddRegisterRow(
            builder, {0, folderId, inFolder, corpus.Name(1000000 + f), f, folderId, 1, 1});
        kvdbuild::AddContent(builder, folderId, corpus.Document(1000000 + f, 600));
        for (int d = 0; d < inFolder; ++d) {
            const std::int32_t id = nextId++;
            const auto n = static_cast<std::uint32_t>(f * kPerFolder + d);
            kvdbuild::AddRegisterRow(builder, {folderId, id, 0, corpus.Name(n), d, id, 0, 1});
            kvdbuild::AddContent(builder, id, corpus.Document(n, 3000));
        }
        builder.Commit();
    }
    builder.Close();
}

struct Floor {
    bench::ContentsRead read;
    double seconds = 0;
};

Floor MeasureFloor(const std::string& library) {
    db::Database database;
    db::Transaction transaction(&database);
    database.SetDefaultTransaction(&transaction);
    database.SetDatabaseName(library);
    database.Params().Add("user_name=SYSDBA");
    database.Params().Add("password=cobaltine");
    database.Open();
    transaction.StartTransaction();
    const bench::DirectContext direct{db::ClientLibrary::Load(), database.Handle(),
                                      transaction.Handle(),
                                      static_cast<unsigned short>(database.SQLDialect())};
    Floor floor;
    const auto start = Clock::now();
    floor.read = bench::ReadAllContents(direct);
    floor.seconds = Seconds(start);
    return floor;
}

// Every shown entry written out as a UTF-8 HTML file, and the words of a sample for queries.
std::vector<QString> WriteFiles(const std::string& library, const QString& folder) {
    auto connection = std::make_unique<store::Library>();
    connection->Open(library);
    const auto entries = search::ReadRegisterSnapshot(connection->Query(), {});
    store::DocumentContentReader reader(connection->Query());
    std::vector<QString> words;
    static const QRegularExpression wordPattern(QStringLiteral("[а-яё]{4,}"),
                                                QRegularExpression::CaseInsensitiveOption);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QString html = platform::FromAnsi(reader.Read(entries[i].contentId));
        const QString sub = QDir(folder).filePath(QString::number(i / 1000));
        QDir().mkpath(sub);
        QFile file(QDir(sub).filePath(QString::number(i) + QStringLiteral(".html")));
        if (file.open(QIODevice::WriteOnly)) {
            file.write("<meta charset=\"utf-8\">");
            file.write(html.toUtf8());
        }
        if (i % 50 == 0) {
            QString body = html;
            body.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
            for (auto it = wordPattern.globalMatch(body); it.hasNext();) {
                words.push_back(it.next().captured(0).toLower());
            }
        }
    }
    return words;
}

double RunOmindex(const QString& files, const QString& index) {
    QProcess omindex;
    const auto start = Clock::now();
    omindex.start(QStringLiteral("omindex"),
                  {QStringLiteral("--db"), index, QStringLiteral("--url"), QStringLiteral("/"),
                   QStringLiteral("--stemmer=russian"), QStringLiteral("--overwrite"), files});
    if (!omindex.waitForFinished(-1) || omindex.exitCode() != 0) {
        std::fprintf(stderr, "omindex failed: %s\n",
                     omindex.readAllStandardError().left(400).constData());
        return -1;
    }
    return Seconds(start);
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto at =
        static_cast<std::size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
    return values[std::min(at, values.size() - 1)];
}

void MeasureQueries(const QString& index, const std::vector<QString>& words, int count) {
    if (words.empty()) {
        return;
    }
    search::Searcher searcher(index);
    std::mt19937 random(42);
    std::vector<double> times[3];
    std::vector<double> cpu;
    std::size_t hits = 0;
    for (int i = 0; i < count; ++i) {
        const int length = 1 + i % 3;
        const std::size_t first = random() % words.size();
        QString query;
        for (int w = 0; w < length; ++w) {
            query += words[(first + w) % words.size()] + ' ';
        }
        const double cpuStart = ThreadCpuMs();
        const auto start = Clock::now();
        hits += searcher.Search(query, {.limit = 20}).size();
        times[length - 1].push_back(Seconds(start) * 1000);
        cpu.push_back(ThreadCpuMs() - cpuStart);
    }
    std::vector<double> all;
    for (int length = 1; length <= 3; ++length) {
        std::printf("  %d-word queries: median %.2f ms, p99 %.2f ms, max %.2f ms (%zu)\n", length,
                    Percentile(times[length - 1], 0.5), Percentile(times[length - 1], 0.99),
                    Percentile(times[length - 1], 1.0), times[length - 1].size());
        all.insert(all.end(), times[length - 1].begin(), times[length - 1].end());
    }
    std::printf("  all %d queries, 20 hits with snippets: median %.2f ms (target <= 10), p99 "
                "%.2f ms (target <= 50); %.1f hits per query\n",
                count, Percentile(all, 0.5), Percentile(all, 0.99),
                static_cast<double>(hits) / count);
    std::printf("  the same in CPU time of the searching thread: median %.2f ms, p99 %.2f ms\n",
                Percentile(cpu, 0.5), Percentile(cpu, 0.99));
}

// The search panel builds the index as the window does, while a timer measures how long the
// event loop goes without turning.
void MeasureEventLoop(const std::string& library, const QString& root) {
    forms::SearchPanel panel;
    panel.resize(300, 400);
    panel.show();
    panel.ProgressArea()->show();
    panel.SetIndexRoot(root);
    QElapsedTimer settle; // first paint and fonts, before any indexing
    settle.start();
    while (settle.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QElapsedTimer sinceLast;
    qint64 longest = 0;
    int longPasses = 0, passes = 0;
    std::vector<double> gaps;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 gap = sinceLast.restart();
        longest = std::max(longest, gap);
        longPasses += gap > 50;
        ++passes;
        gaps.push_back(static_cast<double>(gap));
    });
    const auto start = Clock::now();
    panel.OpenLibrary(library);
    sinceLast.start();
    tick.start();
    while (panel.Indexing()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    tick.stop();
    std::printf("event loop while indexing (%.1f s): %d passes, p99.9 %.0f ms, longest %lld ms "
                "(target <= 50), %d longer than 50 ms\n",
                Seconds(start), passes, Percentile(gaps, 0.999), static_cast<long long>(longest),
                longPasses);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // figures as they come
    int documents = 5000;
    int queries = 500;
    std::string library;
    bool window = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--full") {
            documents = 100000;
        } else if (arg == "--documents" && i + 1 < argc) {
            documents = std::atoi(argv[++i]);
        } else if (arg == "--library" && i + 1 < argc) {
            library = argv[++i];
        } else if (arg == "--no-window") {
            window = false;
        } else if (arg == "--queries" && i + 1 < argc) {
            queries = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_search [--full | --documents N] [--library FILE] "
                                 "[--queries N] [--no-window]\n");
            return 2;
        }
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        return 1;
    }
    try {
        if (library.empty()) {
            library = QDir(work.path()).filePath(QStringLiteral("bench.kvd")).toStdString();
            const auto start = Clock::now();
            GenerateLibrary(library, documents);
            std::printf("generated %d documents in %.1f s\n", documents, Seconds(start));
        }
        std::printf("library %s\n", library.c_str());

        const Floor floor = MeasureFloor(library);
        std::printf("floor, every document's bytes through the client API: %zu documents, "
                    "%.1f MB in %.2f s (%.1f MB/s)\n",
                    floor.read.documents, Mb(floor.read.bytes), floor.seconds,
                    Mb(floor.read.bytes) / floor.seconds);

        const QString index = QDir(work.path()).filePath(QStringLiteral("index"));
        std::atomic<bool> cancel{false};
        auto start = Clock::now();
        const auto outcome = search::BuildIndex(library, index, cancel, {});
        const double build = Seconds(start);
        std::printf("index build: %d entries in %.2f s (%.1f MB/s), %.1f x the floor\n",
                    outcome.entries, build, Mb(floor.read.bytes) / build, build / floor.seconds);

        start = Clock::now();
        const auto again = search::BuildIndex(library, index, cancel, {});
        std::printf("refresh of an unchanged library: %d unchanged in %.2f s (%.1f x the floor)\n",
                    again.unchanged, Seconds(start), Seconds(start) / floor.seconds);

        const QString files = QDir(work.path()).filePath(QStringLiteral("files"));
        const std::vector<QString> words = WriteFiles(library, files);
        const double omindex =
            RunOmindex(files, QDir(work.path()).filePath(QStringLiteral("omindex")));
        if (omindex > 0) {
            std::printf("omindex on the same documents as files: %.2f s (%.1f MB/s); ours is "
                        "%.2f x omindex (target <= 1.5)\n",
                        omindex, Mb(floor.read.bytes) / omindex, build / omindex);
        }

        std::printf("queries:\n");
        MeasureQueries(index, words, queries);

        if (window) {
            MeasureEventLoop(library, QDir(work.path()).filePath(QStringLiteral("panel")));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
