#pragma once

#include "RegisterTreeItem.h"

#include <QByteArray>
#include <QList>
#include <QPixmap>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace orvelle::forms {

// One line of `orvelle-export diff OLD NEW --tree`: an entry of the new tree, or a removed one
// at its former place.
struct ComparisonRow {
    unsigned changes = 0; // store::EntryChange bits
    int depth = 0;
    std::int32_t id = 0;
    bool folder = false;
    QString name;
    QString oldName;   // when renamed
    QString oldFolder; // when moved: the folders it stood in, " / " between them
    std::optional<std::int32_t> oldContent; // its content ids, in each edition that has it
    std::optional<std::int32_t> newContent;
};

// The rows of such a listing; nothing when it is not one.
std::optional<std::vector<ComparisonRow>> ParseComparisonTree(const QByteArray& listing);

// A field of orvelle-export's tab-separated lines back to its text (\\, \t, \n, \r, \xHH,
// \uHHHH).
QString UnescapeField(QByteArrayView field);

// An entry of the tree while it shows a comparison: marked by what became of it, its tooltip
// telling what it was; a folder that holds changes somewhere below shows its name in bold.
class ComparisonTreeItem : public RegisterTreeItem {
public:
    ComparisonTreeItem(std::unique_ptr<store::TUzel> entry, QIcon icon, ComparisonRow row);

    unsigned Changes() const { return row_.changes; }
    const ComparisonRow& Row() const { return row_; }
    bool HoldsChanges() const { return holdsChanges_; }
    void SetHoldsChanges() { holdsChanges_ = true; }

    QVariant data(int column, int role) const override;

private:
    ComparisonRow row_;
    bool holdsChanges_ = false;
};

// The items for `rows`, nested by depth, ready to be put into a tree; the pictures are the
// folder's and the document's. An item's entry carries the content id of the edition it shows:
// the newer one, the older for a removed entry.
QList<QTreeWidgetItem*> MakeComparisonItems(const std::vector<ComparisonRow>& rows,
                                            const QPixmap& folderPicture,
                                            const QPixmap& documentPicture);

} // namespace orvelle::forms
