#pragma once

#include "KvdBuilder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvelle::kvdbuild {

// The shape of a generated document library: a tree `depth` levels deep below the root where
// every folder holds `foldersPerFolder` folders (none on the last level) and
// `documentsPerFolder` documents, each with about `contentBytes` of Windows-1251 HTML.
struct LibraryShape {
    int depth = 3;
    int foldersPerFolder = 4;
    int documentsPerFolder = 8;
    std::size_t contentBytes = 2000;
};

struct LibrarySummary {
    std::vector<std::int32_t> parentIds; // 0 (the root) and every folder id, in creation order
    int folders = 0;
    int documents = 0;
};

// Creates the register tables and fills them; returns what was made. Siblings are inserted in
// reverse ORDERVIEW order so that a reader relying on insertion order shows up.
LibrarySummary AddSyntheticLibrary(KvdBuilder& builder, const LibraryShape& shape);

// Deterministic HTML of about `size` bytes in Windows-1251 with Cyrillic text, a heading
// naming `title` and an anchor "part2" (a link to it at the top).
std::string SyntheticHtml(const std::string& title, std::size_t size, std::uint32_t seed);

} // namespace orvelle::kvdbuild
