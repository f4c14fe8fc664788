#include "Register.h"

namespace orvelle::kvdbuild {
namespace {

Value Of(const std::optional<std::int32_t>& value) {
    return value ? Value(std::int64_t{*value}) : Value();
}

Value Of(const std::optional<std::string>& value) {
    return value ? Value(*value) : Value();
}

} // namespace

void CreateRegisterTables(KvdBuilder& builder, bool withIdContents) {
    builder.Execute(std::string("CREATE TABLE B_REESTR_DOC (IDPARENT INTEGER, ID INTEGER, "
                                "CHILDCOUNT INTEGER, NAME VARCHAR(255), ORDERVIEW INTEGER, ") +
                    (withIdContents ? "IDCONTENTS INTEGER, " : "") +
                    "ISPAPKA INTEGER, NEEDSHOW INTEGER)");
    builder.Execute("CREATE INDEX B_REESTR_DOC_IDPARENT ON B_REESTR_DOC (IDPARENT)");
    builder.Execute("CREATE TABLE B_DOC_CONTENTS (ID INTEGER, CONTENTS BLOB SUB_TYPE TEXT)");
    builder.Execute("CREATE INDEX B_DOC_CONTENTS_ID ON B_DOC_CONTENTS (ID)");
}

void AddRegisterRow(KvdBuilder& builder, const RegisterRow& row) {
    if (row.idcontents) {
        builder.Insert("INSERT INTO B_REESTR_DOC (IDPARENT, ID, CHILDCOUNT, NAME, ORDERVIEW, "
                       "IDCONTENTS, ISPAPKA, NEEDSHOW) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                       {Of(row.idparent), Of(row.id), Of(row.childcount), Of(row.name),
                        Of(row.orderview), Of(row.idcontents), Of(row.ispapka), Of(row.needshow)});
    } else {
        builder.Insert("INSERT INTO B_REESTR_DOC (IDPARENT, ID, CHILDCOUNT, NAME, ORDERVIEW, "
                       "ISPAPKA, NEEDSHOW) VALUES (?, ?, ?, ?, ?, ?, ?)",
                       {Of(row.idparent), Of(row.id), Of(row.childcount), Of(row.name),
                        Of(row.orderview), Of(row.ispapka), Of(row.needshow)});
    }
}

void AddRegisterRows(KvdBuilder& builder, const std::vector<RegisterRow>& rows) {
    for (const RegisterRow& row : rows) {
        AddRegisterRow(builder, row);
    }
    builder.Commit();
}

void AddContent(KvdBuilder& builder, std::int32_t id, const std::string& bytes) {
    builder.Insert("INSERT INTO B_DOC_CONTENTS (ID, CONTENTS) VALUES (?, ?)",
                   {std::int64_t{id}, Blob{bytes}});
}

} // namespace orvelle::kvdbuild
