// bench_compare: how long `orvelle-export diff` takes on two editions of a large library and how
// much memory it holds, as ratios to the floor of reading both registers and every document
// once straight through the client API, measured in the same run; the same when both libraries
// have current search indexes; and how long the window takes from starting a comparison to
// showing the marked tree. Whole processes are timed (wall clock, peak resident memory from the
// kernel), the median of the rounds.
//
//   bench_compare                       100,000 documents, 3 rounds
//   bench_compare DOCUMENTS [ROUNDS]
//   bench_compare ... --keep FOLDER     build the libraries there once and keep them
//   bench_compare ... --with-indexes    also index both libraries (slow) and compare again
#include "CorpusLibrary.h"
#include "common/BenchArguments.h"
#include "forms/Comparison.h"
#include "forms/SearchPanel.h"
#include "forms/StartupSources.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "viewer/PrepareEngine.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace orvelle;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

constexpr std::size_t kDocumentBytes = 2500;

// Document n of the newer edition differs from the older one's for 1 % of n.
bool Changed(std::uint32_t n) {
    return n % 100 == 37;
}

void GenerateEdition(const std::string& path, int documents, bool newer) {
    bench::GenerateCorpusLibrary(path, documents, kDocumentBytes, [newer](std::uint32_t n) {
        return newer && Changed(n) ? n + 50000000 : n;
    });
}

struct Measured {
    double seconds = 0;    // wall clock
    double cpuSeconds = 0; // user and system time: on a shared machine, what the work itself took
    double peakMb = 0;
    int exitCode = -1;
};

// The high-water mark of a running process's resident memory, in MB; 0 once it has ended. The
// kernel's own count for the process's memory since its exec (ru_maxrss of a child started from
// this large process would start from this process's size).
double PeakMb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atof(line.c_str() + 6) / 1024.0;
        }
    }
    return 0;
}

// Runs a program with its output thrown away; its time and peak memory (sampled every 5 ms).
Measured Run(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    Measured measured;
    const int failure = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failure != 0) {
        return measured;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        measured.peakMb = std::max(measured.peakMb, PeakMb(pid));
        usleep(5000);
    }
    measured.seconds = Seconds(start);
    measured.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                          usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    measured.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return measured;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Series {
    std::vector<double> seconds;
    std::vector<double> cpuSeconds;
    std::vector<double> peakMb;
    void Add(const Measured& m) {
        seconds.push_back(m.seconds);
        cpuSeconds.push_back(m.cpuSeconds);
        peakMb.push_back(m.peakMb);
    }
};

void Print(const char* what, const Series& series) {
    std::printf("  %-46s %6.2f s (%.2f to %.2f), cpu %6.2f s, peak %6.1f MB\n", what,
                Median(series.seconds),
                *std::min_element(series.seconds.begin(), series.seconds.end()),
                *std::max_element(series.seconds.begin(), series.seconds.end()),
                Median(series.cpuSeconds), Median(series.peakMb));
}

void Ratio(const char* what, const Series& series, const Series& floor) {
    std::printf("  %-46s time %.2fx, cpu %.2fx, memory %.2fx (target <= 2x)\n", what,
                Median(series.seconds) / Median(floor.seconds),
                Median(series.cpuSeconds) / Median(floor.cpuSeconds),
                Median(series.peakMb) / Median(floor.peakMb));
}

