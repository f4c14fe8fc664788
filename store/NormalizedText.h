#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvelle::store {

// The text of a document as a reader sees it, for telling whether two editions of a document
// read the same. The page collapses blanks, so its text is taken the same way: within a line,
// runs of blanks (space, tab, carriage return, form feed, vertical tab, no-break space) become
// one space, lines lose their leading and trailing blanks, and empty lines go. Lines are
// separated by one '\n'. `text` is UTF-8, as the text extraction gives it.
std::string NormalizeReaderText(std::string_view text);

// A 64-bit hash of NormalizeReaderText(text): equal fingerprints, the same text as read.
// Computed without holding the normalised text. The search index keeps one per document.
std::uint64_t ReaderTextFingerprint(std::string_view text);

} // namespace orvelle::store
