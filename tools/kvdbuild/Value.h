#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace orvelle::kvdbuild {

// The bytes of a blob parameter, written with isc_create_blob2/isc_put_segment.
struct Blob {
    std::string bytes;
};

// One parameter value: NULL, an integer, text bytes (no conversion) or a blob.
using Value = std::variant<std::monostate, std::int64_t, std::string, Blob>;

} // namespace orvelle::kvdbuild
