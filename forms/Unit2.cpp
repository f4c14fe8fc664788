// The main window's stored layout: menu, toolbars, panes and status bar.
#include "Unit2.h"

#include "ErrorDisplay.h"
#include "FormFont.h"
#include "LibraryPreparation.h"
#include "ReaderState.h"
#include "TabStops.h"
#include "ToolBarLook.h"
#include "Unit3.h"
#include "platform/MouseActivation.h"
#include "viewer/BrowserView.h"
#include "viewer/DocumentPrinter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace orvelle::forms {

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Form2");
    if (!Form2) {
        Form2 = this;
    }
    BuildLayout();
    Guarded([this] {
        if (!OpenLaunchLibrary()) {
            FormCreate();
        }
    });
}

TForm2::~TForm2() {
    if (ReaderState1) {
        ReaderState1->Keep();
    }
    if (Form2 == this) {
        Form2 = nullptr;
    }
}

void TForm2::BuildLayout() {
    setWindowTitle(QStringLiteral("Заголовок"));
    setFont(FormFont());
    setBackgroundRole(QPalette::Button);
    setGeometry(401, 164, 744, 479);
    BuildMenu();
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);
    BuildToolbars();
    column->addWidget(ControlBar1);
    BuildPanes();
    column->addWidget(Splitter1, 1);
    BuildStatusBar();
    BuildLibraryStatus();
    BuildReadingAids();
    BuildSearch();
    BuildComparison();
    OpenDialog1.Filter = QStringLiteral("База данных|*.kvd|Все файлы|*.*");
    printer_ = new viewer::DocumentPrinter(WebBrowser1.data(), nullptr, this);
    connect(printer_, &viewer::DocumentPrinter::Failed, this, [](const QString& message) {
        ShowErrorDisplay(std::make_exception_ptr(std::runtime_error(message.toStdString())));
    });
    BuildPlaces(); // its section commands print on the printer of the print commands
#ifndef Q_OS_WIN
    // Where the system sends no WM_MOUSEACTIVATE, an event filter keeps the same rule.
    qApp->installEventFilter(new platform::RightClickActivationFilter(this, this));
#endif
}

void TForm2::BuildMenu() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName("MainMenu1");
    N1 = MainMenu1->addMenu(QStringLiteral("Файл"));
    N1->setObjectName("N1");
    N3 = N1->addAction(QStringLiteral("Открыть файл базы данных"), this,
                       [this] { Guarded([this] { N3Click(); }); });
    N8 = N1->addSeparator();
    N4 = N1->addAction(QStringLiteral("Печать"), this, [this] { Guarded([this] { N4Click(); }); });
    N9 = N1->addAction(QStringLiteral("Настройка печати"), this,
                       [this] { Guarded([this] { N9Click(); }); });
    N5 = N1->addSeparator();
    N6 = N1->addAction(QStringLiteral("Выход"), this, [this] { Guarded([this] { N6Click(); }); });
    N7 = MainMenu1->addMenu(QStringLiteral("Помощь"));
    N7->setObjectName("N7");
    N10 = N7->addAction(QStringLiteral("О программе"), this,
                        [this] { Guarded([this] { N10Click(); }); });
    const std::pair<QAction*, const char*> names[] = {
        {N3, "N3"}, {N8, "N8"}, {N4, "N4"}, {N9, "N9"}, {N5, "N5"}, {N6, "N6"}, {N10, "N10"}};
    for (auto [action, name] : names) {
        action->setObjectName(name);
    }
    // The menu shows no icons; N3 carries its picture only for the button linked to it.
    N3->setIcon(CustomerData->ImageList2.Icon(8));
    N3->setIconVisibleInMenu(false);
}

void TForm2::BuildToolbars() {
    ControlBar1 = new QFrame(this);
    ControlBar1->setObjectName("ControlBar1");
    ControlBar1->setFixedHeight(26);
    auto* band = new QHBoxLayout(ControlBar1);
    band->setContentsMargins(11, 2, 0, 2);
    band->setSpacing(13);

    const TImageList& images = CustomerData->ImageList2;
    auto makeBar = [this](const char* name) { return MakeFlatToolBar(ControlBar1, name); };

    ToolBar3 = makeBar("ToolBar3");
    ToolBar3->setFixedWidth(46);
    ToolButton11 = AddToolButton(ToolBar3, N3, "ToolButton11"); // takes caption and picture from N3
    auto* exitAction = new QAction(images.Icon(9), QString(), this);
    exitAction->setToolTip(QStringLiteral("Выход"));
    connect(exitAction, &QAction::triggered, this,
            [this] { Guarded([this] { ToolButton6Click(); }); });
    ToolButton12 = AddToolButton(ToolBar3, exitAction, "ToolButton12");
    ToolButton11->setToolTip(QString()); // N3 has no hint

    ToolBar4 = makeBar("ToolBar4");
    ToolBar4->setFixedWidth(48);
    auto* printAction = new QAction(images.Icon(4), QString(), this);
    printAction->setToolTip(QStringLiteral("Печать"));
    connect(printAction, &QAction::triggered, this,
            [this] { Guarded([this] { ToolButton1Click(); }); });
    ToolButton7 = AddToolButton(ToolBar4, printAction, "ToolButton7");
    auto* previewAction = new QAction(images.Icon(6), QString(), this);
    previewAction->setToolTip(QStringLiteral("Предварительный просмотр печати"));
    connect(previewAction, &QAction::triggered, this,
            [this] { Guarded([this] { ToolButton2Click(); }); });
    ToolButton8 = AddToolButton(ToolBar4, previewAction, "ToolButton8");

    // Image indexes, for whoever needs to know which picture a button shows.
    ToolButton11->setProperty("imageIndex", 8);
    ToolButton12->setProperty("imageIndex", 9);
    ToolButton7->setProperty("imageIndex", 4);
    ToolButton8->setProperty("imageIndex", 6);

    band->addWidget(ToolBar3);
    band->addWidget(ToolBar4);
    band->addStretch(1);
}

