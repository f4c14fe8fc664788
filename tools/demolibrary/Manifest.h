#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvelle::demolibrary {

// A malformed or inconsistent manifest; the message names the file and line.
class ManifestError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where an entry's HTML comes from.
enum class ContentSource {
    None,      // the entry has no page of its own (IDCONTENTS stays NULL)
    File,      // a UTF-8 file in the content folder
    Catalogue, // the generated supplier catalogue
};

// One line of the manifest: one register row to be.
struct ManifestEntry {
    std::int32_t id = 0;
    std::int32_t parent = 0; // 0: top level
    std::int32_t order = 0;
    bool folder = false;
    std::optional<std::int32_t> needShow; // nullopt: NULL in the register
    ContentSource source = ContentSource::None;
    std::string file; // relative to the content folder, for ContentSource::File
    QString name;
    int line = 0; // where it was read, for messages
};

// Reads the manifest text. A line is
//   id | parent | order | folder-or-doc | show | file | name
// where show is 1, 0 or null, file is a path, "-" for none or "@catalogue"; "#" starts a
// comment line. Checks that ids are unique and positive, that every parent is 0 or a folder
// listed in the file, and that the hierarchy has no cycle.
std::vector<ManifestEntry> ParseManifest(const QString& text, const std::string& origin);

// Reads and parses a UTF-8 manifest file.
std::vector<ManifestEntry> LoadManifest(const std::string& path);

} // namespace orvelle::demolibrary
