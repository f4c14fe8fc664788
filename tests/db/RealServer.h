#pragma once

// Shared set-up of the tests that run the database components against the real client
// library and an embedded server: the connection, transaction and query trio as the data
// module holds them, the program's two query cycles, and databases built once per process.

#include "db/Database.h"
#include "db/Errors.h"
#include "db/Query.h"
#include "db/Transaction.h"
#include "fixtures/Databases.h"
#include "fixtures/TempDir.h"
#include "store/RegisterQueries.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::dbtest {

struct Connection {
    db::Database database;
    db::Transaction transaction{&database};
    db::Query query{"IBQuery1", &database, &transaction};

    explicit Connection(const std::string& path = {}) {
        database.SetDefaultTransaction(&transaction);
        database.Params().Add(fixtures::kUserLine);
        database.Params().Add(fixtures::kPasswordLine);
        if (!path.empty()) {
            database.SetDatabaseName(path);
        }
    }

    void SetText(const std::vector<std::string>& lines) {
        query.Close();
        query.SQL().Clear();
        for (const std::string& line : lines) {
            query.SQL().Add(line);
        }
    }

    // The program's children query, left open on its first row.
    void OpenChildren(std::int32_t parent) { store::OpenChildrenQuery(query, parent); }

    // The ids of the rows from the current one to the end.
    std::vector<std::int32_t> ReadIds() {
        std::vector<std::int32_t> ids;
        while (!query.Eof()) {
            ids.push_back(query.FieldByName("id").AsInteger());
            query.Next();
        }
        return ids;
    }

    std::vector<std::int32_t> Children(std::int32_t parent) {
        OpenChildren(parent);
        std::vector<std::int32_t> ids = ReadIds();
        query.Close();
        return ids;
    }

    // The program's content query: the first row's CONTENTS, then closed.
    std::string Content(std::int32_t contentId) {
        return store::ReadDocumentContent(query, contentId);
    }
};

// Databases made on first use and kept for the rest of the process.
class SharedDatabases {
public:
    static const fixtures::TempDir& Dir();
    static const std::string& Tiny();         // the tiny register, dialect 3
    static const std::string& TinyDialect1(); // the same in a dialect-1 database
    static const std::string& WithoutIdContents();
    static const std::string& Wide();    // kWideRows entries under the root
    static const std::string& BigBlob(); // content kBigBlobId holds BigBlobBytes(kBigBlobSize)

    static constexpr int kWideRows = 2500;
    static constexpr std::int32_t kBigBlobId = 5000;
    static constexpr std::size_t kBigBlobSize = 700 * 1024 + 123;
};

} // namespace orvelle::dbtest
