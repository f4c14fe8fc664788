#include "InfoBuffer.h"

namespace orvelle::db {

std::optional<std::int64_t> InfoValue(const char* buffer, std::size_t size, unsigned char item) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
    if (size < 3 || bytes[0] != item) {
        return std::nullopt;
    }
    const std::size_t length = bytes[1] | static_cast<std::size_t>(bytes[2]) << 8;
    if (length == 0 || length > 8 || 3 + length > size) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        value |= static_cast<std::uint64_t>(bytes[3 + i]) << (8 * i);
    }
    if (length < 8 && (bytes[2 + length] & 0x80) != 0) {
        value |= ~std::uint64_t{0} << (8 * length); // negative: extend the sign
    }
    return static_cast<std::int64_t>(value);
}

} // namespace orvelle::db
