#pragma once

// Shared by the main window's tests: a stand-in for every dialog, the machine registry and
// current folder of a start-up, and the process-wide objects created as the program does.

#include "fixtures/TempDir.h"
#include "forms/UserDialogs.h"
#include "viewer/PrepareEngine.h"

#include <QApplication>
#include <QTest>

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <string>

namespace orvelle::viewer {
class BrowserView;
}
class QTreeWidgetItem;

namespace formstest {

using orvelle::forms::UserDialogs;

// Records every message and open-file request; answers ChooseFile from a queue (an empty
// queue cancels). Installed for as long as it lives.
class RecordingDialogs final : public UserDialogs {
public:
    struct Message {
        QString caption;
        QString text;
        Icon icon;
    };
    struct FileRequest {
        QString initialDir;
        QString filter;
    };

    RecordingDialogs();
    ~RecordingDialogs() override;
    RecordingDialogs(const RecordingDialogs&) = delete;
    RecordingDialogs& operator=(const RecordingDialogs&) = delete;

    QString ChooseFile(QWidget* parent, const QString& initialDir, const QString& filter) override;
    void ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                     Icon icon) override;
    void ChooseSaveFile(QWidget* parent, const QString& caption, const QString& suggested,
                        const QString& filter,
                        std::function<void(const QString& file)> chosen) override;

    QList<Message> messages;
    QList<FileRequest> fileRequests;
    QStringList answers;             // taken from the front; empty text or no entry = cancel
    QStringList saveAnswers;         // the same for the save-file dialog
    QStringList log;                 // "file" and "message: <text>" in the order they came
    std::function<void()> onMessage; // run while a message is shown, if set
};

// Makes `folder` the current directory while it lives.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const QString& folder);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    QString saved_;
};

// A regedit file with the Kelvadom key and, unless `valueLine` is empty, that value line
// (e.g. "\"DataBasePath\"=\"/tmp/x.kvd\"").
std::string RegistryText(const std::string& valueLine, bool withKey = true);
// The value line naming `path` as a string.
std::string PathValueLine(const std::string& path);
// Writes `text` into `file` and makes start-up read its registry from there.
void UseRegistry(const std::string& file, const std::string& text);
// Makes start-up find `library` through the machine registry, a file in `folder`.
void StartWith(const orvelle::fixtures::TempDir& folder, const std::string& library);

// The data module and then the main window, as main() creates them, once start-up is done
// (its libraries are made ready off the window's thread); both destroyed (through their
// globals, which the exit command may already have cleared) when this goes away.
class MainWindow {
public:
    MainWindow();
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
};

// Processes events until no library is being made ready for the main window (a minute at most).
void WaitForLibrary();

// "F 2 name" / "D 6 name" lines of the tree, two spaces per level, depth first.
QStringList TreeListing();
// The tree item made from the register entry with this id, or nullptr.
QTreeWidgetItem* ItemById(std::int32_t id);

// A real mouse click on the tree item of the register entry with this id, its folders opened;
// returns once the render it started has ended.
void ClickTreeItem(std::int32_t id);
// Waits until no render is under way in the main window's browser.
void WaitForRender();

// A real mouse click on the middle of the element with this id, in the page of `view`.
void ClickElement(orvelle::viewer::BrowserView& view, const QString& id,
                  Qt::MouseButton button = Qt::LeftButton);

// Whether any item of the tree is expanded.
bool AnyExpanded();

// Runs `script` in the page of `view` and waits for its value.
QVariant Eval(orvelle::viewer::BrowserView& view, const QString& script);
// The text of the shown document's element "mark" (the tests' documents name themselves there),
// or an empty text.
QString Mark(orvelle::viewer::BrowserView& view);
// How far down the shown document is scrolled, in pixels.
int ScrollY(orvelle::viewer::BrowserView& view);

// Processes events for `ms` milliseconds.
void Pump(int ms);

// Runs a test program's body; an exception that leaves it is reported and fails the run.
int RunTestMain(const std::function<int()>& body) noexcept;

} // namespace formstest

// A Qt Test main that prepares the web engine before the application object exists, as the
// program does. Closing windows does not end the application: only the main window's close.
#define FORMS_TEST_MAIN(TestClass)                                                                 \
    int main(int argc, char** argv) {                                                              \
        return formstest::RunTestMain([&] {                                                        \
            orvelle::viewer::PrepareEngine();                                                      \
            QApplication application(argc, argv);                                                  \
            application.setQuitOnLastWindowClosed(false);                                          \
            TestClass test;                                                                        \
            return QTest::qExec(&test, argc, argv);                                                \
        });                                                                                        \
    }
