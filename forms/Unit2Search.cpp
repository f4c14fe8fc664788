// The main window's full-text search: a "Поиск" tab beside the tree, the index's progress in
// the status bar, and opening a found entry as a click on it in the tree would.
#include "Unit2.h"

#include "ErrorDisplay.h"
#include "FindBar.h"
#include "SearchPanel.h"
#include "TitleFilter.h"
#include "viewer/BrowserView.h"

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QKeySequence>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>
#include <QWebEnginePage>

namespace orvelle::forms {

void TForm2::BuildSearch() {
    PageControl1 = new QTabWidget(Panel1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setDocumentMode(true);
    // The contents page takes what the pane held so far: the tree, and the filter above it.
    auto* contents = new QWidget(PageControl1);
    contents->setObjectName(QStringLiteral("TabSheet1"));
    auto* contentsLayout = new QVBoxLayout(contents);
    contentsLayout->setContentsMargins(0, 0, 0, 0);
    contentsLayout->setSpacing(Panel1->layout()->spacing());
    while (QLayoutItem* item = Panel1->layout()->takeAt(0)) {
        if (item->widget()) {
            contentsLayout->addWidget(item->widget());
        }
        delete item;
    }
    Panel1->layout()->addWidget(PageControl1);
    PageControl1->addTab(contents, QStringLiteral("Содержание"));
    SearchPanel1 = new SearchPanel(PageControl1);
    PageControl1->addTab(SearchPanel1, QStringLiteral("Поиск"));
    StatusBar1->addPermanentWidget(SearchPanel1->ProgressArea());
    connect(SearchPanel1, &SearchPanel::OpenRequested, this,
            [this](std::int32_t id, const QStringList& matches) {
                Guarded([&] { OpenSearchHit(id, matches); });
            });
    AddFieldShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), SearchPanel1->SearchEdit,
                     QStringLiteral("Поиск по тексту документов"), SearchPanel1);
    if (TitleFilter1) {
        AddFieldShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), TitleFilter1,
                         QStringLiteral("Фильтр по названию"), contents);
    }
}

// A key anywhere in the window that shows `page` and puts the reader in `field`, named with
// its key in the field's tooltip.
void TForm2::AddFieldShortcut(const QKeySequence& key, QLineEdit* field, const QString& name,
                              QWidget* page) {
    auto* action = new QAction(name, this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    field->setToolTip(Qt::convertFromPlainText(
        name + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QStringLiteral(")"),
        Qt::WhiteSpaceNoWrap));
    connect(action, &QAction::triggered, this, [this, field, page] {
        PageControl1->setCurrentWidget(page);
        field->setFocus(Qt::ShortcutFocusReason);
        field->selectAll();
    });
}

void TForm2::OpenSearchHit(std::int32_t id, const QStringList& matches) {
    OpenEntry(id, QString(), [this, matches] {
        if (!WebBrowser1 || matches.isEmpty()) {
            return;
        }
        // Marks are counted for the document they were made in, not for one shown since.
        QPointer<QWebEnginePage> page = WebBrowser1->page();
        WebBrowser1->MarkWords(matches, FindBar1, [this, matches, page](int marked) {
            if (page && WebBrowser1 && WebBrowser1->page() == page) {
                FindBar1->HitWordsMarked(matches, marked);
            }
        });
    });
}

} // namespace orvelle::forms
