#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace orvelle::db {

// The value of `item` in a buffer that one of the client library's *_info calls filled: the
// item's byte, a two-byte length, then the value, little-endian and signed, of up to 8 bytes
// (a blob's length beyond 2 GB comes in 8). nullopt when the buffer starts with another item
// or the value does not fit the buffer.
std::optional<std::int64_t> InfoValue(const char* buffer, std::size_t size, unsigned char item);

} // namespace orvelle::db
