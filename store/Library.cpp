#include "Library.h"

#include "LibrarySnapshot.h"

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

void Library::Open(const std::string& fileName) {
    database_.Close();
    try {
        database_.SetDatabaseName(fileName);
        EnsureCredentials();
        database_.Open();
        transaction_.SetActive(true);
    } catch (...) {
        try {
            database_.Close();
        } catch (...) {
        }
        throw;
    }
}

std::string Library::AttachName(const std::string& databaseName) {
    // Called only while detached, so the copy used before can go now.
    snapshot_.reset();
    snapshot_ = TakeSnapshot(databaseName);
    return snapshot_ ? snapshot_->Path() : databaseName;
}

} // namespace orvelle::store
