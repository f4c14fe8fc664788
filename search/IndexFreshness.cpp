#include "IndexFreshness.h"

#include "IndexSchema.h"

#include <filesystem>

namespace orvelle::search {

std::string LibraryFileState(const std::string& databaseName) {
    std::error_code error;
    const std::filesystem::path file(databaseName);
    const auto size = std::filesystem::file_size(file, error);
    if (error) {
        return {};
    }
    const auto modified = std::filesystem::last_write_time(file, error);
    if (error) {
        return {};
    }
    return std::to_string(size) + ":" + std::to_string(modified.time_since_epoch().count());
}

bool IsCurrentIndex(const Xapian::Database& index, const std::string& state) {
    return !state.empty() && index.get_metadata(kMetaVersion) == kSchemaVersion &&
           index.get_metadata(kMetaComplete) == "1" &&
           index.get_metadata(kMetaLibraryState) == state;
}

} // namespace orvelle::search
