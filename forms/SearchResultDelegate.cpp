#include "SearchResultDelegate.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPainter>
#include <QTextDocument>

#include <algorithm>

namespace orvelle::forms {

namespace {

void Prepare(QTextDocument& document, const QStyleOptionViewItem& option, const QModelIndex& index,
             int width) {
    document.setDefaultFont(option.font);
    document.setDocumentMargin(3);
    document.setHtml(index.data(SearchResultDelegate::HtmlRole).toString());
    document.setTextWidth(std::max(width, 80));
}

} // namespace

void SearchResultDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    item.text.clear();
    const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    QTextDocument document;
    Prepare(document, option, index, option.rect.width());
    QAbstractTextDocumentLayout::PaintContext context;
    if (option.state & QStyle::State_Selected) {
        context.palette.setColor(QPalette::Text, option.palette.color(QPalette::HighlightedText));
    }
    painter->save();
    painter->translate(option.rect.topLeft());
    painter->setClipRect(QRect(QPoint(0, 0), option.rect.size()));
    document.documentLayout()->draw(painter, context);
    painter->restore();
}

QSize SearchResultDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    // As wide as the list shows: the text wraps there.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    QTextDocument document;
    Prepare(document, option, index, view ? view->viewport()->width() - 2 : 240);
    return QSize(static_cast<int>(document.textWidth()),
                 static_cast<int>(document.size().height()) + 2);
}

} // namespace orvelle::forms
