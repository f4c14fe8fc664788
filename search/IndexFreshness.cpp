#include "IndexFreshness.h"

#include "IndexSchema.h"
#include "store/FileIdentity.h"

#include <optional>

namespace orvelle::search {

std::string LibraryFileState(const std::string& databaseName) {
    const std::optional<store::FileIdentity> identity = store::IdentityOf(databaseName);
    return identity ? identity->Text() : std::string();
}

bool IsCurrentIndex(const Xapian::Database& index, const std::string& state) {
    return !state.empty() && index.get_metadata(kMetaVersion) == kSchemaVersion &&
           index.get_metadata(kMetaComplete) == "1" &&
           index.get_metadata(kMetaLibraryState) == state;
}

} // namespace orvelle::search
