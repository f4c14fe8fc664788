#pragma once

#include <cstddef>
#include <string>

namespace orvelle::search {

// How the index stores what it knows about a library's entries.

// Raised whenever the way documents are turned into terms changes: an index of another
// version is rebuilt from scratch.
inline constexpr const char* kSchemaVersion = "1";

// Term prefixes: the entry's unique term ("Q" + register id) and the extra code terms.
inline const std::string kIdPrefix = "Q";
inline const std::string kCodePrefix = "XC";

// Value slots of each index document.
enum ValueSlot : unsigned {
    kSlotId = 0,          // register id, decimal
    kSlotName = 1,        // the entry's name, UTF-8
    kSlotPath = 2,        // the folders above it, " / " between them, UTF-8
    kSlotFingerprint = 3, // what the entry was indexed from, as a hash
};

// Metadata keys of the index as a whole.
inline constexpr const char* kMetaVersion = "orvelle.version";
inline constexpr const char* kMetaLibrary = "orvelle.library";
inline constexpr const char* kMetaComplete = "orvelle.complete"; // "1" after a whole build

// Term weights: a word in the entry's name or the document's title counts as much as five in
// the body, one in a heading as three (plus its own place in the body).
inline constexpr unsigned kNameWeight = 5;
inline constexpr unsigned kHeadingWeight = 2;
inline constexpr unsigned kBodyWeight = 1;

// The body text is kept for snippets up to this many bytes.
inline constexpr std::size_t kSnippetTextLimit = 256 * 1024;

} // namespace orvelle::search
