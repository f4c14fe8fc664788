#pragma once

#include <string>
#include <string_view>

namespace orvelle::search {

// A stored document (Windows-1251 HTML bytes, as the library keeps it) as the text extraction
// reads it for what a reader sees: UTF-8, with the raw line breaks of its source as blanks. A
// browser shows those as blanks; only elements (blocks, <br>) break lines, so a document whose
// source was merely wrapped anew reads the same. (Preformatted text loses its line breaks.)
std::string ReaderHtml(std::string_view storedBytes);

// The text a reader sees in a stored document, in UTF-8, one line per line shown: the body text
// ExtractHtmlText finds in ReaderHtml. What a comparison of two editions and the index's text
// fingerprint are taken from.
std::string ReaderTextOf(std::string_view storedBytes);

} // namespace orvelle::search
