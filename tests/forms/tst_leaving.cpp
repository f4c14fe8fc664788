// Leaving works at any moment: the real program (leaving_driver), brought to a moment of its
// work, is closed through the window manager, by its exit button or by a termination signal,
// and must be gone within 2 s, with no page process of its left behind and no partial file in
// its cache. Runs under a real X server and window manager (run-under-window-manager.sh).
#include "fixtures/Databases.h"
#include "fixtures/TempDir.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvelle;

namespace {

constexpr qint64 kLeaveWithinMs = 2000;
constexpr int kSectionDocuments = 40;

// A document of about `bytes` bytes of Cyrillic paragraphs (Windows-1251), titled.
std::string LongDocument(std::size_t bytes, const std::string& title) {
    std::string html = "<html><head><title>" + title + "</title></head><body>";
    const std::string paragraph = "<p>" + std::string(200, '\xC6') + "</p>\n";
    html.reserve(bytes + paragraph.size());
    while (html.size() < bytes) {
        html += paragraph;
    }
    return html + "</body></html>";
}

// The moments' documents (ids as the driver knows them) and the rest of the first library.
void BuildMomentsLibrary(const std::string& path) {
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    std::vector<kvdbuild::RegisterRow> rows = {{0, 1, 0, "Four", 1, 101, 0, 1},
                                               {0, 2, 0, "Ten", 2, 102, 0, 1},
                                               {0, 3, 0, "Loop", 3, 103, 0, 1},
                                               {0, 4, kSectionDocuments, "Section", 4, 104, 1, 1}};
    kvdbuild::AddContent(builder, 101, LongDocument(4 << 20, "Four"));
    kvdbuild::AddContent(builder, 102, LongDocument(10 << 20, "Ten"));
    kvdbuild::AddContent(builder, 103, "<p>loop</p><script>for(;;){}</script>");
    kvdbuild::AddContent(builder, 104, LongDocument(1000, "Section"));
    // A folder whose PDF takes a while: the moment "section" is in the middle of it.
    for (int i = 1; i <= kSectionDocuments; ++i) {
        const std::string name = "Part " + std::to_string(i);
        rows.push_back({4, 40 + i, 0, name, i, 140 + i, 0, 1});
        kvdbuild::AddContent(builder, 140 + i, LongDocument(200000, name));
    }
    kvdbuild::AddRegisterRows(builder, rows);
    builder.Close();
}

// Enough documents that indexing them lasts a while.
void BuildManyDocumentsLibrary(const std::string& path) {
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    std::vector<kvdbuild::RegisterRow> rows;
    for (int id = 1; id <= 3000; ++id) {
        rows.push_back({0, id, 0, "Entry " + std::to_string(id), id, 100000 + id, 0, 1});
        kvdbuild::AddContent(builder, 100000 + id, LongDocument(20000, std::to_string(id)));
    }
    kvdbuild::AddRegisterRows(builder, rows);
    builder.Close();
}

// A library whose copy into the cache lasts: a few entries, then gigabytes of nothing (a hole,
// which costs no disk here but is copied byte by byte).
void BuildSlowToCopyLibrary(const std::string& path) {
    fixtures::BuildWideRegister(path, 3);
    std::filesystem::resize_file(path, std::uintmax_t(4) << 30);
}

std::string RegistryPointingAt(const std::string& library) {
    return "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta\\Kelvadom]\r\n"
           "\"DataBasePath\"=\"" +
           library + "\"\r\n";
}

// The parent of a process, from /proc; 0 when it is gone.
pid_t ParentOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const auto close = text.rfind(')');
    if (close == std::string::npos || close + 4 > text.size()) {
        return 0;
    }
    return static_cast<pid_t>(std::atol(text.c_str() + close + 4));
}

// Whether the process still runs (a zombie does not).
bool Running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

// Every process below `root`.
std::set<pid_t> Descendants(pid_t root) {
    std::set<pid_t> found{root};
    bool grew = true;
    while (grew) {
        grew = false;
        for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool number = false;
            const pid_t pid = name.toInt(&number);
            if (number && !found.count(pid) && found.count(ParentOf(pid))) {
                found.insert(pid);
                grew = true;
            }
        }
    }
    found.erase(root);
    return found;
}

