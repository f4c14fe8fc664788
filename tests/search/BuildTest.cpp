// Building and keeping indexes: reuse, refresh after a change, an unwritable cache, cancel,
// a library switched while its index is being built, a library that cannot be read.
#include "SearchLibrary.h"
#include "db/Errors.h"
#include "fixtures/Databases.h"
#include "fixtures/TempDir.h"
#include "search/IndexBuilder.h"
#include "search/IndexLocation.h"
#include "search/IndexProcess.h"
#include "search/Searcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#ifdef __linux__
#include <csignal>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>

namespace {

using namespace orvelle;
using namespace orvelle::searchtest;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

search::BuildOutcome Build(const std::string& library, const std::string& index) {
    std::atomic<bool> cancel{false};
    return search::BuildIndex(library, Q(index), cancel, {});
}

bool Finds(const std::string& index, const char* query, std::int32_t id) {
    search::Searcher searcher(Q(index));
    for (const auto& hit : searcher.Search(QString::fromUtf8(query))) {
        if (hit.id == id) {
            return true;
        }
    }
    return false;
}

TEST(Build, UnchangedLibraryIsReusedAndAChangedDocumentIsIndexedAgain) {
    fixtures::TempDir folder;
    const std::string library = folder.File("library.kvd");
    const std::string index = folder.File("index");
    BuildSearchLibrary(library);
    const auto first = Build(library, index);
    ASSERT_TRUE(first.complete);
    EXPECT_EQ(first.indexed, first.entries);

    const auto again = Build(library, index);
    EXPECT_TRUE(again.complete);
    EXPECT_EQ(again.indexed, 0);
    EXPECT_EQ(again.unchanged, first.entries);

    // The same file name now holds a library where one document says something else.
    std::filesystem::remove(library);
    BuildSearchLibrary(library, false, true);
    const auto changed = Build(library, index);
    EXPECT_TRUE(changed.complete);
    EXPECT_EQ(changed.indexed, 1);
    EXPECT_EQ(changed.unchanged, first.entries - 1);
    EXPECT_TRUE(Finds(index, "траншея", kPhrase));
    EXPECT_FALSE(Finds(index, "выполняются", kPhrase));
}

TEST(Build, EntriesNoLongerShownLeaveTheIndex) {
    fixtures::TempDir folder;
    const std::string library = folder.File("library.kvd");
    const std::string index = folder.File("index");
    BuildWideLibrary(library, 30);
    ASSERT_TRUE(Build(library, index).complete);
    EXPECT_TRUE(Finds(index, "w29", 129));
    std::filesystem::remove(library);
    BuildWideLibrary(library, 20);
    const auto smaller = Build(library, index);
    EXPECT_EQ(smaller.removed, 10);
    EXPECT_FALSE(Finds(index, "w29", 129));
    EXPECT_EQ(search::Searcher(Q(index)).DocumentCount(), 21);
}

TEST(Build, UnwritableCacheFallsBackToATemporaryFolder) {
    fixtures::TempDir folder;
    const std::string library = folder.File("library.kvd");
    BuildSearchLibrary(library);
    fixtures::WriteFile(folder.File("not-a-folder"), "x");
    QString temporaryFolder;
    {
        const search::IndexPlace place =
            search::ChooseIndexPlace(Q(folder.File("not-a-folder")), library);
        EXPECT_FALSE(place.problem.isEmpty());
        ASSERT_TRUE(place.Usable());
        temporaryFolder = place.folder;
        EXPECT_TRUE(Build(library, place.folder.toStdString()).complete);
        EXPECT_TRUE(Finds(place.folder.toStdString(), "расценки", kPriceTitle));
    }
    EXPECT_FALSE(std::filesystem::exists(temporaryFolder.toStdString()));
    // The library's folder is left as it was.
    int files = 0;
    for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(folder.Path())) {
        ++files;
    }
    EXPECT_EQ(files, 2);

    const search::IndexPlace usual = search::ChooseIndexPlace(Q(folder.File("cache")), library);
    EXPECT_TRUE(usual.problem.isEmpty());
    EXPECT_TRUE(usual.folder.startsWith(Q(folder.File("cache"))));
    EXPECT_EQ(usual.folder, search::ChooseIndexPlace(Q(folder.File("cache")), library).folder);
}

