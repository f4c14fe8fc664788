#include "ReaderText.h"

#include "HtmlText.h"
#include "platform/AnsiText.h"

#include <algorithm>

namespace orvelle::search {

std::string ReaderHtml(std::string_view storedBytes) {
    std::string html = platform::AnsiToUtf8(storedBytes);
    std::replace(html.begin(), html.end(), '\r', ' ');
    std::replace(html.begin(), html.end(), '\n', ' ');
    return html;
}

std::string ReaderTextOf(std::string_view storedBytes) {
    return ExtractHtmlText(ReaderHtml(storedBytes)).body;
}

} // namespace orvelle::search
