// bench_search: how fast the full-text index is built (as the program builds it, in the
// builder's process), refreshed and queried, and whether the window stays responsive while it
// builds. Prints figures and ratios to floors measured in the same run: reading the bytes
// alone, and omindex (xapian-omega) indexing the same documents as files.
//
//   bench_search                     5,000 generated documents (a quick run)
//   bench_search --full              10,000, 20,000 and 100,000 generated documents
//   bench_search --documents N[,N…]  N generated documents (several sizes: one after another,
//                                    with seconds per 10,000 documents compared at the end)
//   bench_search --library FILE      an existing library (the demo, for instance)
//   bench_search --queries N         how many queries to time (default 500)
//   bench_search --no-window         leave out the event-loop measurement (a further build)
//   bench_search --keep FOLDER       work in FOLDER and keep it: generated libraries are reused
#include "CorpusLibrary.h"
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
#include "search/IndexProcess.h"
#include "search/RegisterSnapshot.h"
#include "search/Searcher.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
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

#include <sys/resource.h>
#include <unistd.h>

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
    // At the builder's priority (it lowers its own, ProcessLimits.h), so that on a busy
    // machine the two are served alike.
    omindex.setChildProcessModifier([] { [[maybe_unused]] const int niceness = nice(10); });
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

// CPU seconds of the children waited for so far (user and system).
double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return 0;
}

struct ChildBuild {
    search::BuildOutcome outcome;
    double seconds = 0;
    double cpuSeconds = 0;
    long peakKb = 0; // the builder's largest resident size, sampled
};

// A build as the window starts it: the builder in a process of its own.
ChildBuild BuildInChild(const std::string& library, const QString& index) {
    ChildBuild build;
    search::IndexProcess builder(search::DefaultBuilderProgram(), library, index);
    QTimer sample;
    sample.setInterval(50);
    QObject::connect(&sample, &QTimer::timeout,
                     [&] { build.peakKb = std::max(build.peakKb, PeakKb(builder.ProcessId())); });
    QEventLoop loop;
    QObject::connect(&builder, &search::IndexProcess::Finished,
                     [&](const search::BuildOutcome& outcome) {
                         build.outcome = outcome;
                         loop.quit();
                     });
    QObject::connect(&builder, &search::IndexProcess::Failed, [&](const QString& message, bool) {
        std::fprintf(stderr, "build failed: %s\n", qPrintable(message));
        loop.quit();
    });
    const double cpuBefore = ChildrenCpuSeconds();
    const auto start = Clock::now();
    builder.Start();
    sample.start();
    loop.exec();
    build.seconds = Seconds(start);
    build.cpuSeconds = ChildrenCpuSeconds() - cpuBefore;
    return build;
}

struct SizeFigures {
    int documents = 0;
    double build = 0, buildCpu = 0, omindex = 0, omindexCpu = 0;
    long peakKb = 0;
};

