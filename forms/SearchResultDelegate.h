#pragma once

#include <QStyledItemDelegate>

namespace orvelle::forms {

// Draws a search result as rich text: the entry's name, its folders in grey and the snippet
// with the matched words highlighted. The item's text (SearchResultDelegate::HtmlRole) is
// built from escaped text and highlight marks only.
class SearchResultDelegate : public QStyledItemDelegate {
public:
    static constexpr int HtmlRole = Qt::UserRole + 10;

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace orvelle::forms
