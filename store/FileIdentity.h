#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvelle::store {

// What tells one state of a file from another: which file it is (device and inode; on Windows
// the volume's serial number and the file index), its size, and its modification and change
// times. A file replaced by another, grown, or written in place with its modification time put
// back differs in at least one of them.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // nanoseconds since the epoch
    std::int64_t changed = 0;  // the inode's change time; on Windows the change time too

    bool operator==(const FileIdentity&) const = default;
    // One line that holds every field, for files that record a state.
    std::string Text() const;
};

// The identity of the regular file at `path`; nullopt when there is none (or it is no file).
std::optional<FileIdentity> IdentityOf(const std::string& path);

#ifndef _WIN32
// The same for an open file.
std::optional<FileIdentity> IdentityOf(int fd);
#endif

} // namespace orvelle::store
