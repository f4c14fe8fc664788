#pragma once

#include "TOpenDialog.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QFrame;
class QKeySequence;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvelle::viewer {
class BrowserView;
class DocumentPrinter;
class DocumentRender;
} // namespace orvelle::viewer

namespace orvelle::forms {

class BrowserContextMenu;
class Comparison;
class DocumentHistory;
class FavouritesPanel;
class FindBar;
class LibraryChangeBar;
class LibraryPreparation;
class PendingPathIni;
class ReaderState;
class SectionCommands;
struct LaunchRequest;
class PrintZoom;
class TitleFilter;
class ZoomControl;
class SearchPanel;

// Up from the start of a render until it completes; while it is up the browser may
// navigate, otherwise every navigation is cancelled.
extern bool DocumentLoading;

// The main window: the register as a tree on the left, the selected document on the right.
class TForm2 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    QMenuBar* MainMenu1 = nullptr;
    QMenu* N1 = nullptr; // "Файл"
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    TOpenDialog OpenDialog1{this};
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QMenu* N7 = nullptr; // "Помощь"
    QPointer<viewer::BrowserView> WebBrowser1;
    QStatusBar* StatusBar1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QAction* N8 = nullptr;
    QAction* N9 = nullptr;
    QFrame* ControlBar1 = nullptr;
    QToolBar* ToolBar4 = nullptr;
    QToolButton* ToolButton7 = nullptr;
    QToolButton* ToolButton8 = nullptr;
    QToolBar* ToolBar3 = nullptr;
    QToolButton* ToolButton11 = nullptr;
    QToolButton* ToolButton12 = nullptr;
    QAction* N10 = nullptr;
    QTabWidget* PageControl1 = nullptr; // "Содержание" (the tree) and "Поиск"
    SearchPanel* SearchPanel1 = nullptr;

    // Reading aids beside the stored layout: find in page, the title filter, Back/Forward
    // (with their toolbar), zoom and the document's own menu.
    FindBar* FindBar1 = nullptr;
    TitleFilter* TitleFilter1 = nullptr;
    DocumentHistory* History1 = nullptr;
    QToolBar* ToolBar5 = nullptr;
    QToolButton* ToolButton13 = nullptr; // back
    QToolButton* ToolButton14 = nullptr; // forward
    ZoomControl* Zoom1 = nullptr;
    PrintZoom* PrintZoom1 = nullptr;
    BrowserContextMenu* BrowserMenu1 = nullptr;

    // The comparison with another edition of the library (a toolbar button of its own and an
    // item of the tree's menu).
    Comparison* Comparison1 = nullptr;
    QToolBar* ToolBar7 = nullptr;
    QToolButton* ToolButton17 = nullptr;
    // The reader's own places: the «Избранное» tab, the recent libraries and the favourite
    // button (with their toolbar), where reading stopped, and the commands on whole sections.
    FavouritesPanel* Favourites1 = nullptr;
    QToolBar* ToolBar6 = nullptr;
    QToolButton* ToolButton15 = nullptr;   // recent libraries
    QToolButton* ToolButton16 = nullptr;   // add to favourites
    QAction* AddFavouriteAction = nullptr; // Ctrl+D: the entry (and section) on screen
    ReaderState* ReaderState1 = nullptr;
    SectionCommands* Sections1 = nullptr;

    // Text of status panel 0 (document name), 1 (last refused address) or 2 (unused).
    QString StatusPanelText(int panel) const;
    void SetStatusPanelText(int panel, const QString& text);

    void FormActivate();
    void N6Click();
    void TreeView1Click();
    // Asked before every navigation of the shown document; true lets it through. `byReader`:
    // the reader's own click started it, not the document.
    bool WebBrowser1BeforeNavigate2(const QUrl& url, bool byReader);
    void N4Click();
    void ToolButton1Click();
    void ToolButton2Click();
    void N9Click();
    void N3Click();
    void ToolButton6Click();
    void N10Click();
    void FormCreate();

    // Adds the register entries below `parentId` under `parentItem` (nullptr: top level),
    // and everything below them.
    void LoadRegisterLevel(std::int32_t parentId, QTreeWidgetItem* parentItem);
    QString DecodeAnchor(const QString& url) const;
    // Selects the entry in the tree, shows it as a click would and highlights `matches`.
    void OpenSearchHit(std::int32_t id, const QStringList& matches);

