#include "SearchResultDelegate.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTextDocument>

#include <algorithm>

namespace orvelle::forms {

namespace {

constexpr int kMargin = 3;

// Colours by state: matches on a light yellow with dark text, folders in the palette's muted
// text colour; selected, everything in the highlighted-text colour on the selection.
QString StyleSheet(const QStyleOptionViewItem& option) {
    if (option.state & QStyle::State_Selected) {
        const QString text = option.palette.color(QPalette::HighlightedText).name();
        return QStringLiteral(".path { color: %1 } .hit { color: %1; text-decoration: underline; "
                              "font-weight: bold }")
            .arg(text);
    }
    return QStringLiteral(".path { color: %1 } .hit { color: #000000; background-color: #ffe873 }")
        .arg(option.palette.color(QPalette::PlaceholderText).name());
}

void Prepare(QTextDocument& document, const QStyleOptionViewItem& option, const QModelIndex& index,
             int width) {
    width = std::max(width, 80);
    document.setDefaultFont(option.font);
    document.setDocumentMargin(kMargin);
    document.setDefaultStyleSheet(StyleSheet(option));
    document.setHtml(
        SearchResultDelegate::Html(index, QFontMetrics(option.font), width - 2 * kMargin - 4));
    document.setTextWidth(width);
}

} // namespace

QString SearchResultDelegate::Html(const QModelIndex& index, const QFontMetrics& metrics,
                                   int width) {
    QString snippet = index.data(SnippetRole).toString();
    snippet.replace(QStringLiteral("<mark>"), QStringLiteral("<span class=\"hit\">"))
        .replace(QStringLiteral("</mark>"), QStringLiteral("</span>"));
    QString html = QStringLiteral("<b>%1</b>").arg(index.data(NameRole).toString().toHtmlEscaped());
    QString path = index.data(PathRole).toString();
    if (!path.isEmpty()) {
        if (width > 0) {
            path = metrics.elidedText(path, Qt::ElideMiddle, width);
        }
        html += QStringLiteral("<br><span class=\"path\" style=\"white-space:pre\">%1</span>")
                    .arg(path.toHtmlEscaped());
    }
    if (!snippet.isEmpty()) {
        html += QStringLiteral("<br>") + snippet;
    }
    return html;
}

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
    context.palette.setColor(QPalette::Text,
                             option.palette.color(option.state & QStyle::State_Selected
                                                      ? QPalette::HighlightedText
                                                      : QPalette::Text));
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