// Runs the event loop until `done` or for `limitSeconds`, sleeping while nothing happens (a
// loop that spins would take the processor from the comparison's own process).
void Pump(const std::function<bool()>& done, double limitSeconds) {
    const auto start = Clock::now();
    QTimer tick;
    tick.start(20);
    while (!done() && Seconds(start) < limitSeconds) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// The window with the newer edition open, comparing it with the older one: the time from the
// start to the marked tree, twice (the first makes the private copies the comparison reads).
void MeasureWindow(const std::filesystem::path& folder, const std::string& oldFile,
                   const std::string& newFile) {
    const std::string registry = (folder / "machine.reg").string();
    {
        std::ofstream out(registry, std::ios::binary);
        out << "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Kelvadom]\r\n\"DataBasePath\"=\""
            << newFile << "\"\r\n";
    }
    forms::StartupSources::SetRegistryFile(QString::fromStdString(registry));
    forms::CustomerData = new forms::TCustomerData(qApp);
    const auto opening = Clock::now();
    forms::Form2 = new forms::TForm2();
    const double openSeconds = Seconds(opening);
    forms::Form2->SearchPanel1->CloseLibrary(); // its index build would share the processor
    forms::Form2->showMaximized();
    Pump([] { return false; }, 0.5);
    forms::Comparison& comparison = *forms::Form2->Comparison1;
    std::printf("\nwindow (newer edition open, tree loaded in %.2f s):\n", openSeconds);
    for (const char* round : {"first comparison (private copies made)", "again"}) {
        comparison.Close();
        bool ended = false;
        const auto connection =
            QObject::connect(&comparison, &forms::Comparison::Ended, [&ended] { ended = true; });
        const auto start = Clock::now();
        comparison.Start(QString::fromStdString(oldFile), true);
        Pump([&] { return comparison.Active() || ended; }, 1200);
        const double seconds = Seconds(start);
        QObject::disconnect(connection);
        int items = 0;
        for (QTreeWidgetItemIterator it(forms::Form2->TreeView1); *it; ++it) {
            ++items;
        }
        std::printf("  %-52s %7.2f s to the marked tree (%d entries)\n", round, seconds, items);
        if (!comparison.Active()) {
            std::printf("    FAILED: %s\n", qPrintable(comparison.State()->text()));
        }
    }
    delete forms::Form2;
    delete forms::CustomerData;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS")) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    }
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    bench::BenchArguments arguments = bench::ParseBenchArguments(argc, argv);
    const auto flag = std::find(arguments.positional.begin(), arguments.positional.end(),
                                std::string("--with-indexes"));
    const bool withIndexes = flag != arguments.positional.end();
    if (withIndexes) {
        arguments.positional.erase(flag);
    }
    const int documents = arguments.Number(0, 100000, 100);
    const int rounds = arguments.Number(1, 3, 1);
    const std::filesystem::path folder = bench::WorkFolder(arguments, "bench_compare");
    const std::string oldFile = (folder / "old.kvd").string();
    const std::string newFile = (folder / "new.kvd").string();
    viewer::PrepareEngine();
    QApplication application(argc, argv);
    try {
        if (!std::filesystem::exists(newFile)) {
            std::printf("building two editions of %d documents in %s ...\n", documents,
                        folder.string().c_str());
            std::fflush(stdout);
            const auto start = Clock::now();
            std::filesystem::remove(oldFile);
            GenerateEdition(oldFile, documents, false);
            GenerateEdition(newFile, documents, true);
            std::printf("  built in %.0f s\n", Seconds(start));
        }
        const std::vector<std::string> floor = {BENCH_COMPARE_FLOOR, oldFile, newFile};
        const std::vector<std::string> floorTogether = {BENCH_COMPARE_FLOOR, oldFile, newFile,
                                                        "--together"};
        const std::vector<std::string> diff = {ORVELLE_EXPORT, "diff", oldFile, newFile};
        setenv("XDG_CACHE_HOME", (folder / "cache-cli").c_str(), 1);
        std::filesystem::remove_all(folder / "cache-cli" / "orvelle" / "search");

        // The first runs make the private copies of both libraries; not counted.
        const Measured warm = Run(diff);
        Run(floor);
        std::printf("\n%d documents in each edition, %d changed; %d rounds (after one that made "
                    "the private copies, %.1f s). The floor reads both registers in one statement "
                    "each and every document in one pass, straight through the client API.\n",
                    documents, (documents + 99) / 100, rounds, warm.seconds);
        Series floorSeries;
        Series togetherSeries;
        Series diffSeries;
        for (int i = 0; i < rounds; ++i) {
            floorSeries.Add(Run(floor));
            togetherSeries.Add(Run(floorTogether));
            const Measured m = Run(diff);
            if (m.exitCode != 1) {
                std::printf("  orvelle-export diff exited with %d\n", m.exitCode);
            }
            diffSeries.Add(m);
        }
        Print("floor, one library after the other", floorSeries);
        Print("floor, both libraries attached at once", togetherSeries);
        Print("orvelle-export diff OLD NEW", diffSeries);
        Ratio("diff against the floor", diffSeries, floorSeries);
        Ratio("diff against both attached at once", diffSeries, togetherSeries);

        if (withIndexes) {
            const Measured indexOld = Run({ORVELLE_EXPORT, "index", oldFile});
            const Measured indexNew = Run({ORVELLE_EXPORT, "index", newFile});
            Series indexed;
            for (int i = 0; i < rounds; ++i) {
                indexed.Add(Run(diff));
            }
            std::printf("\nwith current search indexes of both (built in %.1f s and %.1f s):\n",
                        indexOld.seconds, indexNew.seconds);
            Print("orvelle-export diff OLD NEW", indexed);
            Ratio("diff against the floor", indexed, floorSeries);
        }

        setenv("XDG_CACHE_HOME", (folder / "cache-window").c_str(), 1);
        std::filesystem::remove_all(folder / "cache-window" / "orvelle" / "search");
        MeasureWindow(folder, oldFile, newFile);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_compare: %s\n", error.what());
        return 1;
    }
    if (arguments.keep.empty()) {
        std::filesystem::remove_all(folder);
    }
    return 0;
}
