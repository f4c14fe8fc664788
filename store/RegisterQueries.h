#pragma once

#include "TUzel.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvelle::db {
class Query;
}

namespace orvelle::store {

// The program's two statements, run on the one shared query object.

// Runs the children query for one parent and leaves the query open on its first row
// (or at Eof when the parent has no visible child). The caller reads the rows with
// ReadRegisterEntry and Next, and closes the query before running any other statement.
void OpenChildrenQuery(db::Query& query, std::int32_t parentId);

// A new register entry from the current row of the open children query.
std::unique_ptr<TUzel> ReadRegisterEntry(db::Query& query);

// The stored HTML text of one content row, byte for byte; empty when there is none.
// The query is closed again when it returns.
std::string ReadDocumentContent(db::Query& query, std::int32_t contentId);

// Reads many documents with the content statement prepared once, for a reader of the whole
// library (the search index's builder). The query must hold nothing else meanwhile.
class DocumentContentReader {
public:
    explicit DocumentContentReader(db::Query& query);
    // What ReadDocumentContent(query, contentId) gives.
    std::string Read(std::int32_t contentId);

private:
    db::Query& query_;
};

// The same text handed to `sink` in pieces as it is read, so a document of any length
// passes through without being held whole. The query is closed again when it returns.
void StreamDocumentContent(db::Query& query, std::int32_t contentId,
                           const std::function<void(const char*, std::size_t)>& sink);

} // namespace orvelle::store
