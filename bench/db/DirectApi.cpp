#include "DirectApi.h"

#include <cstring>
#include <memory>
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
    if (result != 0) {
        char text[512];
        const ISC_STATUS* vector = status;
        std::string message = what;
        while (api.isc_interprete(text, const_cast<ISC_STATUS**>(&vector)) > 0) {
            message += "\n";
            message += text;
        }
        throw std::runtime_error(message);
    }
}

bool SameName(const char* a, int length, const char* b) {
    if (static_cast<int>(std::strlen(b)) != length) {
        return false;
    }
    for (int i = 0; i < length; ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        if (std::toupper(x) != std::toupper(y)) {
            return false;
        }
    }
    return true;
}

// A prepared statement with one integer parameter and buffers for its columns.
class Statement {
public:
    Statement(const DirectContext& c, const std::string& sql, std::int32_t parameter,
              bool queryCalls = false)
        : c_(c), parameter_(parameter), queryCalls_(queryCalls) {
        ISC_STATUS_ARRAY status{};
        Check(c_.api, c_.api.isc_dsql_alloc_statement2(status, c_.database, &handle_), status,
              "alloc");
        Check(c_.api,
              c_.api.isc_dsql_prepare(status, c_.transaction, &handle_, 0, sql.c_str(), c_.dialect,
                                      nullptr),
              status, "prepare");
        if (queryCalls_) {
            const ISC_SCHAR item[] = {isc_info_sql_stmt_type};
            ISC_SCHAR info[16];
            Check(c_.api,
                  c_.api.isc_dsql_sql_info(status, &handle_, sizeof item, item, sizeof info, info),
                  status, "sql_info");
        }
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
            size +=
                static_cast<std::size_t>(var.sqllen) + ((var.sqltype & ~1) == SQL_VARYING ? 2 : 0);
        }
        buffer_.resize(size + 8);
        indicators_.resize(static_cast<std::size_t>(output_->sqld));
        for (int i = 0; i < output_->sqld; ++i) {
            output_->sqlvar[i].sqldata = buffer_.data() + offsets[static_cast<std::size_t>(i)];
            output_->sqlvar[i].sqlind = &indicators_[static_cast<std::size_t>(i)];
        }
        XSQLVAR& in = input_->sqlvar[0];
        in.sqltype = SQL_LONG | 1;
        in.sqlscale = 0;
        in.sqllen = sizeof(ISC_LONG);
        in.sqldata = reinterpret_cast<ISC_SCHAR*>(&parameter_);
        in.sqlind = &inputIndicator_;
    }
    ~Statement() {
        ISC_STATUS_ARRAY status{};
        if (queryCalls_) {
            c_.api.isc_dsql_free_statement(status, &handle_, DSQL_close);
        }
        c_.api.isc_dsql_free_statement(status, &handle_, DSQL_drop);
    }

    void Execute() {
        ISC_STATUS_ARRAY status{};
        Check(c_.api,
              c_.api.isc_dsql_execute2(status, c_.transaction, &handle_, c_.dialect, input_.get(),
                                       nullptr),
              status, "execute");
        if (queryCalls_) {
            Check(c_.api, c_.api.isc_dsql_set_cursor_name(status, &handle_, "BENCH_CURSOR", 0),
                  status, "set_cursor_name");
        }
    }
    bool Fetch() {
        ISC_STATUS_ARRAY status{};
        const ISC_STATUS result =
            c_.api.isc_dsql_fetch(status, &handle_, c_.dialect, output_.get());
        if (result == 100) {
            return false;
        }
        Check(c_.api, result, status, "fetch");
        return true;
    }
    int Column(const char* name) const {
        for (int i = 0; i < output_->sqld; ++i) {
            const XSQLVAR& var = output_->sqlvar[i];
            if (SameName(var.aliasname, var.aliasname_length, name)) {
                return i;
            }
        }
        throw std::runtime_error(std::string("no column ") + name);
    }
    std::int32_t Integer(int column) const {
        const XSQLVAR& var = output_->sqlvar[column];
        if (*var.sqlind < 0) {
            return 0;
        }
        std::int32_t value = 0;
        std::memcpy(&value, var.sqldata, sizeof value);
        return value;
    }
    std::string Text(int column) const {
        const XSQLVAR& var = output_->sqlvar[column];
        if (*var.sqlind < 0) {
            return {};
        }
        unsigned short length = 0;
        std::memcpy(&length, var.sqldata, sizeof length);
        return std::string(var.sqldata + 2, length);
    }
    ISC_QUAD BlobId(int column) const {
        ISC_QUAD id{};
        std::memcpy(&id, output_->sqlvar[column].sqldata, sizeof id);
        return id;
    }

