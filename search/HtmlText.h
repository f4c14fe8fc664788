#pragma once

#include <string>
#include <string_view>

namespace orvelle::search {

// The readable text of an HTML document, parsed as a browser would (HTML5 rules, broken
// markup included). Scripts, styles and templates are left out; block elements break words.
struct HtmlText {
    std::string title;    // <title>
    std::string headings; // <h1>…<h6>, one per line
    std::string body;     // everything shown, headings included, blocks on lines of their own
};

// `utf8Html` may hold any bytes: invalid sequences and NULs become U+FFFD. Control characters
// in the result are turned into spaces. Never throws for bad markup.
HtmlText ExtractHtmlText(std::string_view utf8Html);

} // namespace orvelle::search