// Whether the program holds a library file in `cache` open: its start-up is attaching it.
bool AttachesFrom(pid_t pid, const QString& cache) {
    const QString folder = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QFileInfo& fd :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = fd.symLinkTarget();
        if (target.startsWith(cache) && target.endsWith(QStringLiteral(".kvd"))) {
            return true;
        }
    }
    return false;
}

// Whether the window manager has taken the window on (a close request for a window it has not
// yet managed is dropped by it): the window is in the root's client list.
bool ManagedByWindowManager(const QString& windowId) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")});
    if (!xprop.waitForFinished(5000)) {
        return false;
    }
    const QString list = QString::fromLatin1(xprop.readAllStandardOutput());
    const qulonglong wanted = windowId.toULongLong();
    const auto start = list.indexOf(u'#');
    for (const QString& item : list.mid(start + 1).split(u',', Qt::SkipEmptyParts)) {
        bool number = false;
        if (item.trimmed().toULongLong(&number, 16) == wanted && number) {
            return true;
        }
    }
    return false;
}

// What a program that does not end is doing: each thread's name and where it sleeps, and its
// stacks when gdb is there to read them.
QString WhatItIsDoing(pid_t pid) {
    QStringList lines;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks + u'/' + task + QStringLiteral("/comm"));
        QFile wait(tasks + u'/' + task + QStringLiteral("/wchan"));
        (void)name.open(QIODevice::ReadOnly);
        (void)wait.open(QIODevice::ReadOnly);
        lines << task + u' ' + QString::fromLatin1(name.readAll()).trimmed() + u' ' +
                     QString::fromLatin1(wait.readAll());
    }
    QProcess gdb;
    gdb.setProcessChannelMode(QProcess::MergedChannels);
    gdb.start(QStringLiteral("gdb"),
              {QStringLiteral("-p"), QString::number(pid), QStringLiteral("-batch"),
               QStringLiteral("-ex"), QStringLiteral("thread apply all bt 12")});
    if (gdb.waitForFinished(30000)) {
        for (const QString& line : QString::fromLocal8Bit(gdb.readAll()).split(u'\n')) {
            if (line.startsWith(u'#') || line.startsWith(QStringLiteral("Thread"))) {
                lines << line;
            }
        }
    }
    return lines.join(u'\n');
}

QStringList PartialFiles(const QString& folder) {
    QStringList found;
    // A section's PDF is made as ".orvelle-XXXXXX.pdf" and only a whole one becomes section.pdf.
    QDirIterator it(
        folder,
        {QStringLiteral("*.part"), QStringLiteral(".orvelle-*.pdf"), QStringLiteral("section.pdf")},
        QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found << it.next();
    }
    return found;
}

} // namespace

class LeavingTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;
    std::string moments_;
    std::string wide_;
    std::string many_;
    std::string slow_;

