// The main window's tree: loading the register and rendering a clicked entry.
#include "Unit2.h"

#include "RegisterTreeItem.h"
#include "Unit3.h"
#include "platform/AnsiText.h"
#include "store/RegisterQueries.h"
#include "store/RegisterWalk.h"
#include "viewer/BrowserView.h"

#include <QApplication>
#include <QTreeWidget>

namespace orvelle::forms {

namespace {

// Puts the walk's entries into the tree view, with the folder or document pictures.
class TreeViewSink final : public store::RegisterSink {
public:
    TreeViewSink(QTreeWidget& tree, const TImageList& images)
        : tree_(tree), folderIcon_(images.Icon(0, 1)), documentIcon_(images.Icon(2, 3)) {}

    Item AddItem(Item parent, std::unique_ptr<store::TUzel> entry) override {
        const bool folder = entry->IsFolder();
        const QString text = platform::FromAnsi(entry->name);
        auto* item = new RegisterTreeItem(std::move(entry));
        item->setText(0, text);
        item->setIcon(0, folder ? folderIcon_ : documentIcon_);
        item->setData(0, RegisterTreeItem::ImageIndexRole, folder ? 0 : 2);
        item->setData(0, RegisterTreeItem::SelectedIndexRole, folder ? 1 : 3);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        if (parent)
            static_cast<QTreeWidgetItem*>(parent)->addChild(item);
        else
            tree_.addTopLevelItem(item);
        return item;
    }

private:
    QTreeWidget& tree_;
    QIcon folderIcon_;
    QIcon documentIcon_;
};

// A wait cursor for as long as it lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

void TForm2::LoadRegisterLevel(std::int32_t parentId, QTreeWidgetItem* parentItem) {
    WaitCursor wait;
    TreeViewSink sink(*TreeView1, CustomerData->ImageList2);
    store::WalkRegister(CustomerData->IBQuery1, parentId, parentItem, sink);
}

void TForm2::ClearTree() {
    TreeView1->clear();
}

void TForm2::TreeView1Click() {
    QTreeWidgetItem* selected = TreeView1->currentItem();
    if (!selected || !TreeView1->selectionModel()->isSelected(TreeView1->currentIndex()))
        return;
    const auto* item = dynamic_cast<RegisterTreeItem*>(selected);
    if (!item)
        return;
    const std::string text =
        store::ReadDocumentContent(CustomerData->IBQuery1, item->Entry().idCONTENTS);
    if (WebBrowser1)
        RenderHtml(text, *WebBrowser1);
}

} // namespace orvelle::forms
