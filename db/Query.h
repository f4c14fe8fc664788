#pragma once

#include "ClientLibrary.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvelle::db {

class Database;
class Query;
struct CachedBlob;
class Transaction;

// The statement text of a query as lines. Every change closes the query and drops its
// prepared statement, then rebuilds the parameter list from the whole text.
class SqlText {
public:
    explicit SqlText(Query& owner) : owner_(owner) {}
    void Clear();
    void Add(const std::string& line);
    const std::vector<std::string>& Lines() const { return lines_; }
    // The lines, each followed by CR LF.
    std::string Text() const;

private:
    Query& owner_;
    std::vector<std::string> lines_;
};

// A named parameter of the statement text.
class Param {
public:
    explicit Param(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }
    void SetAsInteger(std::int32_t value);
    bool IsNull() const { return isNull_; }
    std::int32_t AsInteger() const { return value_; }

private:
    std::string name_;
    std::int32_t value_ = 0;
    bool isNull_ = true;
};

// One result column; reads its value in the query's current row.
class Field {
public:
    Field(Query& query, int index, std::string name)
        : query_(query), index_(index), name_(std::move(name)) {}
    const std::string& FieldName() const { return name_; }
    int Index() const { return index_; }
    bool IsNull() const;
    std::int32_t AsInteger() const; // NULL and no row give 0
    std::string AsString() const;   // NULL and no row give ""; blobs read whole and cached
    // The value handed to `sink` in pieces as it is read: blobs of any length, never cached.
    // Nothing for NULL and no row.
    void StreamBlob(const std::function<void(const char*, std::size_t)>& sink) const;

private:
    CachedBlob ReadBlob(const char* data) const;

    Query& query_;
    int index_;
    std::string name_;
};

// Turns ":name" into "?" outside quoted strings and comments; names go to `names` in order.
std::string MakePositional(const std::string& text, std::vector<std::string>* names);

// A SELECT with named integer parameters whose rows are fetched one at a time on demand.
class Query {
public:
    Query(std::string name, Database* database, Transaction* transaction);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const std::string& Name() const { return name_; }
    Database* GetDatabase() const { return database_; }
    Transaction* GetTransaction() const { return transaction_; }

    SqlText& SQL() { return sql_; }
    const SqlText& SQL() const { return sql_; }
    // Case-insensitive; raises "<Name>: Parameter '<name>' not found".
    Param& ParamByName(const std::string& name);
    const std::vector<Param>& Params() const { return params_; }

    void Open();
    void Close();
    bool Active() const;
    void First();
    void Next();
    bool Eof() const;

    // Case-insensitive, first match in column order; raises "<Name>: Field '<name>' not found".
    Field& FieldByName(const std::string& name);
    int FieldCount() const;
    Field& Fields(int index);

    // Called by SqlText on every change of the text.
    void TextChanged();
    // Closes the query and releases its prepared statement (DSQL_drop); the text and the
    // parameters stay. Used before the transaction ends or the connection detaches.
    void Unprepare();
    // Called by a database or transaction destroyed before this query: the query releases
    // what it still holds; opening it again raises "Database not assigned" or "Transaction
    // not assigned".
    void ForgetDatabase();
    void ForgetTransaction();

private:
    friend class Field;
    struct Impl;

    // The steps of Open that need the query itself.
    void ConnectIfNeeded();
    void Prepare(unsigned short dialect);
    void CreateFields();
    // Fetches one more row into the cache; false when the server has none left.
    bool FetchRow();

    std::string name_;
    Database* database_;
    Transaction* transaction_;
    SqlText sql_{*this};
    std::vector<Param> params_;
    std::unique_ptr<Impl> impl_;
};

} // namespace orvelle::db
