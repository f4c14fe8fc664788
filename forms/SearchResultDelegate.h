#pragma once

#include <QStyledItemDelegate>

class QFontMetrics;

namespace orvelle::forms {

// Draws a search result as rich text: the entry's name, its folders on one line (elided in the
// middle when they do not fit; the item's tooltip has them whole) and the snippet with the
// matched words highlighted. Name and folders are plain text (NameRole, PathRole); the snippet
// (SnippetRole) is escaped text with only <mark> elements around the matches. A selected row
// is drawn all in the palette's highlighted-text colour, the matches underlined.
class SearchResultDelegate : public QStyledItemDelegate {
public:
    static constexpr int NameRole = Qt::UserRole + 20;
    static constexpr int PathRole = Qt::UserRole + 21;
    static constexpr int SnippetRole = Qt::UserRole + 22;

    // The item as rich text, its folders elided to `width` pixels of `metrics` (whole when
    // `width` is 0).
    static QString Html(const QModelIndex& index, const QFontMetrics& metrics, int width);

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace orvelle::forms
