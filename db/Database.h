#pragma once

#include "ClientLibrary.h"

#include <functional>
#include <string>
#include <vector>

namespace orvelle::db {

class Database;
class Query;
class StatusVector;
class Transaction;

// The connection's parameter lines ("user_name=SYSDBA", ...), in order.
class DatabaseParams {
public:
    explicit DatabaseParams(Database& owner) : owner_(owner) {}
    // Appends the line unchanged; raises "Cannot perform operation -- DB is currently open"
    // while connected.
    void Add(const std::string& line);
    const std::vector<std::string>& Lines() const { return lines_; }
    int Count() const { return static_cast<int>(lines_.size()); }

private:
    Database& owner_;
    std::vector<std::string> lines_;
};

// Connection to one database through the client library.
class Database {
public:
    Database();  // loads the client library (ClientLibrary::Load)
    ~Database(); // detaches when attached, errors ignored
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The file name as the operating system spells it (UTF-8 on Linux and other Unix systems,
    // the ANSI code page on Windows), or a server's "host:path".
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& name);
    DatabaseParams& Params() { return params_; }
    const DatabaseParams& Params() const { return params_; }

    bool Connected() const;
    void SetConnected(bool connected); // true: Open(), false: Close()
    void Open();                       // attach, read the dialect; nothing when connected
    void Close(); // close queries, end the transaction, detach; nothing when closed

    int SQLDialect() const { return sqlDialect_; }
    Transaction* DefaultTransaction() const { return defaultTransaction_; }
    // `transaction` spans this database (its DefaultDatabase() is this one), or is null.
    void SetDefaultTransaction(Transaction* transaction);

    // Turns DatabaseName into the name the attach call is given (for instance the path of a
    // private copy of the file); without one the name goes to the attach unchanged. It runs
    // at every attach, before anything is sent; what it throws leaves Open() disconnected.
    using AttachNameResolver = std::function<std::string(const std::string& databaseName)>;
    void SetAttachNameResolver(AttachNameResolver resolver) {
        attachNameResolver_ = std::move(resolver);
    }

    // The database parameter block built from Params(), with the UTF-8 file-name flag where
    // names are UTF-8 and the client takes the flag; exposed for inspection.
    std::string BuildParameterBlock() const;

    // For Transaction and Query. Each registers itself for as long as it exists; Close()
    // ends the transactions and releases the queries before it detaches, and a database that
    // goes first lets go of them, so the three can be destroyed in any order.
    const ClientApi& Api() const { return api_; }
    isc_db_handle* Handle() { return &handle_; }
    void AddQuery(Query* query);
    void RemoveQuery(Query* query);
    const std::vector<Query*>& Queries() const { return queries_; }
    void AddTransaction(Transaction* transaction);
    void RemoveTransaction(Transaction* transaction); // also stops it being the default
    void ParamsChanged() { paramsChanged_ = true; }

private:
    // Raises the failure of a call made on `attachName`, naming DatabaseName instead.
    [[noreturn]] void RaiseNaming(const StatusVector& status, const std::string& attachName) const;

    const ClientApi& api_;
    std::string databaseName_;
    DatabaseParams params_{*this};
    std::string parameterBlock_;
    bool paramsChanged_ = true;
    isc_db_handle handle_ = 0;
    int sqlDialect_ = 3;
    Transaction* defaultTransaction_ = nullptr;
    std::vector<Transaction*> transactions_;
    std::vector<Query*> queries_;
    AttachNameResolver attachNameResolver_;
};

} // namespace orvelle::db
