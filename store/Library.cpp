#include "Library.h"

#include <algorithm>

namespace orvelle::store {

Library::Library() {
    database_.SetDefaultTransaction(&transaction_);
    database_.SetAttachNameResolver(
        [this](const std::string& databaseName) { return AttachName(databaseName); });
}

Library::~Library() = default;

void Library::AddCredentials() {
    database_.Params().Add(kUserNameLine);
    database_.Params().Add(kPasswordLine);
}

void Library::EnsureCredentials() {
    for (const char* line : {kUserNameLine, kPasswordLine}) {
        const auto& lines = database_.Params().Lines();
        if (std::find(lines.begin(), lines.end(), line) == lines.end()) {
            database_.Params().Add(line);
        }
    }
}

void Library::Open(const std::string& fileName, const PrepareOptions& options) {
    database_.Close();
    try {
        database_.SetDatabaseName(fileName);
        EnsureCredentials();
        openOptions_ = &options;
        database_.Open();
        openOptions_ = nullptr;
        transaction_.SetActive(true);
    } catch (...) {
        openOptions_ = nullptr;
        try {
            database_.Close();
        } catch (...) {
        }
        throw;
    }
}

void Library::UsePrepared(std::shared_ptr<const LibraryLease> lease) {
    prepared_ = std::move(lease);
}

bool Library::ChangedOnDisk() const {
    return database_.Connected() && lease_ && !lease_->Current();
}

std::string Library::AttachName(const std::string& databaseName) {
    // Called only while detached, so the lease used before can go now.
    lease_.reset();
    if (prepared_ && prepared_->DatabaseName() == databaseName) {
        lease_ = std::move(prepared_);
    } else {
        prepared_.reset();
        lease_ = PrepareLibrary(databaseName, openOptions_ ? *openOptions_ : PrepareOptions{});
    }
    return lease_->AttachName();
}

} // namespace orvelle::store
