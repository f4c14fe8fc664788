#include "MarkedDocument.h"

#include "ComparisonTree.h"
#include "platform/AnsiText.h"

#include <QStringList>

namespace orvelle::forms {

namespace {

const QString kStyle = QStringLiteral(
    "body{font-family:sans-serif;line-height:1.5;margin:1em 1.5em}"
    "ins{background:#d3f4d6;color:#14532d;text-decoration:none}"
    "del{background:#fde0de;color:#7f1d1d;text-decoration:line-through}"
    ".orvelle-note{color:#555;border-bottom:1px solid #ccc;padding-bottom:.4em;margin-bottom:1em}");

// Text for the page: escaped, line breaks as <br> (or as ¶ where a line break itself was deleted
// or inserted).
QString Escaped(const QString& text, const QString& lineBreak) {
    return text.toHtmlEscaped().replace(QChar('\n'), lineBreak);
}

// The page as Windows-1251 bytes; a character without a byte there is written as a character
// reference, so nothing is lost on the way.
std::string ToAnsiKeepingEverything(const QString& html) {
    std::string bytes;
    QStringView rest(html);
    while (!rest.isEmpty()) {
        const qsizetype bad = platform::FirstUnencodable(rest);
        if (bad < 0) {
            bytes += platform::ToAnsi(rest);
            break;
        }
        bytes += platform::ToAnsi(rest.left(bad));
        const bool pair =
            rest[bad].isHighSurrogate() && bad + 1 < rest.size() && rest[bad + 1].isLowSurrogate();
        const char32_t code =
            pair ? QChar::surrogateToUcs4(rest[bad], rest[bad + 1]) : rest[bad].unicode();
        bytes += "&#" + std::to_string(static_cast<unsigned long>(code)) + ";";
        rest = rest.mid(bad + (pair ? 2 : 1));
    }
    return bytes;
}

} // namespace

QString ChangeAnchor(int number) {
    return QStringLiteral("orvelle-change-%1").arg(number);
}

MarkedDocument MarkChanges(const QByteArray& pieces, const QString& title) {
    MarkedDocument document;
    QString body;
    bool afterSame = true; // a mark that follows kept text starts a new change
    for (const QByteArrayView line : pieces.split('\n')) {
        if (line == "coarse") {
            document.coarse = true;
            continue;
        }
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0) {
            continue;
        }
        const QByteArrayView kind = line.first(tab);
        const QString text = UnescapeField(line.sliced(tab + 1));
        if (kind == "same") {
            body += Escaped(text, QStringLiteral("<br>"));
            afterSame = true;
            continue;
        }
        const bool inserted = kind == "inserted";
        if (!inserted && kind != "deleted") {
            continue;
        }
        // The blank before the piece stays outside the mark.
        const qsizetype start = text.startsWith(QChar(' ')) ? 1 : 0;
        body += text.left(start);
        const QString tag = inserted ? QStringLiteral("ins") : QStringLiteral("del");
        QString anchor;
        if (afterSame) {
            anchor = QStringLiteral(" id=\"%1\"").arg(ChangeAnchor(++document.changes));
        }
        body += QStringLiteral("<%1%2>%3</%1>")
                    .arg(tag, anchor,
                         Escaped(text.mid(start),
                                 inserted ? QStringLiteral("¶<br>") : QStringLiteral("¶")));
        afterSame = false;
    }
    QString note = QStringLiteral("Изменения по сравнению с другой редакцией: вставленное "
                                  "выделено, удалённое зачёркнуто; F8 и Shift+F8 переходят к "
                                  "следующему и предыдущему изменению.");
    if (document.coarse) {
        note += QStringLiteral(" Редакции различаются слишком сильно, чтобы отметить всё по "
                               "словам: часть текста отмечена целиком как удалённая и "
                               "вставленная.");
    }
    const QString html =
        QStringLiteral("<!DOCTYPE html><html><head><title>%1</title><style>%2</style></head>"
                       "<body><div class=\"orvelle-note\">%3</div><div>%4</div></body></html>")
            .arg(title.toHtmlEscaped(), kStyle, note, body);
    document.html = ToAnsiKeepingEverything(html);
    return document;
}

} // namespace orvelle::forms
