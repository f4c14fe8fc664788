// SIGTERM during start-up, after the client library has put in handlers of its own (at its
// first attach): start-up stops at once, shows nothing and leaves nothing. Each case runs in a
// process of its own (the signal also shuts the embedded engine down): see CMakeLists.txt.
#include "FormsTestSupport.h"

#include "fixtures/Databases.h"
#include "forms/Unit2.h"
#include "forms/Unit3.h"
#include "platform/TerminationSignals.h"

#include <QFile>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <thread>

using namespace orvelle;

namespace {

// Whether the process has the file open: the embedded engine opens a library when it attaches.
bool HasOpen(const std::filesystem::path& file) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code ignored;
        if (std::filesystem::read_symlink(entry.path(), ignored) == file) {
            return true;
        }
    }
    return false;
}

// Sends SIGTERM to the process as soon as it has `library` open, that is, once the attach to
// it is under way; gives up after a minute.
class SignalAfterAttach {
public:
    explicit SignalAfterAttach(std::filesystem::path library) : library_(std::move(library)) {
        thread_ = std::thread([this] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
            while (!stop_ && std::chrono::steady_clock::now() < deadline) {
                if (HasOpen(library_)) {
                    ::kill(::getpid(), SIGTERM);
                    sent_ = true;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
    }
    ~SignalAfterAttach() {
        stop_ = true;
        thread_.join();
    }
    bool Sent() const { return sent_; }

private:
    std::filesystem::path library_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> sent_{false};
    std::thread thread_;
};

} // namespace

class TerminationTest : public QObject {
    Q_OBJECT

    std::unique_ptr<fixtures::TempDir> folder_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<formstest::RecordingDialogs> dialogs_;

    QString PathIni() const {
        return QString::fromStdString((folder_->Path() / "cwd" / "path.ini").string());
    }

private slots:
    void init() {
        // As the program does it: first thing, before anything attaches a database.
        platform::QuitOnTerminationSignals(*QCoreApplication::instance());
        folder_ = std::make_unique<fixtures::TempDir>();
        std::filesystem::create_directory(folder_->Path() / "cwd");
        cwd_ = std::make_unique<formstest::CurrentDirectory>(
            QString::fromStdString((folder_->Path() / "cwd").string()));
        dialogs_ = std::make_unique<formstest::RecordingDialogs>();
    }

    void cleanup() {
        dialogs_.reset();
        cwd_.reset();
        folder_.reset();
    }

    void signalDuringTheFirstLoad() {
        const int rows = 40000; // a load that lasts, even on a fast machine
        const std::string library = folder_->File("wide.kvd");
        fixtures::BuildWideRegister(library, rows);
        formstest::UseRegistry(folder_->File("machine.reg"),
                               formstest::RegistryText(formstest::PathValueLine(library)));
        std::unique_ptr<formstest::MainWindow> window;
        {
            SignalAfterAttach signal(std::filesystem::canonical(library));
            window = std::make_unique<formstest::MainWindow>();
            QVERIFY(signal.Sent());
        }
        QVERIFY(platform::TerminationRequested());
        // The load stopped part-way, and start-up fell back to nothing.
        QVERIFY(forms::Form2->TreeView1->topLevelItemCount() < rows);
        QVERIFY2(dialogs_->log.isEmpty(), qPrintable(dialogs_->log.join(u'\n')));
        QVERIFY(!QFile::exists(PathIni()));
    }

    void signalWhileTheUserIsAsked() {
        // The register of this library fails to load: the fallback asks the user, with the
        // client library's handlers in place since the attach.
        const std::string library = folder_->File("broken.kvd");
        fixtures::BuildRegisterWithoutIdContents(library);
        formstest::UseRegistry(folder_->File("machine.reg"),
                               formstest::RegistryText(formstest::PathValueLine(library)));
        dialogs_->onMessage = [] { ::raise(SIGTERM); };
        formstest::MainWindow window;
        QVERIFY(platform::TerminationRequested());
        // No open-file dialog after the message, no error, no path.ini.
        QCOMPARE(dialogs_->log.size(), 1);
        QVERIFY(dialogs_->log[0].startsWith(QStringLiteral("message: ")));
        QVERIFY(!QFile::exists(PathIni()));
    }
};

FORMS_TEST_MAIN(TerminationTest)

#include "tst_termination.moc"
