#pragma once

#include "FileIdentity.h"
#include "FileLock.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace orvelle::store {

// The preparation of a library was stopped by its caller; nothing of it is left behind.
class PreparationCancelled : public std::runtime_error {
public:
    PreparationCancelled() : std::runtime_error("The library's preparation was cancelled") {}
};

struct PrepareOptions {
    // Told the bytes copied so far and the library's size while its private copy is made (by
    // this program or another), on the preparing thread, about ten times a second.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Set from any thread to stop the preparation: it then raises PreparationCancelled.
    const std::atomic<bool>* cancel = nullptr;
};

// What one connection attaches in place of a library, held for as long as it is attached.
//
// The embedded engine writes to every file it attaches that is not marked read-only, so a
// local library is attached through a private copy in the user's cache (CacheLayout.h): one
// copy per state of the library, made once and shared by every connection of every program of
// the user (the engine runs in SuperClassic mode, db/EmbeddedEngine.h), its header marked
// read-only. A library its maker marked read-only, on a local disk, is attached in place with
// no copy. A server's host:path, and a name that is no database file, go to the client library
// unchanged.
class LibraryLease {
public:
    enum class Route { Unchanged, InPlace, Copy };

    LibraryLease(std::string databaseName, Route route, std::string attachName);
    ~LibraryLease(); // lets the copy go; the library counts as used until now
    LibraryLease(const LibraryLease&) = delete;
    LibraryLease& operator=(const LibraryLease&) = delete;

    const std::string& DatabaseName() const { return databaseName_; }
    // The name to attach: the copy's path, the library's own, or the name unchanged.
    const std::string& AttachName() const { return attachName_; }
    Route How() const { return route_; }
    // The library file's identity when it was prepared; nullopt for names that are no file.
    const std::optional<FileIdentity>& Identity() const { return identity_; }
    // False once the library file is no longer the one prepared (replaced, grown, written,
    // removed); always true for names that are no local file.
    bool Current() const;

private:
    friend class LeaseMaker;

    std::string databaseName_;
    Route route_;
    std::string attachName_;
    std::optional<FileIdentity> identity_;
    std::string record_;   // touched when the lease goes
    FileLock libraryLock_; // shared: keeps the library (copies and index) from being evicted
    FileLock copyLock_;    // shared: keeps this copy from being removed
};

// The lease to attach for `databaseName`, made ready on the calling thread: the private copy is
// found, waited for while another program makes it, or made, with `options` following. Each
// time, leftovers nobody uses are cleared from the cache and its limits kept (CacheUpkeep.h).
// Raises EIBClientError when the library is written by an engine of another on-disk structure
// or the copy cannot be made (the message says why), PreparationCancelled when cancelled.
std::shared_ptr<const LibraryLease> PrepareLibrary(const std::string& databaseName,
                                                   const PrepareOptions& options = {});

} // namespace orvelle::store
