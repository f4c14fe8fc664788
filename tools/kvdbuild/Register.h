#pragma once

#include "KvdBuilder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::kvdbuild {

// One row of B_REESTR_DOC; an empty optional is stored as NULL.
struct RegisterRow {
    std::optional<std::int32_t> idparent, id, childcount;
    std::optional<std::string> name; // single-byte (Windows-1251) bytes, stored unchanged
    std::optional<std::int32_t> orderview, idcontents, ispapka, needshow;
};

// B_REESTR_DOC (IDPARENT, ID, CHILDCOUNT, NAME VARCHAR(255), ORDERVIEW, IDCONTENTS, ISPAPKA,
// NEEDSHOW; IDCONTENTS left out when withIdContents is false) with an index on IDPARENT, and
// B_DOC_CONTENTS (ID, CONTENTS BLOB SUB_TYPE TEXT) with an index on ID.
void CreateRegisterTables(KvdBuilder& builder, bool withIdContents = true);

// A row whose idcontents is empty is inserted without naming IDCONTENTS, so it also fits a
// register table that lacks the column.
void AddRegisterRow(KvdBuilder& builder, const RegisterRow& row);
void AddRegisterRows(KvdBuilder& builder, const std::vector<RegisterRow>& rows);
void AddContent(KvdBuilder& builder, std::int32_t id, const std::string& bytes);

} // namespace orvelle::kvdbuild
