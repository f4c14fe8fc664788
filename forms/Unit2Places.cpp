// The reader's own places in the main window: favourites, the recent libraries, where reading
// stopped, opening an entry from the outside, and the commands on whole sections.
#include "Unit2.h"

#include "DocumentHistory.h"
#include "ErrorDisplay.h"
#include "Favourites.h"
#include "FindBar.h"
#include "LaunchRequest.h"
#include "LibraryIdentity.h"
#include "LibrarySettings.h"
#include "PrintZoom.h"
#include "ReaderState.h"
#include "RecentLibraries.h"
#include "RegisterTreeItem.h"
#include "SectionCommands.h"
#include "StartupSources.h"
#include "ToolBarLook.h"
#include "Unit3.h"
#include "UserDialogs.h"
#include "platform/AnsiText.h"
#include "platform/NativeFileName.h"
#include "resources/Pictures.h"
#include "viewer/BrowserView.h"
#include "viewer/DocumentPrinter.h"
#include "viewer/DocumentRender.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QHash>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <utility>

namespace orvelle::forms {

namespace {

QHash<std::int32_t, QTreeWidgetItem*> ItemsById(QTreeWidget* tree) {
    QHash<std::int32_t, QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if (const auto* item = dynamic_cast<const RegisterTreeItem*>(*it)) {
            items.insert(item->Entry().id, *it); // the first of an id, as the tree shows it
        }
    }
    return items;
}

// The same file however it is spelled; a server's name as given.
QString SameFile(const QString& name) {
    const QFileInfo file(name);
    return file.exists() ? file.canonicalFilePath() : name;
}

} // namespace

void TForm2::BuildPlaces() {
    Favourites1 = new FavouritesPanel(PageControl1);
    PageControl1->addTab(Favourites1, QStringLiteral("Избранное"));
    connect(Favourites1, &FavouritesPanel::OpenRequested, this,
            [this](std::int32_t id, const QString& anchor) {
                Guarded([&] { OpenEntry(id, anchor); });
            });

    AddFavouriteAction = new QAction(QIcon(resources::FavouritePicture()),
                                     QStringLiteral("Добавить в избранное"), this);
    AddFavouriteAction->setObjectName(QStringLiteral("AddFavourite"));
    AddFavouriteAction->setToolTip(QStringLiteral("Добавить в избранное (Ctrl+D)"));
    AddFavouriteAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    AddFavouriteAction->setShortcutContext(Qt::WindowShortcut);
    addAction(AddFavouriteAction);
    connect(AddFavouriteAction, &QAction::triggered, this,
            [this] { Guarded([this] { AddFavourite(); }); });

    ToolBar6 = MakeFlatToolBar(ControlBar1, "ToolBar6");
    ToolButton15 = MakeRecentLibrariesButton(
        ToolBar6, [this](const QString& name) { Guarded([&] { OpenLibraryFile(name); }); });
    ToolButton15->setObjectName(QStringLiteral("ToolButton15"));
    ToolButton15->setIcon(CustomerData->ImageList2.Icon(8));
    ToolButton15->setFixedHeight(22);
    ToolBar6->addWidget(ToolButton15);
    ToolButton16 = AddToolButton(ToolBar6, AddFavouriteAction, "ToolButton16");
    static_cast<QBoxLayout*>(ControlBar1->layout())->insertWidget(3, ToolBar6);

    ReaderState1 = new ReaderState(this, Splitter1, TreeView1, WebBrowser1);
    connect(History1, &DocumentHistory::PlaceChanged, this, [this](QTreeWidgetItem* item) {
        if (const auto* entry = dynamic_cast<const RegisterTreeItem*>(item)) {
            ReaderState1->EntryShown(entry->Entry().id);
        }
    });

    Sections1 = new SectionCommands({this, TreeView1, WebBrowser1, &printer_->Printer(),
                                     [this] {
                                         return PrintZoom1 && PrintZoom1->Enabled() && WebBrowser1
                                                    ? WebBrowser1->zoomFactor()
                                                    : 1.0;
                                     }},
                                    this);
    StatusBar1->addPermanentWidget(Sections1->ProgressArea());
    BuildTreeMenu();
}

bool TForm2::OpenLaunchLibrary() {
    const QString file = StartupSources::LaunchLibrary();
    if (file.isEmpty()) {
        return false;
    }
    OpenLibraryFile(file);
    return true;
}

void TForm2::LibraryLoaded() {
    if (pendingResume_) {
        // After the tree is the library's: the place kept is looked up in it.
        QTimer::singleShot(0, this, [this, resume = std::exchange(pendingResume_, {})] {
            Guarded([&] { resume(); });
        });
    }
    const QString identity = LibraryIdentity(*TreeView1);
    const QString name = platform::FromNativeFileName(CustomerData->IBDatabase1.DatabaseName());
    RecordLibraryPlace(name, identity);
    RememberLibrary(name);
    ReaderState1->LibraryOpened(identity);
    if (identity.isEmpty()) {
        Favourites1->CloseLibrary();
        return;
    }
    const QHash<std::int32_t, QTreeWidgetItem*> items = ItemsById(TreeView1);
    Favourites1->ShowLibrary(identity, [&items](std::int32_t id) { return items.contains(id); });
}

