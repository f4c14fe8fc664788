#pragma once

#include <cstddef>
#include <string>

namespace orvelle::search {

// How the index stores what it knows about a library's entries.

// Raised whenever the way documents are turned into terms changes: an index of another
// version is rebuilt from scratch.
inline constexpr const char* kSchemaVersion = "4";

// Term prefixes: the entry's unique term ("Q" + register id), the words (each as "Z" + its
// stem, with its positions: the index holds no other form of a word) and the extra code terms.
inline const std::string kIdPrefix = "Q";
inline const std::string kStemPrefix = "Z";
inline const std::string kCodePrefix = "XC";

// A document's data is what a hit shows, read in one go: the register id (decimal), the
// entry's name and the folders above it (" / " between them), each on a line of its own, then
// the body text for snippets. UTF-8; line breaks in names are stored as blanks.
//
// Value slots of each index document:
enum ValueSlot : unsigned {
    kSlotFingerprint = 3,     // what the entry was indexed from, as a hash
    kSlotTextFingerprint = 4, // store::ReaderTextFingerprint of the document, 16 hex digits
};

// Metadata keys of the index as a whole.
inline constexpr const char* kMetaVersion = "orvelle.version";
inline constexpr const char* kMetaLibrary = "orvelle.library";
inline constexpr const char* kMetaComplete = "orvelle.complete"; // "1" after a whole build
// The library file's size and modification time when the last whole build began.
inline constexpr const char* kMetaLibraryState = "orvelle.library-state";
// A document left out for a limit, under this prefix and its register id: its fingerprint, the
// reason's code and the entry's name, a tab between them. It is tried again when it changes.
inline constexpr const char* kMetaSkippedPrefix = "orvelle.skipped.";

// Term weights: a word in the entry's name or the document's title counts as much as five in
// the body, one in a heading as three (plus its own place in the body).
inline constexpr unsigned kNameWeight = 5;
inline constexpr unsigned kHeadingWeight = 2;
inline constexpr unsigned kBodyWeight = 1;

// The body text is kept for snippets up to this many bytes.
inline constexpr std::size_t kSnippetTextLimit = std::size_t{256} * 1024;

} // namespace orvelle::search
