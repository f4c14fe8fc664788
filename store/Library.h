#pragma once

#include "LibraryCache.h"
#include "db/Database.h"
#include "db/Query.h"
#include "db/Transaction.h"

#include <memory>
#include <string>

namespace orvelle::store {

// The parameter lines every attachment of the program is made with.
inline constexpr const char* kUserNameLine = "user_name=SYSDBA";
inline constexpr const char* kPasswordLine = "password=cobaltine";

// The program's link to one library: the connection, its one transaction and the shared
// query "IBQuery1", wired to one another. What is attached for a library name is its lease
// (LibraryCache.h): the user's one private copy of the library's current state, shared with
// every other connection, the file itself when its maker marked it read-only, or a server's
// host:path unchanged. So the file itself is only ever read.
//
// The lease is prepared at the attach, on the attaching thread, unless one prepared elsewhere
// (off the window's thread) was handed in with UsePrepared. One instance serves one thread at a
// time; a worker thread that reads a library makes an instance of its own.
class Library {
public:
    Library(); // loads the client library; nothing attached
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Adds both credential lines to the connection's parameters (again when already there).
    void AddCredentials();
    // Adds whichever credential line the parameters do not hold yet.
    void EnsureCredentials();
    // Closes whatever is open, names `fileName`, adds the credentials unless present,
    // attaches (preparing the library with `options`) and starts the transaction. Failures
    // are the connection's exceptions, or PreparationCancelled; the connection is closed
    // again after one.
    void Open(const std::string& fileName, const PrepareOptions& options = {});

    // The next attach of lease->DatabaseName() uses `lease` instead of preparing the library.
    void UsePrepared(std::shared_ptr<const LibraryLease> lease);
    // True when the library attached now is no longer in the state it was attached in (the
    // file was replaced, grew, was written or removed); false for a server's library and
    // while detached.
    bool ChangedOnDisk() const;
    // What is attached now; null while detached.
    const LibraryLease* Lease() const { return database_.Connected() ? lease_.get() : nullptr; }
    // The same, shared: keeps the library's copy for another attach (null while detached).
    std::shared_ptr<const LibraryLease> HeldLease() const {
        return database_.Connected() ? lease_ : nullptr;
    }

    db::Database& Database() { return database_; }
    db::Transaction& Transaction() { return transaction_; }
    db::Query& Query() { return query_; }

private:
    std::string AttachName(const std::string& databaseName);

    const PrepareOptions* openOptions_ = nullptr; // while Open() attaches
    std::shared_ptr<const LibraryLease> prepared_;
    // Declared before the connection: it outlives the attachment made through it.
    std::shared_ptr<const LibraryLease> lease_;
    db::Database database_;
    db::Transaction transaction_{&database_};
    db::Query query_{"IBQuery1", &database_, &transaction_};
};

} // namespace orvelle::store
