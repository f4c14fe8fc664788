#include "ReaderText.h"

#include "HtmlText.h"
#include "platform/AnsiText.h"

namespace orvelle::search {

std::string ReaderHtml(std::string_view storedBytes) {
    QString html = platform::FromAnsi(storedBytes);
    html.replace(QChar('\r'), QChar(' ')).replace(QChar('\n'), QChar(' '));
    return html.toStdString();
}

std::string ReaderTextOf(std::string_view storedBytes) {
    return ExtractHtmlText(ReaderHtml(storedBytes)).body;
}

} // namespace orvelle::search
