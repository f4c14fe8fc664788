// The main window's tree: loading the register and rendering a clicked entry.
#include "Unit2.h"

#include "Comparison.h"
#include "DocumentHistory.h"
#include "FindBar.h"
#include "LibraryChangeBar.h"
#include "PrintZoom.h"
#include "RegisterTreeItem.h"
#include "SearchPanel.h"
#include "Unit3.h"
#include "platform/AnsiText.h"
#include "platform/TerminationSignals.h"
#include "platform/WaitCursor.h"
#include "store/RegisterQueries.h"
#include "store/RegisterWalk.h"
#include "viewer/BrowserView.h"
#include "viewer/DocumentRender.h"

#include <QApplication>
#include <QTreeWidget>

#include <stdexcept>

namespace orvelle::forms {

namespace {

// Puts the walk's entries into the tree view, with the folder or document pictures. New
// top-level items, and so everything below them, are built outside the view and handed to it
// in one go when the walk is over (also when it failed): one model update instead of one per
// entry.
class TreeViewSink final : public store::RegisterSink {
public:
    TreeViewSink(QTreeWidget& tree, const TImageList& images)
        : tree_(tree), folderIcon_(images.Icon(0, 1)), documentIcon_(images.Icon(2, 3)) {}
    ~TreeViewSink() override { tree_.addTopLevelItems(topLevel_); }
    TreeViewSink(const TreeViewSink&) = delete;
    TreeViewSink& operator=(const TreeViewSink&) = delete;

    Item AddItem(Item parent, std::unique_ptr<store::TUzel> entry) override {
        // A termination signal stops a long load at the next entry, whatever the client does.
        if (platform::TerminationRequested()) {
            throw std::runtime_error("The program is ending");
        }
        const QString text = platform::FromAnsi(entry->name);
        const QIcon& icon = entry->IsFolder() ? folderIcon_ : documentIcon_;
        auto* item = new RegisterTreeItem(std::move(entry), icon);
        item->setText(0, text);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        if (parent) {
            static_cast<QTreeWidgetItem*>(parent)->addChild(item);
        } else {
            topLevel_.append(item);
        }
        return item;
    }

private:
    QTreeWidget& tree_;
    QIcon folderIcon_;
    QIcon documentIcon_;
    QList<QTreeWidgetItem*> topLevel_;
};

} // namespace

void TForm2::LoadRegisterLevel(std::int32_t parentId, QTreeWidgetItem* parentItem) {
    platform::WaitCursor wait;
    {
        TreeViewSink sink(*TreeView1, CustomerData->ImageList2);
        store::WalkRegister(CustomerData->IBQuery1, parentId, parentItem, sink);
    }
    if (!parentItem && SearchPanel1) { // the whole tree: its library can be searched
        SearchPanel1->OpenLibrary(CustomerData->IBDatabase1.DatabaseName());
    }
    if (!parentItem) {
        LibraryLoaded();
    }
}

void TForm2::ClearTree() {
    if (Comparison1) {
        Comparison1->Forget(); // it kept the plain tree of the library that goes now
    }
    LibraryClosed();
    TreeView1->clear();
    if (SearchPanel1) {
        SearchPanel1->CloseLibrary();
    }
}

void TForm2::TreeView1Click() {
    ShowSelectedEntry();
}

viewer::DocumentRender* TForm2::ShowSelectedEntry() {
    QTreeWidgetItem* selected = TreeView1->currentItem();
    if (!selected || !TreeView1->selectionModel()->isSelected(TreeView1->currentIndex())) {
        return nullptr;
    }
    if (Comparison1 && Comparison1->Holds(selected)) {
        return Comparison1->Open(selected); // an entry of the comparison's tree
    }
    const auto* item = dynamic_cast<RegisterTreeItem*>(selected);
    if (!item) {
        return nullptr;
    }
    // A library changed on disk says so before its old text is shown.
    changeBar_->Check();
    const std::string text =
        store::ReadDocumentContent(CustomerData->IBQuery1, item->Entry().idCONTENTS);
    shownEntry_ = item->Entry().id;
    if (!WebBrowser1) {
        return nullptr;
    }
    History1->DocumentOpened(selected);
    FindBar1->DocumentChanged();
    viewer::DocumentRender* render = RenderHtml(text, selected->text(0));
    if (render && PrintZoom1) {
        connect(render, &viewer::DocumentRender::Finished, PrintZoom1, &PrintZoom::Apply);
    }
    return render;
}

} // namespace orvelle::forms
