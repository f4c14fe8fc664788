#include "SearchResultDelegate.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPainter>
#include <QTextDocument>

namespace orvelle::forms {

namespace {

void Prepare(QTextDocument& document, const QStyleOptionViewItem& option,
             const QModelIndex& index) {
    document.setDefaultFont(option.font);
    document.setDocumentMargin(3);
    document.setHtml(index.data(SearchResultDelegate::HtmlRole).toString());
    document.setTextWidth(option.rect.width() > 0 ? option.rect.width() : 240);
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
    Prepare(document, option, index);
    QAbstractTextDocumentLayout::PaintContext context;
    if (option.state & QStyle::State_Selected)
        context.palette.setColor(QPalette::Text, option.palette.color(QPalette::HighlightedText));
    painter->save();
    painter->translate(option.rect.topLeft());
    painter->setClipRect(QRect(QPoint(0, 0), option.rect.size()));
    document.documentLayout()->draw(painter, context);
    painter->restore();
}

QSize SearchResultDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QTextDocument document;
    Prepare(document, option, index);
    return QSize(static_cast<int>(document.idealWidth()),
                 static_cast<int>(document.size().height()) + 2);
}

} // namespace orvelle::forms
