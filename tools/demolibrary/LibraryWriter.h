#pragma once

#include "Cp1251.h"
#include "Manifest.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::kvdbuild {
class KvdBuilder;
}

namespace orvelle::demolibrary {

// Content ids are kept apart from entry ids, so a reader that mixes the two finds nothing.
inline constexpr std::int32_t kContentIdOffset = 1000;

struct LibraryFigures {
    int folders = 0;
    int documents = 0;
    int contents = 0;
    std::size_t contentBytes = 0;
    std::size_t largestContent = 0;
};

// Creates the register and contents tables and fills them from the manifest: names and
// pages converted to Windows-1251, CHILDCOUNT counted from the entries, ISPAPKA 1 for
// folders and 0 for documents. Files are read from contentDir (UTF-8). Commits at the end.
LibraryFigures WriteLibrary(kvdbuild::KvdBuilder& builder,
                            const std::vector<ManifestEntry>& entries,
                            const std::string& contentDir, Cp1251Encoder& encoder);

// Reads one UTF-8 content file; throws ManifestError when it is missing or not UTF-8.
QString ReadContentFile(const std::string& contentDir, const std::string& file);

} // namespace orvelle::demolibrary
