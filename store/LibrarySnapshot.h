#pragma once

#include <memory>
#include <string>

namespace orvelle::store {

// A private copy of a library file in the user's cache, held by this process while a
// connection uses it. The embedded engine writes to every file it attaches and holds it
// exclusively; working on a copy keeps the library itself byte for byte as it was, lets
// read-only files and media open, and lets several programs read one library at once.
//
// Copies live in numbered slots, one per process that reads the library at the same time;
// a slot whose copy still matches the library (size, modification time, file identity) is
// reused as it is. The copy is a reflink where the file system shares blocks, a kernel-side
// copy otherwise. The copy's header is marked read-only, so the engine never writes to it.
class SnapshotLease {
public:
    SnapshotLease(std::string path, int lockHandle) : path_(std::move(path)), lock_(lockHandle) {}
    ~SnapshotLease(); // lets the slot go
    SnapshotLease(const SnapshotLease&) = delete;
    SnapshotLease& operator=(const SnapshotLease&) = delete;

    // The copy to attach instead of the library.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    int lock_;
};

// The snapshot to attach for `databaseName`: nullptr when the name is no local file (a
// server's host:path, an alias, a file that does not exist or is no database), which then
// goes to the client library unchanged. Every connection holds a copy of its own, also two of
// this process (the search index's builder beside the window). Raises EIBClientError when the
// library is written by an engine of another on-disk structure, or when the copy cannot be made
// (the message says why).
std::shared_ptr<const SnapshotLease> TakeSnapshot(const std::string& databaseName);

// The folder that holds the snapshots: $XDG_CACHE_HOME/orvelle/libraries, or
// ~/.cache/orvelle/libraries.
std::string SnapshotFolder();

} // namespace orvelle::store
