#pragma once

#include <optional>
#include <string>

namespace orvelle::store {

// What the first page of a file says about it.
struct LibraryHeader {
    bool database = false; // starts like a database header page
    int odsMajor = 0;      // on-disk structure version, without the engine's flag bit
    int odsMinor = 0;
    bool readOnly = false; // marked read-only by its maker (gfix -mode read_only): never written
};

// The on-disk structure the engine we ship reads.
inline constexpr int kSupportedOdsMajor = 12;

// Reads the header page of a file; nullopt when the file cannot be read at all.
std::optional<LibraryHeader> ReadLibraryHeader(const std::string& path);

// Raises EIBClientError with a plain explanation when the header names an on-disk structure
// that our engine cannot read: how to convert the library, or how to reach it through a
// server of its own version.
void CheckOnDiskStructure(const LibraryHeader& header);

// Byte offsets inside the header page that a snapshot and the tests touch.
inline constexpr std::size_t kHeaderOdsVersionOffset = 18; // 16 bits, 0x8000 = Firebird
inline constexpr std::size_t kHeaderFlagsOffset = 42;      // 16 bits
inline constexpr unsigned kHeaderReadOnlyFlag = 0x20;

} // namespace orvelle::store
