#include "Library.h"

#include <algorithm>

namespace orvelle::store {

Library::Library() {
    database_.SetDefaultTransaction(&transaction_);
}

Library::~Library() = default;

void Library::AddCredentials() {
    database_.Params().Add(kUserNameLine);
    database_.Params().Add(kPasswordLine);
}

void Library::Open(const std::string& fileName) {
    database_.Close();
    try {
        database_.SetDatabaseName(fileName);
        const auto& lines = database_.Params().Lines();
        for (const char* line : {kUserNameLine, kPasswordLine}) {
            if (std::find(lines.begin(), lines.end(), line) == lines.end()) {
                database_.Params().Add(line);
            }
        }
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

} // namespace orvelle::store
