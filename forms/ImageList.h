#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

namespace orvelle::forms {

// The program's 16 x 16 pictures, addressed by index as the tree and the toolbars use them.
class TImageList {
public:
    explicit TImageList(QList<QPixmap> pictures) : pictures_(std::move(pictures)) {}

    int Count() const { return static_cast<int>(pictures_.size()); }
    QPixmap Picture(int index) const { return pictures_.value(index); }
    QIcon Icon(int index) const { return QIcon(Picture(index)); }
    // An icon that shows `selectedIndex` while its item is selected.
    QIcon Icon(int index, int selectedIndex) const {
        QIcon icon(Picture(index));
        icon.addPixmap(Picture(selectedIndex), QIcon::Selected);
        return icon;
    }

private:
    QList<QPixmap> pictures_;
};

} // namespace orvelle::forms