SizeFigures MeasureLibrary(const std::string& library, const QString& work, int queries,
                           bool window) {
    SizeFigures figures;
    std::printf("library %s\n", library.c_str());
    const Floor floor = MeasureFloor(library);
    std::printf("floor, every document's bytes through the client API: %zu documents, "
                "%.1f MB in %.2f s (%.1f MB/s)\n",
                floor.read.documents, Mb(floor.read.bytes), floor.seconds,
                Mb(floor.read.bytes) / floor.seconds);

    const QString index = QDir(work).filePath(QStringLiteral("index"));
    QDir(index).removeRecursively();
    const ChildBuild build = BuildInChild(library, index);
    figures.documents = build.outcome.entries;
    figures.build = build.seconds;
    figures.buildCpu = build.cpuSeconds;
    figures.peakKb = build.peakKb;
    std::printf("index build (builder process): %d entries in %.2f s, %.2f s of CPU (%.1f MB/s), "
                "%.1f x the floor, %.2f s per 10,000 documents, builder's peak %.0f MB\n",
                build.outcome.entries, build.seconds, build.cpuSeconds,
                Mb(floor.read.bytes) / build.seconds, build.seconds / floor.seconds,
                build.seconds * 10000 / std::max(1, build.outcome.entries), build.peakKb / 1024.0);

    const ChildBuild again = BuildInChild(library, index);
    std::printf("refresh of an unchanged library: %d unchanged in %.2f s\n",
                again.outcome.unchanged, again.seconds);

    const QString files = QDir(work).filePath(QStringLiteral("files"));
    QDir(files).removeRecursively();
    const std::vector<QString> words = WriteFiles(library, files);
    const double omindexCpu = ChildrenCpuSeconds();
    figures.omindex = RunOmindex(files, QDir(work).filePath(QStringLiteral("omindex")));
    figures.omindexCpu = ChildrenCpuSeconds() - omindexCpu;
    if (figures.omindex > 0) {
        std::printf("omindex on the same documents as files: %.2f s, %.2f s of CPU (%.1f MB/s); "
                    "ours is %.2f x omindex (target <= 0.5), %.2f x in CPU\n",
                    figures.omindex, figures.omindexCpu, Mb(floor.read.bytes) / figures.omindex,
                    figures.build / figures.omindex, figures.buildCpu / figures.omindexCpu);
    }
    QDir(files).removeRecursively();

    std::printf("queries:\n");
    MeasureQueries(index, words, queries);

    if (window) {
        MeasureEventLoop(library, QDir(work).filePath(QStringLiteral("panel")));
        QDir(QDir(work).filePath(QStringLiteral("panel"))).removeRecursively();
    }
    return figures;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("ORVELLE_INDEXER")) {
        qputenv("ORVELLE_INDEXER", ORVELLE_EXPORT);
    }
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // figures as they come
    std::vector<int> sizes{5000};
    int queries = 500;
    std::string library;
    std::string keep;
    bool window = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--full") {
            sizes = {10000, 20000, 100000};
        } else if (arg == "--documents" && i + 1 < argc) {
            sizes.clear();
            for (const QString& size : QString::fromLocal8Bit(argv[++i]).split(',')) {
                sizes.push_back(size.toInt());
            }
        } else if (arg == "--library" && i + 1 < argc) {
            library = argv[++i];
        } else if (arg == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else if (arg == "--no-window") {
            window = false;
        } else if (arg == "--queries" && i + 1 < argc) {
            queries = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_search [--full | --documents N[,N...]] "
                                 "[--library FILE] [--queries N] [--no-window] [--keep FOLDER]\n");
            return 2;
        }
    }
    QTemporaryDir temporary;
    const QString work = keep.empty() ? temporary.path() : QString::fromLocal8Bit(keep.c_str());
    QDir().mkpath(work);
    try {
        if (!library.empty()) {
            MeasureLibrary(library, work, queries, window);
            return 0;
        }
        std::vector<SizeFigures> all;
        for (const int documents : sizes) {
            const std::string generated =
                QDir(work).filePath(QStringLiteral("bench-%1.kvd").arg(documents)).toStdString();
            if (!QFile::exists(QString::fromStdString(generated))) {
                const auto start = Clock::now();
                bench::GenerateCorpusLibrary(generated, documents, 3000); // about 3 KB each
                std::printf("generated %d documents in %.1f s\n", documents, Seconds(start));
            }
            all.push_back(MeasureLibrary(generated, work, queries, window));
        }
        std::printf("\n%10s %10s %10s %8s %12s %12s %10s\n", "documents", "build s", "omindex s",
                    "ratio", "s/10k ours", "s/10k omidx", "peak MB");
        for (const SizeFigures& f : all) {
            std::printf("%10d %10.2f %10.2f %8.2f %12.2f %12.2f %10.0f\n", f.documents, f.build,
                        f.omindex, f.build / f.omindex, f.build * 10000 / f.documents,
                        f.omindex * 10000 / f.documents, f.peakKb / 1024.0);
        }
        if (all.size() > 1) {
            const auto per = [](const SizeFigures& f) { return f.build / f.documents; };
            std::printf("seconds per 10,000 documents at %d over those at %d: %.2f (target <= "
                        "1.15); in CPU time %.2f\n",
                        all.back().documents, all.front().documents,
                        per(all.back()) / per(all.front()),
                        (all.back().buildCpu / all.back().documents) /
                            (all.front().buildCpu / all.front().documents));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
