#pragma once

#include <xapian.h>

#include <string>

namespace orvelle::search {

// The library file's identity (store/FileIdentity.h: which file, its size and times); empty for
// a name that is no local file (a server's host:path), whose index is then never taken as it is.
std::string LibraryFileState(const std::string& databaseName);

// True when `index` was made whole, by this schema, from the library file in `state` (not
// empty).
bool IsCurrentIndex(const Xapian::Database& index, const std::string& state);

} // namespace orvelle::search