TEST(Build, CancelKeepsWhatWasIndexedAndTheNextBuildGoesOn) {
    fixtures::TempDir folder;
    const std::string library = folder.File("library.kvd");
    const std::string index = folder.File("index");
    BuildWideLibrary(library, 50);
    std::atomic<bool> cancel{false};
    int calls = 0;
    search::BuildEvents events;
    events.progress = [&](int done, int) {
        ++calls;
        if (done == 10) {
            cancel = true;
        }
    };
    // One thread: what is written when the cancel comes is then exactly what was reported.
    search::BuildOptions options;
    options.threads = 1;
    const auto cancelled = search::BuildIndex(library, Q(index), cancel, events, options);
    EXPECT_FALSE(cancelled.complete);
    EXPECT_EQ(calls, 10);
    search::Searcher searcher(Q(index));
    EXPECT_FALSE(searcher.Complete());
    EXPECT_EQ(searcher.DocumentCount(), 10);
    EXPECT_TRUE(Finds(index, "w8", 108)); // search works on what is indexed so far

    const auto resumed = Build(library, index);
    EXPECT_TRUE(resumed.complete);
    EXPECT_EQ(resumed.unchanged, 10);
    EXPECT_EQ(resumed.indexed, 41);
    EXPECT_TRUE(searcher.Complete());
}

TEST(Build, UnreadableLibraryIsAFailureNotAnEmptyIndex) {
    fixtures::TempDir folder;
    fixtures::WriteFile(folder.File("broken.kvd"), "not a database");
    for (const std::string& library : {folder.File("missing.kvd"), folder.File("broken.kvd")}) {
        EXPECT_THROW(Build(library, folder.File("index")), db::Exception) << library;
        EXPECT_FALSE(search::Searcher(Q(folder.File("index"))).Complete());
    }
}

// Runs the event loop until `done` or two minutes pass.
template <typename Predicate> bool SpinUntil(Predicate done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return done();
}

TEST(Build, SwitchedLibraryStopsTheOldBuildInTheBackground) {
    int argc = 1;
    char name[] = "search_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    fixtures::TempDir folder;
    const std::string first = folder.File("first.kvd");
    const std::string second = folder.File("second.kvd");
    BuildWideLibrary(first, 5000);
    BuildSearchLibrary(second);

    const QString program = QStringLiteral(ORVELLE_EXPORT);
    auto old =
        std::make_unique<search::IndexProcess>(program, first, Q(folder.File("first-index")));
    int oldSignals = 0;
    bool oldFinished = false;
    QObject::connect(old.get(), &search::IndexProcess::Progress, [&] { ++oldSignals; });
    QObject::connect(old.get(), &search::IndexProcess::Finished, [&] {
        ++oldSignals;
        oldFinished = true;
    });
    old->Start();
    ASSERT_TRUE(SpinUntil([&] { return oldSignals > 0; }));
    old.reset(); // another library is opened
    const int signalsAtSwitch = oldSignals;

    search::IndexProcess next(program, second, Q(folder.File("second-index")));
    std::optional<search::BuildOutcome> outcome;
    QString failure;
    QObject::connect(&next, &search::IndexProcess::Finished,
                     [&](const search::BuildOutcome& o) { outcome = o; });
    QObject::connect(&next, &search::IndexProcess::Failed,
                     [&](const QString& message, bool) { failure = message; });
    next.Start();
    ASSERT_TRUE(SpinUntil([&] { return outcome || !failure.isEmpty(); }));
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_TRUE(outcome->complete);
    EXPECT_FALSE(next.Running());
    EXPECT_EQ(oldSignals, signalsAtSwitch);
    // The old library's index was left unfinished and is not taken for complete (unless a
    // very fast machine finished it before the switch).
    if (!oldFinished) {
        EXPECT_FALSE(search::Searcher(Q(folder.File("first-index"))).Complete());
    }
    EXPECT_TRUE(Finds(folder.File("second-index"), "расценки", kPriceTitle));

    // An unreadable library reports a failure.
    search::IndexProcess broken(program, folder.File("missing.kvd"), Q(folder.File("x-index")));
    failure.clear();
    bool libraryUnreadable = false;
    QObject::connect(&broken, &search::IndexProcess::Failed,
                     [&](const QString& message, bool library) {
                         failure = message;
                         libraryUnreadable = library;
                     });
    broken.Start();
    ASSERT_TRUE(SpinUntil([&] { return !failure.isEmpty(); }));
    EXPECT_TRUE(libraryUnreadable);
}

#ifdef __linux__
// The index builder's process, started by the search as it starts it (this build's
// orvelle-export): its limits, its end by force, and what survives them.
class BuilderProcess : public testing::Test {
protected:
    struct Run {
        std::optional<search::BuildOutcome> outcome;
        QString failure;
        int progress = 0;
    };

    // Connects `run` to `builder` and starts it.
    static void Start(search::IndexProcess& builder, Run& run) {
        QObject::connect(&builder, &search::IndexProcess::Finished,
                         [&run](const search::BuildOutcome& o) { run.outcome = o; });
        QObject::connect(&builder, &search::IndexProcess::Failed,
                         [&run](const QString& message, bool) { run.failure = message; });
        QObject::connect(&builder, &search::IndexProcess::Progress,
                         [&run](int done, int) { run.progress = done; });
        builder.Start();
    }

