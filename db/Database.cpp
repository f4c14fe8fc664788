#include "Database.h"

#include "ClientLibrary.h"
#include "Errors.h"
#include "InfoBuffer.h"
#include "ParameterBlock.h"
#include "Query.h"
#include "StatusVector.h"
#include "Transaction.h"

#include <algorithm>
#include <limits>

namespace orvelle::db {

namespace {

const char* const kDatabaseOpen = "Cannot perform operation -- DB is currently open";

// Windows clients take file names in the ANSI code page; elsewhere names are UTF-8.
#ifdef _WIN32
constexpr bool kFileNamesAreUtf8 = false;
#else
constexpr bool kFileNamesAreUtf8 = true;
#endif

} // namespace

void DatabaseParams::Add(const std::string& line) {
    if (owner_.Connected()) {
        throw EIBClientError(kDatabaseOpen);
    }
    lines_.push_back(line);
    owner_.ParamsChanged();
}

Database::Database() : api_(ClientLibrary::Load()) {}

Database::~Database() {
    try {
        Close();
    } catch (...) {
        // a failed detach at destruction is not reported
    }
    // Whatever still refers to this database outlives it: it is told to forget it.
    for (Transaction* transaction : transactions_) {
        transaction->ForgetDatabase();
    }
    for (Query* query : queries_) {
        query->ForgetDatabase();
    }
}

void Database::SetDatabaseName(const std::string& name) {
    if (name == databaseName_) {
        return;
    }
    if (Connected()) {
        throw EIBClientError(kDatabaseOpen);
    }
    databaseName_ = name;
}

bool Database::Connected() const {
    return handle_ != 0;
}

void Database::SetConnected(bool connected) {
    if (connected) {
        Open();
    } else {
        Close();
    }
}

std::string Database::BuildParameterBlock() const {
    return BuildDatabaseParameterBlock(params_.Lines(),
                                       kFileNamesAreUtf8 && AcceptsUtf8FileNames(api_));
}

void Database::Open() {
    if (Connected()) {
        return;
    }
    if (databaseName_.empty()) {
        throw EIBClientError("Database name is missing");
    }
    const std::string attachName =
        attachNameResolver_ ? attachNameResolver_(databaseName_) : databaseName_;
    if (attachName.size() > static_cast<std::size_t>(std::numeric_limits<short>::max())) {
        throw EIBClientError("Database name is too long");
    }
    if (paramsChanged_) {
        parameterBlock_ = BuildParameterBlock();
        paramsChanged_ = false;
    }

    StatusVector status;
    api_.isc_attach_database(status.Data(), static_cast<short>(attachName.size()),
                             attachName.data(), &handle_,
                             static_cast<short>(parameterBlock_.size()), parameterBlock_.data());
    if (status.Failed()) {
        handle_ = 0;
        RaiseNaming(status, attachName);
    }

    const char items[] = {static_cast<char>(isc_info_db_sql_dialect), isc_info_end};
    char result[512] = {};
    api_.isc_database_info(status.Data(), &handle_, sizeof items, items, sizeof result, result);
    if (status.Failed()) {
        // Without its dialect the connection is of no use: let it go and report why.
        StatusVector ignored;
        api_.isc_detach_database(ignored.Data(), &handle_);
        handle_ = 0;
        status.Raise(api_);
    }
    const auto dialect =
        static_cast<int>(InfoValue(result, sizeof result, isc_info_db_sql_dialect).value_or(1));
    if (dialect < sqlDialect_) {
        sqlDialect_ = dialect;
    }
}

void Database::RaiseNaming(const StatusVector& status, const std::string& attachName) const {
    if (attachName == databaseName_) {
        status.Raise(api_);
    }
    // The server names the file it was given; the user knows the database by its own name.
    auto renamed = [&](std::string message) {
        for (std::size_t at = message.find(attachName); at != std::string::npos;
             at = message.find(attachName, at + databaseName_.size())) {
            message.replace(at, attachName.size(), databaseName_);
        }
        return message;
    };
    try {
        status.Raise(api_);
    } catch (const EIBInterBaseRoleError& error) {
        throw EIBInterBaseRoleError(renamed(error.Message()), error.SQLCode(), error.IBErrorCode());
    } catch (const EIBInterBaseError& error) {
        throw EIBInterBaseError(renamed(error.Message()), error.SQLCode(), error.IBErrorCode());
    }
}

void Database::Close() {
    if (!Connected()) {
        return;
    }
    // The default transaction first, then any other that spans this database: a detach with
    // a transaction still active would fail.
    if (defaultTransaction_ != nullptr) {
        defaultTransaction_->EndByForce();
    }
    const std::vector<Transaction*> transactions = transactions_;
    for (Transaction* transaction : transactions) {
        transaction->EndByForce();
    }
    // A copy: closing a query never changes the list, but stay safe against it.
    const std::vector<Query*> queries = queries_;
    for (Query* query : queries) {
        query->Unprepare();
    }
    StatusVector status;
    api_.isc_detach_database(status.Data(), &handle_);
    if (status.Failed()) {
        status.Raise(api_);
    }
    handle_ = 0;
}

void Database::AddQuery(Query* query) {
    if (std::find(queries_.begin(), queries_.end(), query) == queries_.end()) {
        queries_.push_back(query);
    }
}

void Database::RemoveQuery(Query* query) {
    queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

void Database::SetDefaultTransaction(Transaction* transaction) {
    if (transaction != nullptr && transaction->DefaultDatabase() != this) {
        throw EIBClientError("Transaction does not span this database");
    }
    defaultTransaction_ = transaction;
}

void Database::AddTransaction(Transaction* transaction) {
    if (std::find(transactions_.begin(), transactions_.end(), transaction) == transactions_.end()) {
        transactions_.push_back(transaction);
    }
}

void Database::RemoveTransaction(Transaction* transaction) {
    transactions_.erase(std::remove(transactions_.begin(), transactions_.end(), transaction),
                        transactions_.end());
    if (defaultTransaction_ == transaction) {
        defaultTransaction_ = nullptr;
    }
}

} // namespace orvelle::db
