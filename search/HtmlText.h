#pragma once

#include <string>
#include <string_view>

namespace orvelle::search {

// The readable text of an HTML document, read in one pass by a tokenizer that follows HTML's
// rules for tags, comments, raw text and character references but builds no tree: memory is a
// small multiple of the document's size and time linear in it, whatever the markup (nesting a
// million deep, misnested or unclosed tags, unclosed comments, huge attributes). Scripts,
// styles and templates are left out; block elements break words.
struct HtmlText {
    std::string title;    // <title>
    std::string headings; // <h1>…<h6>, one per line
    std::string body;     // everything shown, headings included, blocks on lines of their own
};

// `utf8Html` may hold any bytes: invalid sequences become U+FFFD, NULs are dropped (as a
// browser drops them), other control characters become blanks and line ends "\n". Never
// throws for bad markup.
HtmlText ExtractHtmlText(std::string_view utf8Html);

} // namespace orvelle::search
