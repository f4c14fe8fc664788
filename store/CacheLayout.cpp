#include "CacheLayout.h"

#include "db/UserCache.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace orvelle::store {

bool IsServerName(const std::string& name) {
    if (name.find("://") != std::string::npos) {
        return true;
    }
    const std::size_t colon = name.find(':');
    if (colon == std::string::npos || colon < 2) {
        return false;
    }
    const std::size_t slash = name.find_first_of("/\\");
    if (slash == std::string::npos || slash > colon) {
        return true;
    }
    // host/port:path
    return name[0] != '/' && name[0] != '.' &&
           name.find_first_not_of("0123456789", slash + 1) == colon;
}

std::string CanonicalName(const std::string& databaseName) {
    if (databaseName.empty() || IsServerName(databaseName)) {
        return databaseName;
    }
    std::error_code error;
    const std::filesystem::path canonical =
        std::filesystem::canonical(std::filesystem::path(databaseName), error);
    return error ? databaseName : canonical.string();
}

std::string LibraryKey(const std::string& databaseName) {
    return HashName(CanonicalName(databaseName));
}

std::string HashName(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

std::string LibrariesFolder() {
    return db::UserCacheFolder() + "/libraries";
}

std::string IndexesFolder() {
    return db::UserCacheFolder() + "/search";
}

} // namespace orvelle::store
