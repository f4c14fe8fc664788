#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvelle::db {
class Query;
}

namespace orvelle::search {

// One entry of the tree as the viewer shows it, with the folders above it.
struct SnapshotEntry {
    std::int32_t id = 0;
    std::int32_t contentId = 0;
    bool folder = false;
    std::string name; // Windows-1251 bytes
    QString path;     // the names of the folders above, " / " between them
};

// Every entry the tree shows, in tree order (a level before the levels below it), read with
// the same walk as the tree. `checkpoint` runs before each entry is taken and may throw to
// stop the walk.
std::vector<SnapshotEntry> ReadRegisterSnapshot(db::Query& query,
                                                const std::function<void()>& checkpoint);

} // namespace orvelle::search