void TForm2::BuildPanes() {
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(2);
    Splitter1->setChildrenCollapsible(false);

    Panel1 = new QFrame(Splitter1);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* treeLayout = new QVBoxLayout(Panel1);
    treeLayout->setContentsMargins(1, 1, 1, 1);
    TreeView1 = new QTreeWidget(Panel1);
    TreeView1->setObjectName("TreeView1");
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setIndentation(19);
    TreeView1->setIconSize(QSize(16, 16));
    TreeView1->setEditTriggers(QAbstractItemView::SelectedClicked |
                               QAbstractItemView::EditKeyPressed);
    TreeView1->setUniformRowHeights(true);
    // Whole names, however long or deep: the tree scrolls sideways instead of cutting them.
    TreeView1->setTextElideMode(Qt::ElideNone);
    TreeView1->header()->setStretchLastSection(false);
    TreeView1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TreeView1->viewport()->installEventFilter(this);
    TreeView1->installEventFilter(this);
    treeLayout->addWidget(TreeView1);

    Panel2 = new QFrame(Splitter1);
    Panel2->setObjectName("Panel2");
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* browserLayout = new QVBoxLayout(Panel2);
    browserLayout->setContentsMargins(2, 2, 2, 2);
    WebBrowser1 = new viewer::BrowserView(Panel2);
    WebBrowser1->setObjectName("WebBrowser1");
    KeepOutOfTabChain(WebBrowser1); // not a tab stop, nor anything the view puts inside it
    WebBrowser1->SetNavigationHandler([this](const QUrl& url, bool byReader) {
        return WebBrowser1BeforeNavigate2(url, byReader);
    });
    connect(WebBrowser1, &viewer::BrowserView::NavigationHandlerFailed, this,
            [](const QString& message) {
                ShowErrorDisplay(
                    std::make_exception_ptr(std::runtime_error(message.toStdString())));
            });
    connect(
        WebBrowser1, &viewer::BrowserView::DocumentStopped, this, [this](const QString& message) {
            SetStatusPanelText(0, QString());
            ShowErrorDisplay(std::make_exception_ptr(std::runtime_error(message.toStdString())));
        });
    browserLayout->addWidget(WebBrowser1);
    // The view makes its drawing surface now, before the window first shows (an empty script
    // starts the page without navigating): one made once the window is on screen has Qt re-create
    // the window, which then forgets that it was maximised.
    WebBrowser1->page()->runJavaScript(QStringLiteral("void 0"),
                                       QWebEngineScript::ApplicationWorld);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(Panel2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({271, 744 - 271 - 2});
}

void TForm2::BuildStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setFixedHeight(23);
    setStatusBar(StatusBar1);
    // The panels sit side by side at their fixed widths in a strip without a layout, so a
    // narrow window cuts them off at its edge instead of growing or piling them up.
    auto* strip = new QWidget(StatusBar1);
    strip->setObjectName("StatusPanels");
    const int widths[3] = {350, 250, 250};
    int left = 0;
    for (int i = 0; i < 3; ++i) {
        statusPanels_[i] = new QLabel(strip);
        statusPanels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        statusPanels_[i]->setGeometry(left, 0, widths[i], 19);
        statusPanels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusPanels_[i]->setTextFormat(Qt::PlainText); // names come from documents
        left += widths[i];
    }
    strip->setMinimumHeight(19);
    StatusBar1->addWidget(strip, 1);
}

QString TForm2::StatusPanelText(int panel) const {
    return statusPanels_[panel]->text();
}

void TForm2::SetStatusPanelText(int panel, const QString& text) {
    statusPanels_[panel]->setText(text);
}

void TForm2::FormActivate() {}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (!TreeView1) {
        return QMainWindow::eventFilter(watched, event);
    }
    bool render = false;
    if (watched == TreeView1->viewport()) {
        // Every left click in the tree renders the selected entry, whatever lies under the
        // mouse; the second half of a double click (which opens a folder) renders nothing more.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
            secondClickOfDouble_ = true;
        }
        if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
            render = !secondClickOfDouble_;
            secondClickOfDouble_ = false;
        }
    } else if (watched == TreeView1 && event->type() == QEvent::KeyPress) {
        // Moving with the keyboard renders nothing; Enter opens the selected entry.
        const int key = static_cast<QKeyEvent*>(event)->key();
        render = key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    if (render) {
        Guarded([this] { TreeView1Click(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TForm2::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (platform::HandleMouseActivate(eventType, message, result)) {
        return true;
    }
    return QMainWindow::nativeEvent(eventType, message, result);
}

void TForm2::closeEvent(QCloseEvent* event) {
    // Closing the main window always succeeds and ends the program; a library being copied is
    // not copied on, and its part goes.
    if (preparation_) {
        preparation_->Cancel();
    }
    event->accept();
    QCoreApplication::quit();
}

} // namespace orvelle::forms
