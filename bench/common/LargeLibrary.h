#pragma once

#include <cstddef>
#include <string>

namespace orvelle::bench {

// Each document of a large library: 4 MB of HTML.
inline constexpr std::size_t kLargeDocument = std::size_t(4) << 20;

// Builds a library of documents of 4 MB, one entry each under the root (ids and content ids 1,
// 2, ...), until it reaches `megabytes`; leaves an existing file as it is. Says what it built.
void BuildLargeLibrary(const std::string& path, int megabytes);

} // namespace orvelle::bench
