#include "common/DirectStatement.h"

#include <cctype>
#include <stdexcept>

namespace orvelle::bench {

namespace {

bool SameName(const char* a, int length, const char* b) {
    if (static_cast<int>(std::strlen(b)) != length) {
        return false;
    }
    for (int i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace

void CheckStatus(const db::ClientApi& api, ISC_STATUS result, const ISC_STATUS* status,
                 const char* what) {
    if (result == 0) {
        return;
    }
    char text[512];
    const ISC_STATUS* vector = status;
    std::string message = what;
    while (api.isc_interprete(text, const_cast<ISC_STATUS**>(&vector)) > 0) {
        message += "\n";
        message += text;
    }
    throw std::runtime_error(message);
}

SqldaPtr NewSqlda(int count) {
    SqldaPtr sqlda(static_cast<XSQLDA*>(::operator new(XSQLDA_LENGTH(count))));
    std::memset(sqlda.get(), 0, XSQLDA_LENGTH(count));
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = static_cast<ISC_SHORT>(count);
    return sqlda;
}

DirectStatement::DirectStatement(const DirectContext& context, const std::string& sql,
                                 bool queryCalls)
    : c_(context), queryCalls_(queryCalls) {
    ISC_STATUS_ARRAY status{};
    CheckStatus(c_.api, c_.api.isc_dsql_alloc_statement2(status, c_.database, &handle_), status,
                "alloc");
    // From here on the destructor does not run on a throw: drop the statement on the way out.
    try {
        CheckStatus(c_.api,
                    c_.api.isc_dsql_prepare(status, c_.transaction, &handle_, 0, sql.c_str(),
                                            c_.dialect, nullptr),
                    status, "prepare");
        if (queryCalls_) {
            const ISC_SCHAR item[] = {isc_info_sql_stmt_type};
            ISC_SCHAR info[16];
            CheckStatus(
                c_.api,
                c_.api.isc_dsql_sql_info(status, &handle_, sizeof item, item, sizeof info, info),
                status, "sql_info");
        }
        input_ = NewSqlda(1);
        CheckStatus(c_.api,
                    c_.api.isc_dsql_describe_bind(status, &handle_, c_.dialect, input_.get()),
                    status, "describe_bind");
        if (input_->sqld > 1) {
            throw std::runtime_error("the statement takes more than one parameter");
        }
        output_ = NewSqlda(16);
        CheckStatus(c_.api, c_.api.isc_dsql_describe(status, &handle_, c_.dialect, output_.get()),
                    status, "describe");
        if (output_->sqld > output_->sqln) {
            const int count = output_->sqld;
            output_ = NewSqlda(count);
            CheckStatus(c_.api,
                        c_.api.isc_dsql_describe(status, &handle_, c_.dialect, output_.get()),
                        status, "describe");
        }
    } catch (...) {
        c_.api.isc_dsql_free_statement(status, &handle_, DSQL_drop);
        throw;
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

DirectStatement::~DirectStatement() {
    ISC_STATUS_ARRAY status{};
    if (queryCalls_) {
        c_.api.isc_dsql_free_statement(status, &handle_, DSQL_close);
    }
    c_.api.isc_dsql_free_statement(status, &handle_, DSQL_drop);
}

void DirectStatement::Execute(std::optional<std::int32_t> parameter) {
    const bool takesParameter = input_->sqld > 0;
    if (parameter.has_value() != takesParameter) {
        throw std::runtime_error(takesParameter ? "the statement needs its parameter"
                                                : "the statement takes no parameter");
    }
    if (parameter) {
        parameter_ = *parameter;
    }
    ISC_STATUS_ARRAY status{};
    CheckStatus(c_.api,
                c_.api.isc_dsql_execute2(status, c_.transaction, &handle_, c_.dialect,
                                         takesParameter ? input_.get() : nullptr, nullptr),
                status, "execute");
    if (queryCalls_) {
        CheckStatus(c_.api, c_.api.isc_dsql_set_cursor_name(status, &handle_, "BENCH_CURSOR", 0),
                    status, "set_cursor_name");
    }
}

int DirectStatement::Column(const char* name) const {
    for (int i = 0; i < output_->sqld; ++i) {
        const XSQLVAR& var = output_->sqlvar[i];
        if (SameName(var.aliasname, var.aliasname_length, name)) {
            return i;
        }
    }
    throw std::runtime_error(std::string("no column ") + name);
}

} // namespace orvelle::bench
