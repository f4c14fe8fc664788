#include "DirectRegister.h"

#include "common/DirectStatement.h"
#include "common/RegisterColumns.h"

#include <optional>
#include <vector>

namespace orvelle::bench {

namespace {

struct Level {
    std::int32_t parentId;
    std::vector<RegisterRowKey> rows;
    std::size_t next = 0;
};

Level ReadLevel(const DirectContext& context, const std::string& sql, std::int32_t parentId,
                DirectReadResult& result) {
    Level level{parentId, {}};
    DirectStatement statement(context, sql);
    const RegisterColumns columns(statement);
    statement.Execute(parentId);
    while (statement.Fetch()) {
        level.rows.push_back(ReadRegisterRow(statement, columns, result.checksum));
    }
    result.rows += static_cast<int>(level.rows.size());
    ++result.statements;
    return level;
}

} // namespace

std::string ChildrenStatementText() {
    return "SELECT *\r\nFROM B_REESTR_DOC\r\nWHERE IDPARENT = ?  AND NEEDSHOW<>0\r\norder by "
           "orderview\r\n";
}

DirectReadResult DirectChildrenWalk(const DirectContext& context, std::int32_t rootId) {
    const std::string sql = ChildrenStatementText();
    DirectReadResult result;
    std::vector<Level> path;
    path.push_back(ReadLevel(context, sql, rootId, result));
    while (!path.empty()) {
        Level& level = path.back();
        if (level.next == level.rows.size()) {
            path.pop_back();
            continue;
        }
        const RegisterRowKey row = level.rows[level.next++];
        bool onPath = false;
        for (const Level& open : path) {
            onPath = onPath || open.parentId == row.id;
        }
        if (row.childcount > 0 && !onPath) {
            path.push_back(ReadLevel(context, sql, row.id, result));
        }
    }
    return result;
}

DirectReadResult DirectWholeRegister(const DirectContext& context) {
    DirectReadResult result;
    DirectStatement statement(context, "SELECT * FROM B_REESTR_DOC WHERE NEEDSHOW<>0 ORDER BY "
                                       "IDPARENT, ORDERVIEW");
    const RegisterColumns columns(statement);
    statement.Execute(std::nullopt);
    while (statement.Fetch()) {
        ReadRegisterRow(statement, columns, result.checksum);
        ++result.rows;
    }
    result.statements = 1;
    return result;
}

} // namespace orvelle::bench
