#pragma once

#include "fixtures/Databases.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"

#include <string>

namespace formstest {

// The tiny register whose entry 231 ("Глубокий документ", third level) carries a folder flag
// that is no number: everything above it loads, reading that row fails.
inline void BuildRegisterFailingAt231(const std::string& path) {
    auto builder = orvelle::kvdbuild::KvdBuilder::Create(path);
    orvelle::kvdbuild::CreateRegisterTables(builder, true);
    orvelle::kvdbuild::AddRegisterRows(builder, orvelle::fixtures::TinyRegisterRows());
    builder.Execute("ALTER TABLE B_REESTR_DOC ALTER COLUMN ISPAPKA TYPE VARCHAR(11)");
    builder.Execute("UPDATE B_REESTR_DOC SET ISPAPKA = 'x' WHERE ID = 231");
    builder.Close();
}

} // namespace formstest
