#pragma once

#include "db/Database.h"
#include "db/Query.h"
#include "db/Transaction.h"

#include <memory>
#include <string>

namespace orvelle::search {

// A connection of its own to a library, with its transaction and a query object, as the
// index builder needs one apart from the window's.
struct LibraryConnection {
    db::Database database;
    db::Transaction transaction{&database};
    db::Query query{"IBQuery1", &database, &transaction};
};

// Attaches to the library file (or host:path) with the program's credentials and starts the
// transaction. Throws db::Exception when the library cannot be opened.
std::unique_ptr<LibraryConnection> OpenLibrary(const std::string& databaseName);

} // namespace orvelle::search
