#pragma once

// The benchmark's register: a library of a given number of entries, a tenth of them folders,
// on five levels, and the HTML of its documents.

#include "kvdbuild/Register.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::bench {

struct BenchRegister {
    std::vector<kvdbuild::RegisterRow> rows; // grouped by parent, parents in creation order
    int folders = 0;
    int documents = 0;
    int parentsWithChildren = 0;           // the root and every folder that has children
    std::vector<std::int32_t> documentIds; // in creation order
};

// `entries` entries (at least 100), every one shown: entries / 10 folders on four levels
// (1 %, 9 %, 30 % and 60 % of the folders from the top down, each spread evenly over the
// level above), the documents spread evenly over all folders, so the deepest documents sit
// on the fifth level. CHILDCOUNT is the number of children. Documents point at content
// row 1,000,000 + id, which the caller may or may not store. The same arguments always give
// the same register; siblings are listed in reverse display order.
BenchRegister MakeBenchRegister(int entries);

// About `size` bytes of Windows-1251 HTML: a title, Cyrillic paragraphs and, every few
// paragraphs, a table of rates.
std::string BenchDocumentHtml(const std::string& title, std::size_t size, std::uint32_t seed);

} // namespace orvelle::bench
