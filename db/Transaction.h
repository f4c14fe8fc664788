#pragma once

#include "ClientLibrary.h"

namespace orvelle::db {

class Database;

// The one transaction spanning the connection. No transaction parameter block is sent.
// It registers with its database for as long as it exists, so either may go first.
class Transaction {
public:
    explicit Transaction(Database* defaultDatabase); // loads the client library
    // Commits when active (rollback when the commit fails), silently; then the queries that
    // use it and its database let go of it.
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool Active() const;
    void SetActive(bool active); // true: StartTransaction(); false: EndByForce()
    // Raises "Cannot perform operation -- DB is not open" when the database is not connected.
    void StartTransaction();
    // Closes the queries that use this transaction, commits, and on a failed commit rolls
    // back; never raises. Used when the connection closes and at destruction.
    void EndByForce();

    Database* DefaultDatabase() const { return database_; }
    isc_tr_handle* Handle() { return &handle_; }
    // Called by a database destroyed before this transaction (which it has ended already).
    void ForgetDatabase() { database_ = nullptr; }

private:
    const ClientApi& api_;
    Database* database_;
    isc_tr_handle handle_ = 0;
};

} // namespace orvelle::db