    // The builder process this process started, found by its command line.
    static pid_t BuilderPid() {
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const pid_t pid = std::atoi(entry.path().filename().c_str());
            if (pid <= 0) {
                continue;
            }
            const std::string stat = fixtures::ReadFile(entry.path() / "stat");
            const std::size_t close = stat.rfind(')');
            if (close == std::string::npos || std::atoi(stat.c_str() + close + 4) != getpid()) {
                continue; // not a child of ours: the parent's pid follows ") S "
            }
            if (fixtures::ReadFile(entry.path() / "cmdline").find("index-worker") !=
                std::string::npos) {
                return pid;
            }
        }
        return 0;
    }

    int argc_ = 1;
    char name_[13] = "search_tests";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication application_{argc_, argv_};
    fixtures::TempDir folder_;
    const QString program_ = QStringLiteral(ORVELLE_EXPORT);
    // A builder on a library of 3,000 documents, some way into its work.
    std::unique_ptr<search::IndexProcess> StartWideBuild(Run& run) {
        const std::string library = folder_.File("library.kvd");
        BuildWideLibrary(library, 3000);
        auto builder =
            std::make_unique<search::IndexProcess>(program_, library, Q(folder_.File("index")));
        Start(*builder, run);
        EXPECT_TRUE(SpinUntil([&] { return run.progress > 100 || run.outcome; }));
        return builder;
    }
};

TEST_F(BuilderProcess, DocumentOverTheTimeLimitIsSkippedAndNamed) {
    const std::string library = folder_.File("library.kvd");
    BuildWideLibrary(library, 30, std::size_t{48} << 20); // the last one, id 129, 48 MB
    search::IndexProcess builder(program_, library, Q(folder_.File("index")));
    builder.SetTimeLimit(std::chrono::milliseconds(1000), std::chrono::milliseconds(0));
    Run run;
    Start(builder, run);
    ASSERT_TRUE(SpinUntil([&] { return run.outcome || !run.failure.isEmpty(); }));
    ASSERT_TRUE(run.outcome) << run.failure.toStdString();
    EXPECT_TRUE(run.outcome->complete);
    ASSERT_EQ(run.outcome->skipped.size(), 1u);
    EXPECT_EQ(run.outcome->skipped[0].id, 129);
    EXPECT_EQ(run.outcome->skipped[0].name, QStringLiteral("Doc 29"));
    EXPECT_EQ(run.outcome->skipped[0].reason, search::SkipReason::TooSlow);
    EXPECT_TRUE(Finds(folder_.File("index"), "w28", 128));
    EXPECT_FALSE(Finds(folder_.File("index"), "w29", 129));

    // The next build leaves it out at once, and still names it.
    Run again;
    search::IndexProcess next(program_, library, Q(folder_.File("index")));
    Start(next, again);
    ASSERT_TRUE(SpinUntil([&] { return again.outcome || !again.failure.isEmpty(); }));
    ASSERT_TRUE(again.outcome) << again.failure.toStdString();
    EXPECT_EQ(again.outcome->skipped.size(), 1u);
}

TEST_F(BuilderProcess, KilledBuilderStartsAgainAndFinishes) {
    Run run;
    const auto builder = StartWideBuild(run);
    const pid_t pid = BuilderPid();
    ASSERT_GT(pid, 0);
    kill(pid, SIGKILL);
    ASSERT_TRUE(SpinUntil([&] { return run.outcome || !run.failure.isEmpty(); }));
    ASSERT_TRUE(run.outcome) << run.failure.toStdString();
    EXPECT_TRUE(run.outcome->complete);
    EXPECT_EQ(run.outcome->restarts, 1);
    EXPECT_FALSE(run.outcome->interruption.isEmpty());
    EXPECT_TRUE(run.outcome->skipped.empty()); // a document read when it was killed is retried
    EXPECT_EQ(search::Searcher(Q(folder_.File("index"))).DocumentCount(), 3001);
}

TEST_F(BuilderProcess, CancelEndsTheBuilderWithinASecond) {
    Run run;
    const auto builder = StartWideBuild(run);
    const pid_t pid = BuilderPid();
    QElapsedTimer cancelled;
    cancelled.start();
    builder->Cancel();
    ASSERT_TRUE(SpinUntil([&] { return run.outcome.has_value(); }));
    EXPECT_LT(cancelled.elapsed(), 1000);
    EXPECT_FALSE(builder->Running());
    EXPECT_NE(kill(pid, 0), 0); // gone
    EXPECT_FALSE(search::Searcher(Q(folder_.File("index"))).Complete());
}
#endif

} // namespace
