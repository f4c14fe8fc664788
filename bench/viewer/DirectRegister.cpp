#include "DirectRegister.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace orvelle::bench {

namespace {

struct SqldaDeleter {
    void operator()(XSQLDA* sqlda) const { ::operator delete(sqlda); }
};
using SqldaPtr = std::unique_ptr<XSQLDA, SqldaDeleter>;

SqldaPtr NewSqlda(int count) {
    SqldaPtr sqlda(static_cast<XSQLDA*>(::operator new(XSQLDA_LENGTH(count))));
    std::memset(sqlda.get(), 0, XSQLDA_LENGTH(count));
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = static_cast<ISC_SHORT>(count);
    return sqlda;
}

void Check(const db::ClientApi& api, ISC_STATUS result, const ISC_STATUS* status,
           const char* what) {
    if (result == 0)
        return;
    char text[512];
    const ISC_STATUS* vector = status;
    std::string message = what;
    while (api.isc_interprete(text, const_cast<ISC_STATUS**>(&vector)) > 0) {
        message += "\n";
        message += text;
    }
    throw std::runtime_error(message);
}

bool SameName(const char* a, int length, const char* b) {
    if (static_cast<int>(std::strlen(b)) != length)
        return false;
    for (int i = 0; i < length; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A prepared SELECT with at most one integer parameter and one reused row buffer.
class Statement {
public:
    Statement(const DirectContext& c, const std::string& sql) : c_(c) {
        ISC_STATUS_ARRAY status{};
        Check(c_.api, c_.api.isc_dsql_alloc_statement2(status, c_.database, &handle_), status,
              "alloc");
        Check(c_.api,
              c_.api.isc_dsql_prepare(status, c_.transaction, &handle_, 0, sql.c_str(), c_.dialect,
                                      nullptr),
              status, "prepare");
        input_ = NewSqlda(1);
        Check(c_.api, c_.api.isc_dsql_describe_bind(status, &handle_, c_.dialect, input_.get()),
              status, "describe_bind");
        output_ = NewSqlda(16);
        Check(c_.api, c_.api.isc_dsql_describe(status, &handle_, c_.dialect, output_.get()), status,
              "describe");
        if (output_->sqld > output_->sqln) {
            const int count = output_->sqld;
            output_ = NewSqlda(count);
            Check(c_.api, c_.api.isc_dsql_describe(status, &handle_, c_.dialect, output_.get()),
                  status, "describe");
        }
        std::size_t size = 0;
        std::vector<std::size_t> offsets;
        for (int i = 0; i < output_->sqld; ++i) {
            const XSQLVAR& var = output_->sqlvar[i];
            size = (size + 7) / 8 * 8;
            offsets.push_back(size);
            size += static_cast<std::size_t>(static_cast<unsigned short>(var.sqllen)) +
                    ((var.sqltype & ~1) == SQL_VARYING ? 2 : 0);
        }
        buffer_.resize(size + 8);
        indicators_.resize(static_cast<std::size_t>(output_->sqld));
        for (int i = 0; i < output_->sqld; ++i) {
            output_->sqlvar[i].sqldata = buffer_.data() + offsets[static_cast<std::size_t>(i)];
            output_->sqlvar[i].sqlind = &indicators_[static_cast<std::size_t>(i)];
        }
        if (input_->sqld > 0) {
            XSQLVAR& in = input_->sqlvar[0];
            in.sqltype = SQL_LONG | 1;
            in.sqlscale = 0;
            in.sqllen = sizeof(ISC_LONG);
            in.sqldata = reinterpret_cast<ISC_SCHAR*>(&parameter_);
            in.sqlind = &inputIndicator_;
        }
    }
    ~Statement() {
        ISC_STATUS_ARRAY status{};
        c_.api.isc_dsql_free_statement(status, &handle_, DSQL_drop);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Execute(std::optional<std::int32_t> parameter) {
        if (parameter)
            parameter_ = *parameter;
        ISC_STATUS_ARRAY status{};
        Check(c_.api,
              c_.api.isc_dsql_execute2(status, c_.transaction, &handle_, c_.dialect,
                                       input_->sqld > 0 ? input_.get() : nullptr, nullptr),
              status, "execute");
    }
    bool Fetch() {
        ISC_STATUS_ARRAY status{};
        const ISC_STATUS result =
            c_.api.isc_dsql_fetch(status, &handle_, c_.dialect, output_.get());
        if (result == 100)
            return false;
        Check(c_.api, result, status, "fetch");
        return true;
    }
    int Column(const char* name) const {
        for (int i = 0; i < output_->sqld; ++i) {
            const XSQLVAR& var = output_->sqlvar[i];
            if (SameName(var.aliasname, var.aliasname_length, name))
                return i;
        }
        throw std::runtime_error(std::string("no column ") + name);
    }
    std::int32_t Integer(int column) const {
        const XSQLVAR& var = output_->sqlvar[column];
        if (*var.sqlind < 0)
            return 0;
        std::int32_t value = 0;
        std::memcpy(&value, var.sqldata, sizeof value);
        return value;
    }
    std::string Text(int column) const {
        const XSQLVAR& var = output_->sqlvar[column];
        if (*var.sqlind < 0)
            return {};
        unsigned short length = 0;
        std::memcpy(&length, var.sqldata, sizeof length);
        return std::string(var.sqldata + 2, length);
    }

private:
    const DirectContext& c_;
    isc_stmt_handle handle_ = 0;
    SqldaPtr input_;
    SqldaPtr output_;
    std::vector<char> buffer_;
    std::vector<short> indicators_;
    std::int32_t parameter_ = 0;
    short inputIndicator_ = 0;
};

// The seven register columns of a statement's rows.
struct RegisterColumns {
    explicit RegisterColumns(const Statement& s)
        : idparent(s.Column("idparent")), id(s.Column("id")), childcount(s.Column("childcount")),
          name(s.Column("name")), orderview(s.Column("orderview")),
          idcontents(s.Column("idCONTENTS")), ispapka(s.Column("ISPAPKA")) {}
    int idparent, id, childcount, name, orderview, idcontents, ispapka;
};

struct Row {
    std::int32_t id;
    std::int32_t childcount;
};

// Reads the current row's seven columns into the checksum; returns what the walk needs.
Row ReadRow(const Statement& s, const RegisterColumns& c, std::uint64_t& sum) {
    const std::int32_t idparent = s.Integer(c.idparent);
    const std::int32_t id = s.Integer(c.id);
    const std::int32_t childcount = s.Integer(c.childcount);
    const std::string name = s.Text(c.name);
    const std::int32_t orderview = s.Integer(c.orderview);
    const std::int32_t idcontents = s.Integer(c.idcontents);
    const auto ispapka = static_cast<std::uint8_t>(s.Integer(c.ispapka) & 0xFF);
    sum += static_cast<std::uint32_t>(idparent) + static_cast<std::uint32_t>(id) +
           static_cast<std::uint32_t>(childcount) + name.size() +
           static_cast<std::uint32_t>(orderview) + static_cast<std::uint32_t>(idcontents) + ispapka;
    return {id, childcount};
}

struct Level {
    std::int32_t parentId;
    std::vector<Row> rows;
    std::size_t next = 0;
};

Level ReadLevel(const DirectContext& context, const std::string& sql, std::int32_t parentId,
                DirectReadResult& result) {
    Level level{parentId, {}};
    Statement statement(context, sql);
    const RegisterColumns columns(statement);
    statement.Execute(parentId);
    while (statement.Fetch())
        level.rows.push_back(ReadRow(statement, columns, result.checksum));
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
        const Row row = level.rows[level.next++];
        bool onPath = false;
        for (const Level& open : path)
            onPath = onPath || open.parentId == row.id;
        if (row.childcount > 0 && !onPath)
            path.push_back(ReadLevel(context, sql, row.id, result));
    }
    return result;
}

DirectReadResult DirectWholeRegister(const DirectContext& context) {
    DirectReadResult result;
    Statement statement(context, "SELECT * FROM B_REESTR_DOC WHERE NEEDSHOW<>0 ORDER BY "
                                 "IDPARENT, ORDERVIEW");
    const RegisterColumns columns(statement);
    statement.Execute(std::nullopt);
    while (statement.Fetch()) {
        ReadRow(statement, columns, result.checksum);
        ++result.rows;
    }
    result.statements = 1;
    return result;
}

} // namespace orvelle::bench
