#include "RegisterQueries.h"

#include "db/Query.h"

namespace orvelle::store {

namespace {

void ReplaceText(db::Query& query, std::initializer_list<const char*> lines) {
    query.Close();
    query.SQL().Clear();
    for (const char* line : lines) {
        query.SQL().Add(line);
    }
}

void SetContentText(db::Query& query) {
    ReplaceText(query, {"SELECT B_DOC_CONTENTS.contents", "FROM B_DOC_CONTENTS,B_REESTR_DOC",
                        "WHERE B_DOC_CONTENTS.ID = :paretq "});
}

// Runs the content statement the query holds for one content id.
void RunContentQuery(db::Query& query, std::int32_t contentId) {
    query.ParamByName("paretq").SetAsInteger(contentId);
    query.Open();
}

void OpenContentQuery(db::Query& query, std::int32_t contentId) {
    SetContentText(query);
    RunContentQuery(query, contentId);
}

} // namespace

void OpenChildrenQuery(db::Query& query, std::int32_t parentId) {
    ReplaceText(query, {"SELECT *", "FROM B_REESTR_DOC", "WHERE IDPARENT = :paretq AND NEEDSHOW<>0",
                        "order by orderview"});
    query.ParamByName("paretq").SetAsInteger(parentId);
    query.Open();
    query.First();
}

std::unique_ptr<TUzel> ReadRegisterEntry(db::Query& query) {
    auto entry = std::make_unique<TUzel>();
    entry->idparent = query.FieldByName("idparent").AsInteger();
    entry->id = query.FieldByName("id").AsInteger();
    entry->childcount = query.FieldByName("childcount").AsInteger();
    entry->name = query.FieldByName("name").AsString();
    entry->orderview = query.FieldByName("orderview").AsInteger();
    entry->idCONTENTS = query.FieldByName("idCONTENTS").AsInteger();
    entry->ISPAPKA = static_cast<std::uint8_t>(query.FieldByName("ISPAPKA").AsInteger() & 0xFF);
    return entry;
}

std::string ReadDocumentContent(db::Query& query, std::int32_t contentId) {
    OpenContentQuery(query, contentId);
    std::string text = query.FieldByName("CONTENTS").AsString();
    query.Close();
    return text;
}

DocumentContentReader::DocumentContentReader(db::Query& query) : query_(query) {
    SetContentText(query_);
}

std::string DocumentContentReader::Read(std::int32_t contentId) {
    query_.Close();
    RunContentQuery(query_, contentId);
    std::string text = query_.FieldByName("CONTENTS").AsString();
    query_.Close();
    return text;
}

void StreamDocumentContent(db::Query& query, std::int32_t contentId,
                           const std::function<void(const char*, std::size_t)>& sink) {
    OpenContentQuery(query, contentId);
    query.FieldByName("CONTENTS").StreamBlob(sink);
    query.Close();
}

} // namespace orvelle::store
