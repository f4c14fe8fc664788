// Measures a section written to PDF the way `orvelle-export pdf` does it: a library with one
// folder of N documents of S kilobytes each, the folder's PDF made by the export program as a
// child process, and the process tree sampled every 50 ms: the wall time, the peak resident
// memory of the export program, of its helper, of the largest web engine process and of them
// all together at their fullest moment.
//
//     bench_section_pdf [documents] [kilobytes] [rounds] [--keep FOLDER]   (default 100 100 3)
//
// Linux: the memory comes from /proc.

#include "common/BenchArguments.h"

#include "kvdbuild/Cp1251.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"
#include "kvdbuild/Synthetic.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

namespace {

using namespace orvelle;

void BuildSectionLibrary(const std::string& path, int documents, std::size_t bytes) {
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    kvdbuild::AddRegisterRow(builder, {0, 1, documents, kvdbuild::Cp1251(u8"Раздел"), 1, 1, 1, 1});
    kvdbuild::AddContent(builder, 1, "<html><body><h1>Section</h1></body></html>");
    for (int i = 0; i < documents; ++i) {
        const std::int32_t id = 100 + i;
        const std::string name = kvdbuild::Cp1251(u8"Документ ") + std::to_string(i + 1);
        kvdbuild::AddRegisterRow(builder, {1, id, 0, name, i, id, 0, 1});
        kvdbuild::AddContent(builder, id, kvdbuild::SyntheticHtml(name, bytes, id));
    }
    builder.Close();
}

// Resident kilobytes of a process, and its parent, from /proc; -1 when it is gone.
struct ProcessSample {
    qint64 parent = -1;
    qint64 residentKb = -1;
    QString name;
};

ProcessSample Sample(qint64 pid) {
    ProcessSample sample;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return sample;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("Name:")) {
            sample.name = QString::fromUtf8(line.mid(5).trimmed());
        } else if (line.startsWith("PPid:")) {
            sample.parent = line.mid(5).trimmed().toLongLong();
        } else if (line.startsWith("VmRSS:")) {
            sample.residentKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return sample;
}

// `root` and every process below it, with their samples, found through the kernel's lists of
// each thread's children (reading only these processes, so the sampling itself costs little).
std::map<qint64, ProcessSample> Tree(qint64 root) {
    std::map<qint64, ProcessSample> tree;
    std::vector<qint64> pending{root};
    while (!pending.empty()) {
        const qint64 pid = pending.back();
        pending.pop_back();
        const ProcessSample sample = Sample(pid);
        if (sample.residentKb < 0) {
            continue;
        }
        tree[pid] = sample;
        const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(tasks + u'/' + task + QStringLiteral("/children"));
            if (children.open(QIODevice::ReadOnly)) {
                for (const QByteArray& child : children.readAll().split(' ')) {
                    if (const qint64 id = child.trimmed().toLongLong(); id > 0) {
                        pending.push_back(id);
                    }
                }
            }
        }
    }
    return tree;
}

struct Round {
    double seconds = 0;
    qint64 exportPeakKb = 0; // orvelle-export, which runs orvelle-export-pdf
    qint64 helperPeakKb = 0; // orvelle-export-pdf, which drives the engine
    qint64 enginePeakKb = 0; // the largest single web engine process
    qint64 totalPeakKb = 0;  // all processes together at their fullest moment
    int engineProcesses = 0;
    int exitCode = -1;
};

Round RunOnce(const QString& exporter, const QString& library, const QString& output) {
    QFile::remove(output);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(exporter, {QStringLiteral("pdf"), library, QStringLiteral("1"), output});
    process.waitForStarted();
    Round round;
    std::map<qint64, bool> engines;
    while (!process.waitForFinished(50)) {
        const auto tree = Tree(process.processId());
        qint64 total = 0;
        for (const auto& [pid, sample] : tree) {
            total += std::max<qint64>(0, sample.residentKb);
            if (pid == process.processId()) {
                round.exportPeakKb = std::max(round.exportPeakKb, sample.residentKb);
            } else if (sample.parent == process.processId()) {
                round.helperPeakKb = std::max(round.helperPeakKb, sample.residentKb);
            } else if (sample.name.startsWith(QStringLiteral("QtWebEngine"))) {
                round.enginePeakKb = std::max(round.enginePeakKb, sample.residentKb);
                engines[pid] = true;
            }
        }
        round.totalPeakKb = std::max(round.totalPeakKb, total);
    }
    round.seconds = clock.elapsed() / 1000.0;
    round.engineProcesses = static_cast<int>(engines.size());
    round.exitCode = process.exitCode();
    return round;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const bench::BenchArguments arguments = bench::ParseBenchArguments(argc, argv);
    const int documents = arguments.Number(0, 100, 1);
    const int kilobytes = arguments.Number(1, 100, 1);
    const int rounds = arguments.Number(2, 3, 1);
    const std::filesystem::path folder = bench::WorkFolder(arguments, "bench_section_pdf");
    const std::filesystem::path library = folder / ("section-" + std::to_string(documents) + "x" +
                                                    std::to_string(kilobytes) + ".kvd");
    if (!std::filesystem::exists(library)) {
        BuildSectionLibrary(library.string(), documents, std::size_t(kilobytes) * 1024);
    }
    const QString exporter = QStringLiteral(ORVELLE_EXPORT);
    const QString output = QString::fromStdString((folder / "section.pdf").string());
    std::printf("a folder of %d documents of %d KB to PDF, %d rounds\n", documents, kilobytes,
                rounds);
    std::printf("%8s %10s %10s %12s %14s %10s %6s\n", "wall s", "export MB", "helper MB",
                "engine MB", "engine procs", "all MB", "exit");
    for (int i = 0; i < rounds; ++i) {
        const Round round = RunOnce(exporter, QString::fromStdString(library.string()), output);
        std::printf("%8.2f %10.1f %10.1f %12.1f %14d %10.1f %6d\n", round.seconds,
                    round.exportPeakKb / 1024.0, round.helperPeakKb / 1024.0,
                    round.enginePeakKb / 1024.0, round.engineProcesses, round.totalPeakKb / 1024.0,
                    round.exitCode);
    }
    std::printf("PDF: %lld bytes\n", static_cast<long long>(QFileInfo(output).size()));
    if (arguments.keep.empty()) {
        std::filesystem::remove_all(folder);
    }
    return 0;
}