    // What a click on the tree does: reads the selected entry's content and starts rendering it.
    // The render under way, to hear how it ends; nullptr when nothing was rendered.
    viewer::DocumentRender* ShowSelectedEntry();
    // Starts writing `html` (Windows-1251 bytes) into the browser and returns at once. The
    // document's name goes to status panel 0 as soon as it is on screen (`entryName` when the
    // document has no title of its own); DocumentLoading is up until the render ends, and a
    // failure goes to the error display. nullptr when the browser is gone.
    viewer::DocumentRender* RenderHtml(const std::string& html, const QString& entryName = {});

    // A library is being made ready (copied into the cache) for a step that goes on once it is:
    // the window shows at once, and the tree fills when the copy is there.
    bool LibraryPreparing() const;
    // Reads the open library again (after it changed on disk), keeping the entry shown.
    void ReloadLibrary();
    // Selects the register entry `id` in the tree, its folders opened and it brought into view;
    // nullptr when the tree has no such entry.
    QTreeWidgetItem* SelectEntry(std::int32_t id);
    // Opens the register entry `id` as a click on it would (SelectEntry, then its document);
    // once the document is in, scrolls to the section `anchor` when one is given and runs
    // `arrived` (neither when another document came first). False when the tree has no such
    // entry.
    bool OpenEntry(std::int32_t id, const QString& anchor = QString(),
                   std::function<void()> arrived = {});
    // Opens the library `fileName` in place of the one shown, as "Открыть файл базы данных"
    // does with a chosen file, once it is made ready; then runs `opened`. On failure the
    // message, and the library before stays.
    void OpenLibraryFile(const QString& fileName, std::function<void()> opened = {});
    // What a start of the program asked for from the outside: its library (unless it is the
    // one shown), its entry, its text to find; the window comes to the front. An entry the tree
    // does not have gets a message.
    void OpenFromOutside(const LaunchRequest& request);
    // At start-up, once the window shows and its library is ready: the open library's folders,
    // entry and place as the reader left them, then what the command line asked for.
    void ResumeReading(const LaunchRequest& request);
    // Shows the window with its kept size and state (maximised the first time).
    void ShowAsLastTime();
    // Adds the entry on screen, with the section reached in it, to the favourites.
    void AddFavourite();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void BuildLayout();
    void BuildMenu();
    void BuildToolbars();
    void BuildPanes();
    void BuildStatusBar();
    void BuildReadingAids();
    void BuildSearch();
    void BuildComparison();
    void AddFieldShortcut(const QKeySequence& key, QLineEdit* field, const QString& name,
                          QWidget* page);
    void BuildPlaces();
    void BuildTreeMenu();
    bool OpenLaunchLibrary();
    // What ResumeReading was asked while the library was still being made ready.
    std::function<void()> pendingResume_;
    void LibraryLoaded();
    void LibraryClosed();
    void ClearTree();
    bool OpenDatabase(const QString& fileName);
    // Scrolls the shown document to the anchor a refused navigation named; tells the reader
    // when their own link leads nowhere in it.
    void ScrollToAnchor(const QString& url, bool byReader);

    // Opening a library in steps: what waits for its copy goes on when the copy is ready.
    using PreparedStep = std::function<void(const std::exception_ptr& failure)>;
    void BuildLibraryStatus();
    void PrepareLibraryThen(const QString& fileName, PreparedStep step);
    void OpenDatabaseThen(const QString& fileName, std::function<void(bool opened)> then);
    void FirstAttempt(const std::exception_ptr& failure);
    void StartupFallback();
    void AskForTheLibrary(const std::shared_ptr<PendingPathIni>& pending);
    void ConnectCandidate(QString candidate, const std::shared_ptr<PendingPathIni>& pending);
    bool OpenChosenLibrary(const QString& chosen, const std::exception_ptr& failure);
    void ShowEntryAgain(std::int32_t id);

    QLabel* statusPanels_[3] = {};
    bool secondClickOfDouble_ = false;
    bool scrollUnderWay_ = false; // a refused link's scroll (or its message) is under way
    viewer::DocumentPrinter* printer_ = nullptr;
    LibraryPreparation* preparation_ = nullptr;
    LibraryChangeBar* changeBar_ = nullptr;
    std::int32_t shownEntry_ = -1; // the register id of the document shown; -1: none
};

// The process-wide main window; null until start-up creates it.
extern TForm2* Form2;

} // namespace orvelle::forms