void TForm2::LibraryClosed() {
    ReaderState1->LibraryOpened(QString());
    Favourites1->CloseLibrary();
}

void TForm2::AddFavourite() {
    QTreeWidgetItem* shown = History1->CurrentItem();
    const auto* entry = dynamic_cast<const RegisterTreeItem*>(shown);
    if (!entry) {
        return; // nothing from the tree on screen
    }
    const QString anchor = History1->CurrentAnchor();
    const QString name = platform::FromAnsi(entry->Entry().name);
    Favourites1->Add({entry->Entry().id, anchor,
                      anchor.isEmpty() ? name : name + QStringLiteral(" — ") + anchor});
}

QTreeWidgetItem* TForm2::SelectEntry(std::int32_t id) {
    if (!TreeView1) {
        return nullptr;
    }
    QTreeWidgetItem* found = ItemsById(TreeView1).value(id);
    if (!found) {
        return nullptr;
    }
    for (QTreeWidgetItem* above = found->parent(); above; above = above->parent()) {
        above->setExpanded(true);
    }
    TreeView1->setCurrentItem(found);
    TreeView1->scrollToItem(found);
    return found;
}

bool TForm2::OpenEntry(std::int32_t id, const QString& anchor, std::function<void()> arrived) {
    if (!SelectEntry(id)) {
        return false;
    }
    viewer::DocumentRender* render = ShowSelectedEntry();
    if (render && (!anchor.isEmpty() || arrived)) {
        // A render finishes only while it is the newest: its document is the one on screen.
        connect(render, &viewer::DocumentRender::Finished, this,
                [this, anchor, arrived = std::move(arrived)] {
                    if (!anchor.isEmpty() && WebBrowser1) {
                        WebBrowser1->ScrollToAnchor(anchor, this,
                                                    [](viewer::BrowserView::ScrollOutcome) {});
                        History1->AnchorFollowed(anchor);
                    }
                    if (arrived) {
                        arrived();
                    }
                });
    }
    return true;
}

void TForm2::OpenFromOutside(const LaunchRequest& request) {
    // To the front first: a message below belongs on top of it.
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
    if (!request.file.isEmpty() && CustomerData &&
        SameFile(request.file) !=
            SameFile(platform::FromNativeFileName(CustomerData->IBDatabase1.DatabaseName()))) {
        // The rest once the library is made ready and open; nothing more when it cannot be.
        LaunchRequest rest = request;
        rest.file.clear();
        OpenLibraryFile(request.file, [this, rest] { OpenFromOutside(rest); });
        return;
    }
    if (request.entry && !OpenEntry(*request.entry)) {
        Dialogs().ShowMessage(
            this, ApplicationTitle(),
            QStringLiteral("В библиотеке нет записи с кодом %1").arg(*request.entry),
            UserDialogs::Icon::Error);
        return;
    }
    if (request.find && FindBar1) {
        FindBar1->Open();
        FindBar1->Field()->setText(*request.find);
    }
}

void TForm2::ResumeReading(const LaunchRequest& request) {
    if (LibraryPreparing()) {
        pendingResume_ = [this, request] { ResumeReading(request); };
        return;
    }
    const ReaderState::Place place = ReaderState1->KeptPlace();
    if (TreeView1) {
        const QHash<std::int32_t, QTreeWidgetItem*> items = ItemsById(TreeView1);
        for (const std::int32_t id : place.expanded) {
            if (QTreeWidgetItem* folder = items.value(id)) {
                folder->setExpanded(true);
            }
        }
    }
    // Entries asked for from the outside win over the place kept.
    if (!request.entry && place.entry) {
        const std::int32_t id = *place.entry;
        const int scroll = place.scroll;
        OpenEntry(id, QString(), [this, scroll] {
            if (scroll > 0 && WebBrowser1) {
                WebBrowser1->page()->runJavaScript(
                    QStringLiteral("window.scrollTo(0, %1)").arg(scroll),
                    QWebEngineScript::ApplicationWorld);
                ReaderState1->Scrolled(scroll);
            }
        });
    }
    LaunchRequest rest = request;
    rest.file.clear(); // opened already, at start-up
    if (!rest.Empty()) {
        OpenFromOutside(rest);
    }
}

void TForm2::ShowAsLastTime() {
    if (ReaderState1->RestoreWindow()) {
        show();
    } else {
        showMaximized();
    }
}

} // namespace orvelle::forms
