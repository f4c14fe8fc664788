// How soon the main window is on screen at start-up with an empty cache, whatever the size of
// the library it opens, against the same window opening no library (the floor); and how long
// until its tree is filled, the library's copy being made off the window's thread meanwhile.
// Measured from the creation of the data module, as the program's main() does it, to the
// window exposed; runs offscreen.
//
//   bench_window_open [megabytes] [rounds] [--keep FOLDER]
//
// The library is the one bench_open builds (library-N.kvd in FOLDER with --keep).

#include "common/BenchArguments.h"
#include "common/LargeLibrary.h"
#include "forms/StartupSources.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "viewer/PrepareEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTreeWidget>
#include <QWindow>

#include <functional>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

using namespace orvelle;
namespace fs = std::filesystem;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void WriteRegistry(const fs::path& file, const std::string& library) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Kelvadom]\r\n";
    if (!library.empty()) {
        out << "\"DataBasePath\"=\"" << library << "\"\r\n";
    }
}

// Runs the event loop until `done` says so, or `ms` milliseconds went by; false then.
bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

struct Start {
    double shown = 0;  // seconds to the window exposed
    double filled = 0; // seconds to the tree filled (0: no library)
};

Start StartWindow() {
    QElapsedTimer clock;
    clock.start();
    forms::CustomerData = new forms::TCustomerData();
    forms::Form2 = new forms::TForm2();
    forms::Form2->showMaximized();
    Start start;
    if (WaitFor(
            [] {
                return forms::Form2->windowHandle() && forms::Form2->windowHandle()->isExposed();
            },
            60000)) {
        start.shown = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    }
    if (WaitFor([] { return !forms::Form2->LibraryPreparing(); }, 600000) &&
        forms::Form2->TreeView1->topLevelItemCount() > 0) {
        start.filled = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    }
    delete forms::Form2;
    delete forms::CustomerData;
    forms::Form2 = nullptr;
    forms::CustomerData = nullptr;
    return start;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    const bench::BenchArguments arguments = bench::ParseBenchArguments(argc, argv);
    const int megabytes = arguments.Number(0, 1024, 8);
    const int rounds = arguments.Number(1, 3, 1);
    const fs::path folder = bench::WorkFolder(arguments, "orvelle-bench-window-open");
    const fs::path cache = bench::UseCacheIn(folder / "window-cache");
    viewer::PrepareEngine();
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);

    const std::string library =
        (folder / ("library-" + std::to_string(megabytes) + ".kvd")).string();
    bench::BuildLargeLibrary(library, megabytes);
    const fs::path registry = folder / "machine.reg";
    forms::StartupSources::SetRegistryFile(QString::fromStdString(registry.string()));

    std::vector<double> floor, shown, filled;
    StartWindow(); // the web engine's first start is not counted
    for (int round = 0; round < rounds; ++round) {
        WriteRegistry(registry, std::string());
        floor.push_back(StartWindow().shown);
        WriteRegistry(registry, library);
        fs::remove_all(cache / "orvelle" / "libraries");
        const Start start = StartWindow();
        shown.push_back(start.shown);
        filled.push_back(start.filled);
    }
    std::printf("start-up with an empty cache and a %.0f MB library, median of %d:\n",
                static_cast<double>(fs::file_size(library)) / (1 << 20), rounds);
    std::printf("  window shown, no library (floor)   %.3f s\n", Median(floor));
    std::printf("  window shown, library to copy      %.3f s (target <= 1 s), %.2f x floor\n",
                Median(shown), Median(shown) / Median(floor));
    std::printf("  tree filled, copy made             %.3f s\n", Median(filled));
    if (arguments.keep.empty()) {
        fs::remove_all(folder);
    } else {
        fs::remove_all(cache);
    }
    return 0;
}