private:
    const DirectContext& c_;
    isc_stmt_handle handle_ = 0;
    SqldaPtr input_;
    SqldaPtr output_;
    std::vector<char> buffer_;
    std::vector<short> indicators_;
    std::int32_t parameter_;
    short inputIndicator_ = 0;
    bool queryCalls_;
};

} // namespace

std::uint64_t DirectChildrenCycle(const DirectContext& context, const std::string& sql,
                                  std::int32_t parameter, bool queryCalls) {
    Statement statement(context, sql, parameter, queryCalls);
    const int idparent = statement.Column("idparent");
    const int id = statement.Column("id");
    const int childcount = statement.Column("childcount");
    const int name = statement.Column("name");
    const int orderview = statement.Column("orderview");
    const int idcontents = statement.Column("idCONTENTS");
    const int ispapka = statement.Column("ISPAPKA");
    statement.Execute();
    std::uint64_t sum = 0;
    while (statement.Fetch()) {
        sum += static_cast<std::uint32_t>(statement.Integer(idparent));
        sum += static_cast<std::uint32_t>(statement.Integer(id));
        sum += static_cast<std::uint32_t>(statement.Integer(childcount));
        sum += statement.Text(name).size();
        sum += static_cast<std::uint32_t>(statement.Integer(orderview));
        sum += static_cast<std::uint32_t>(statement.Integer(idcontents));
        sum += static_cast<std::uint8_t>(statement.Integer(ispapka));
    }
    return sum;
}

std::string DirectBlobRead(const DirectContext& c, const std::string& sql, std::int32_t parameter) {
    Statement statement(c, sql, parameter);
    statement.Execute();
    if (!statement.Fetch()) {
        return {};
    }
    ISC_QUAD id = statement.BlobId(0);
    ISC_STATUS_ARRAY status{};
    isc_blob_handle blob = 0;
    Check(c.api, c.api.isc_open_blob2(status, c.database, c.transaction, &blob, &id, 0, nullptr),
          status, "open_blob2");
    const ISC_SCHAR items[] = {isc_info_blob_total_length};
    ISC_SCHAR info[32];
    Check(c.api, c.api.isc_blob_info(status, &blob, sizeof items, items, sizeof info, info), status,
          "blob_info");
    const auto itemLength = static_cast<short>(c.api.isc_vax_integer(info + 1, 2));
    const auto total = static_cast<std::size_t>(c.api.isc_vax_integer(info + 3, itemLength));
    std::string bytes(total, '\0');
    std::size_t read = 0;
    while (read < total) {
        unsigned short got = 0;
        const auto ask = static_cast<unsigned short>(std::min<std::size_t>(16384, total - read));
        const ISC_STATUS result =
            c.api.isc_get_segment(status, &blob, &got, ask, bytes.data() + read);
        if (result != 0 && result != isc_segment) {
            Check(c.api, result, status, "get_segment");
        }
        read += got;
        if (got == 0) {
            break;
        }
    }
    c.api.isc_close_blob(status, &blob);
    bytes.resize(read);
    return bytes;
}

} // namespace orvelle::bench
