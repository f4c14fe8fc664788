#pragma once

#include "store/TUzel.h"

#include <QIcon>
#include <QTextDocument>
#include <QTreeWidgetItem>

#include <memory>

namespace orvelle::forms {

// A tree item that owns the register entry it was made from. Its picture follows from the
// entry (folder or document) rather than being stored per item: a register holds up to
// hundreds of thousands of entries.
class RegisterTreeItem : public QTreeWidgetItem {
public:
    // The image list indexes of the item's normal and selected picture.
    static constexpr int ImageIndexRole = Qt::UserRole + 1;
    static constexpr int SelectedIndexRole = Qt::UserRole + 2;

    RegisterTreeItem(std::unique_ptr<store::TUzel> entry, QIcon icon)
        : QTreeWidgetItem(UserType), entry_(std::move(entry)), icon_(std::move(icon)) {}

    const store::TUzel& Entry() const { return *entry_; }

    QVariant data(int column, int role) const override {
        if (column == 0) {
            switch (role) {
            case Qt::DecorationRole:
                return icon_;
            case ImageIndexRole:
                return entry_->IsFolder() ? 0 : 2;
            case SelectedIndexRole:
                return entry_->IsFolder() ? 1 : 3;
            case Qt::ToolTipRole:
                // The whole name as it is shown, as plain text on one line.
                return Qt::convertFromPlainText(
                    QTreeWidgetItem::data(0, Qt::DisplayRole).toString(), Qt::WhiteSpaceNoWrap);
            default:
                break;
            }
        }
        return QTreeWidgetItem::data(column, role);
    }

private:
    std::unique_ptr<store::TUzel> entry_;
    QIcon icon_;
};

} // namespace orvelle::forms
