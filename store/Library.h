#pragma once

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
// query "IBQuery1", wired to one another. A local library file is attached through a private
// snapshot of it (LibrarySnapshot.h), so the file itself is only ever read and several
// programs can read it at once; a server's host:path goes to the client library unchanged.
//
// One instance serves one thread at a time; a worker thread that reads a library makes an
// instance of its own.
class SnapshotLease;

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
    // attaches and starts the transaction. Failures are the connection's exceptions; the
    // connection is closed again after one.
    void Open(const std::string& fileName);

    db::Database& Database() { return database_; }
    db::Transaction& Transaction() { return transaction_; }
    db::Query& Query() { return query_; }

private:
    std::string AttachName(const std::string& databaseName);

    // Declared first: it outlives the attachment made through it.
    std::shared_ptr<const SnapshotLease> snapshot_;
    db::Database database_;
    db::Transaction transaction_{&database_};
    db::Query query_{"IBQuery1", &database_, &transaction_};
};

} // namespace orvelle::store