private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "run me under the window manager");
        moments_ = folder_.File("moments.kvd");
        BuildMomentsLibrary(moments_);
        wide_ = folder_.File("wide.kvd");
        fixtures::BuildWideRegister(wide_, 40000);
        many_ = folder_.File("many.kvd");
        BuildManyDocumentsLibrary(many_);
        slow_ = folder_.File("slow.kvd");
        BuildSlowToCopyLibrary(slow_);
    }

    void leaving_data() {
        QTest::addColumn<QString>("moment");
        QTest::addColumn<QString>("how");
        const QStringList everyWay = {QStringLiteral("window manager"), QStringLiteral("SIGTERM")};
        for (const char* moment : {"copy", "write-4mb", "write-10mb", "script-loops", "preview",
                                   "indexing", "comparing", "section"}) {
            for (const QString& how : everyWay) {
                QTest::addRow("%s, %s", moment, qPrintable(how))
                    << QString::fromLatin1(moment) << how;
            }
        }
        QTest::newRow("write-4mb, exit button") << "write-4mb"
                                                << "exit button";
        QTest::newRow("script-loops, exit button") << "script-loops"
                                                   << "exit button";
        QTest::newRow("script-loops, SIGINT") << "script-loops"
                                              << "SIGINT";
        QTest::newRow("copy, SIGINT") << "copy"
                                      << "SIGINT";
        // Before the window shows there is nothing to close but by signal.
        QTest::newRow("tree-load, SIGTERM") << "tree-load"
                                            << "SIGTERM";
        QTest::newRow("tree-load, SIGINT") << "tree-load"
                                           << "SIGINT";
    }

    void leaving() {
        QFETCH(QString, moment);
        QFETCH(QString, how);
        const std::string library = moment == u"tree-load"                            ? wide_
                                    : moment == u"indexing" || moment == u"comparing" ? many_
                                    : moment == u"copy"                               ? slow_
                                                                                      : moments_;
        fixtures::TempDir run;
        fixtures::WriteFile(run.File("machine.reg"), RegistryPointingAt(library));
        const QString cache = QString::fromStdString(run.File("cache"));

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           QString::fromStdString(run.File("config")));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(LEAVING_DRIVER),
                      {moment, QString::fromStdString(run.File("machine.reg"))});
        QVERIFY(program.waitForStarted(10000));
        const auto pid = static_cast<pid_t>(program.processId());

        // Bring it to the moment.
        QStringList ready;
        if (moment == u"tree-load") {
            QVERIFY(QTest::qWaitFor([&] { return AttachesFrom(pid, cache); }, 60000));
        } else {
            QVERIFY(QTest::qWaitFor(
                [&] {
                    while (program.canReadLine()) {
                        const QString line = QString::fromLatin1(program.readLine()).trimmed();
                        if (line.startsWith(QStringLiteral("READY "))) {
                            ready = line.split(u' ');
                        } else if (line == u"NO COPY") {
                            ready = {line};
                        }
                    }
                    return !ready.isEmpty() || program.state() == QProcess::NotRunning;
                },
                180000));
            if (ready == QStringList{QStringLiteral("NO COPY")}) {
                program.kill();
                program.waitForFinished();
                QSKIP("the cache's file system clones the library at once");
            }
            QCOMPARE(ready.size(), 4);
        }
        QCOMPARE(program.state(), QProcess::Running);
        if (moment == u"copy") {
            QVERIFY2(!PartialFiles(cache).isEmpty(), "the copy is not under way");
        }
        const std::set<pid_t> children = Descendants(pid);

        if (how == u"window manager") {
            QVERIFY2(QTest::qWaitFor([&] { return ManagedByWindowManager(ready[1]); }, 20000),
                     "the window manager never took the window on");
        }

        // End it, and time it.
        QElapsedTimer clock;
        clock.start();
        if (how == u"SIGTERM" || how == u"SIGINT") {
            ::kill(pid, how == u"SIGTERM" ? SIGTERM : SIGINT);
        } else if (how == u"window manager") {
            QCOMPARE(QProcess::execute(QStringLiteral("wmctrl"),
                                       {QStringLiteral("-i"), QStringLiteral("-c"), ready[1]}),
                     0);
        } else {
            QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                                       {QStringLiteral("mousemove"), ready[2], ready[3],
                                        QStringLiteral("click"), QStringLiteral("1")}),
                     0);
        }
        const bool ended = program.waitForFinished(30000);
        const qint64 took = clock.elapsed();
        qInfo("%s, %s: gone after %lld ms", qPrintable(moment), qPrintable(how), took);
        if (!ended) {
            qWarning("the program is still running:\n%s", qPrintable(WhatItIsDoing(pid)));
        }
        QVERIFY2(ended, "the program did not end");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(took <= kLeaveWithinMs, qPrintable(QStringLiteral("%1 ms").arg(took)));

        // Its page processes went with it (orphans come to this process, which reaps them).
        const auto leftBehind = [&children] {
            QStringList alive;
            for (const pid_t child : children) {
                ::waitpid(child, nullptr, WNOHANG);
                if (Running(child)) {
                    alive << QString::number(child);
                }
            }
            return alive;
        };
        (void)QTest::qWaitFor([&] { return leftBehind().isEmpty(); }, 2000);
        QVERIFY2(leftBehind().isEmpty(), qPrintable(leftBehind().join(u' ')));
        QVERIFY2(PartialFiles(cache).isEmpty(), qPrintable(PartialFiles(cache).join(u' ')));
    }
};

int main(int argc, char** argv) {
    // Processes the program leaves behind become ours, so they can be seen and reaped.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    try {
        QCoreApplication application(argc, argv);
        LeavingTest test;
        return QTest::qExec(&test, argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}

#include "tst_leaving.moc"
