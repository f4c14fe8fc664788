#include "LibraryHeader.h"

#include "db/Errors.h"

#include <cstdint>
#include <fstream>

namespace orvelle::store {

namespace {

constexpr std::size_t kHeaderBytes = 96;
constexpr unsigned char kHeaderPageType = 1;
constexpr unsigned kFirebirdFlag = 0x8000;

// Where the minor version stands moved when the page gained fields (structure 12).
std::size_t MinorOffset(int major) {
    return major >= 12 ? 64 : 62;
}

unsigned Read16(const unsigned char* bytes, std::size_t offset) {
    // The engine writes the header in the byte order of the machine that made the file;
    // every platform the program runs on is little-endian.
    return static_cast<unsigned>(bytes[offset]) | static_cast<unsigned>(bytes[offset + 1]) << 8;
}

// The engine versions that wrote each structure, as users know them.
std::string EngineOf(int major, int minor) {
    if (major == 10) {
        return minor == 0 ? "Firebird 1.0 or InterBase 6" : "Firebird 1.5";
    }
    if (major == 11) {
        return minor == 0 ? "Firebird 2.0" : minor == 1 ? "Firebird 2.1" : "Firebird 2.5";
    }
    if (major == 12) {
        return "Firebird 3";
    }
    if (major == 13) {
        return "Firebird 4 or 5";
    }
    if (major < 10) {
        return "InterBase 5 or older";
    }
    return "a newer engine";
}

} // namespace

std::optional<LibraryHeader> ReadLibraryHeader(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    unsigned char bytes[kHeaderBytes] = {};
    file.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    if (file.bad()) {
        return std::nullopt;
    }
    LibraryHeader header;
    if (file.gcount() < static_cast<std::streamsize>(sizeof bytes) || bytes[0] != kHeaderPageType) {
        return header;
    }
    const unsigned pageSize = Read16(bytes, 16);
    const unsigned version = Read16(bytes, kHeaderOdsVersionOffset);
    // Page sizes are powers of two from 1 KB to 32 KB (32 KB is stored as 0x8000).
    if (pageSize < 1024 || (pageSize & (pageSize - 1)) != 0) {
        return header;
    }
    header.database = true;
    header.odsMajor = static_cast<int>(version & ~kFirebirdFlag);
    header.odsMinor = static_cast<int>(Read16(bytes, MinorOffset(header.odsMajor)));
    header.readOnly = (Read16(bytes, kHeaderFlagsOffset) & kHeaderReadOnlyFlag) != 0;
    return header;
}

void CheckOnDiskStructure(const LibraryHeader& header) {
    if (!header.database || header.odsMajor == kSupportedOdsMajor) {
        return;
    }
    const std::string found = std::to_string(header.odsMajor) + "." +
                              std::to_string(header.odsMinor) + ", " +
                              EngineOf(header.odsMajor, header.odsMinor);
    if (header.odsMajor > kSupportedOdsMajor) {
        throw db::EIBClientError(
            "This library was written by a newer database engine (on-disk structure " + found +
            ") than the one this program uses (structure 12, Firebird 3). Open it through a "
            "server of that version as host:path, or back it up with that engine and restore "
            "the backup with Firebird 3's gbak");
    }
    throw db::EIBClientError(
        "This library was written by an older database engine (on-disk structure " + found +
        "); this program's engine (Firebird 3) reads structure 12 only. Convert it once: "
        "back it up with the old engine (gbak -b -user SYSDBA -password PASSWORD LIBRARY.kvd "
        "library.fbk, for instance on the machine where the estimating application is "
        "installed), then restore it here (gbak -c library.fbk LIBRARY-3.kvd) and open the "
        "restored file. Or open it through a server of the old version as host:path");
}

} // namespace orvelle::store
