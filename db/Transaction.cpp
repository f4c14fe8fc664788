#include "Transaction.h"

#include "Database.h"
#include "Errors.h"
#include "Query.h"
#include "StatusVector.h"

#include <vector>

namespace orvelle::db {

namespace {
// One entry of the vector isc_start_multiple takes.
struct TransactionEntry {
    isc_db_handle* database;
    int parameterLength;
    char* parameters;
};
} // namespace

Transaction::Transaction(Database* defaultDatabase)
    : api_(ClientLibrary::Load()), database_(defaultDatabase) {
    if (database_ != nullptr) {
        database_->AddTransaction(this);
    }
}

Transaction::~Transaction() {
    EndByForce();
    if (database_ != nullptr) {
        for (Query* query : database_->Queries()) {
            if (query->GetTransaction() == this) {
                query->ForgetTransaction();
            }
        }
        database_->RemoveTransaction(this);
    }
}

bool Transaction::Active() const {
    return handle_ != 0;
}

void Transaction::SetActive(bool active) {
    if (active) {
        if (!Active()) {
            StartTransaction();
        }
    } else {
        EndByForce();
    }
}

void Transaction::StartTransaction() {
    if (Active()) {
        return;
    }
    if (database_ == nullptr || !database_->Connected()) {
        throw EIBClientError("Cannot perform operation -- DB is not open");
    }
    TransactionEntry entry{database_->Handle(), 0, nullptr};
    StatusVector status;
    api_.isc_start_multiple(status.Data(), &handle_, 1, &entry);
    if (status.Failed()) {
        handle_ = 0;
        status.Raise(api_);
    }
}

void Transaction::EndByForce() {
    if (!Active()) {
        return;
    }
    if (database_ != nullptr) {
        const std::vector<Query*> queries = database_->Queries();
        for (Query* query : queries) {
            if (query->GetTransaction() == this) {
                query->Unprepare();
            }
        }
    }
    StatusVector status;
    api_.isc_commit_transaction(status.Data(), &handle_);
    if (status.Failed()) {
        StatusVector ignored;
        api_.isc_rollback_transaction(ignored.Data(), &handle_);
    }
    handle_ = 0;
}

} // namespace orvelle::db
