#include "Query.h"

#include "ClientLibrary.h"
#include "Database.h"
#include "Errors.h"
#include "InfoBuffer.h"
#include "QueryImpl.h"
#include "StatusVector.h"
#include "Transaction.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace orvelle::db {

namespace {

constexpr std::size_t kBufferChunks = 1000;
constexpr int kInitialColumns = 16;

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y && std::tolower(x) != std::tolower(y)) {
            return false;
        }
    }
    return true;
}

bool IsBlankText(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c <= ' '; });
}

std::size_t AlignUp(std::size_t value, std::size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

std::string NextCursorName() {
    static std::atomic<unsigned> counter{0};
    return "ORVELLE_CURSOR_" + std::to_string(++counter);
}

} // namespace

// ---- text and parameters ----

void SqlText::Clear() {
    if (lines_.empty()) {
        return;
    }
    lines_.clear();
    owner_.TextChanged();
}

void SqlText::Add(const std::string& line) {
    lines_.push_back(line);
    owner_.TextChanged();
}

std::string SqlText::Text() const {
    std::size_t size = 0;
    for (const std::string& line : lines_) {
        size += line.size() + 2;
    }
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void Param::SetAsInteger(std::int32_t value) {
    value_ = value;
    isNull_ = false;
}

// ---- the query ----

Query::Query(std::string name, Database* database, Transaction* transaction)
    : name_(std::move(name)), database_(database), transaction_(transaction),
      impl_(std::make_unique<Impl>(database != nullptr ? database->Api() : ClientLibrary::Load())) {
    impl_->cursorName = NextCursorName();
    if (database_ != nullptr) {
        database_->AddQuery(this);
    }
}

Query::~Query() {
    try {
        Unprepare();
    } catch (...) {
    }
    if (database_ != nullptr) {
        database_->RemoveQuery(this);
    }
}

bool Query::Active() const {
    return impl_->open;
}
bool Query::Eof() const {
    return impl_->eof;
}
int Query::FieldCount() const {
    return static_cast<int>(impl_->fields.size());
}

Field& Query::Fields(int index) {
    if (index < 0 || index >= FieldCount()) {
        throw EDatabaseError(name_ + ": List index out of bounds (" + std::to_string(index) + ")");
    }
    return impl_->fields[static_cast<std::size_t>(index)];
}

Field& Query::FieldByName(const std::string& name) {
    for (Field& field : impl_->fields) {
        if (SameName(field.FieldName(), name)) {
            return field;
        }
    }
    throw EDatabaseError(name_ + ": Field '" + name + "' not found");
}

Param& Query::ParamByName(const std::string& name) {
    for (Param& param : params_) {
        if (SameName(param.Name(), name)) {
            return param;
        }
    }
    throw EDatabaseError(name_ + ": Parameter '" + name + "' not found");
}

void Query::TextChanged() {
    Unprepare();
    std::vector<std::string> names;
    MakePositional(sql_.Text(), &names);
    std::vector<Param> params;
    params.reserve(names.size());
    impl_->paramSource.clear();
    for (std::string& name : names) {
        auto old = std::find_if(params_.begin(), params_.end(),
                                [&](const Param& p) { return SameName(p.Name(), name); });
        auto first = std::find_if(params.begin(), params.end(),
                                  [&](const Param& p) { return SameName(p.Name(), name); });
        impl_->paramSource.push_back(static_cast<std::size_t>(first - params.begin()));
        if (old != params_.end()) {
            Param carried = *old;
            params.push_back(carried);
        } else {
            params.emplace_back(std::move(name));
        }
    }
    params_ = std::move(params);
}

void Query::Close() {
    Impl& d = *impl_;
    if (!d.open) {
        return;
    }
    StatusVector status;
    d.api.isc_dsql_free_statement(status.Data(), &d.statement, DSQL_close);
    d.open = false;
    d.eof = true;
    d.fetchedAll = false;
    d.current = 0;
    d.rows.Release();
    d.ReleaseBlobs();
    d.fields.clear();
}

void Query::ForgetDatabase() {
    Unprepare();
    database_ = nullptr;
}

void Query::ForgetTransaction() {
    Unprepare();
    transaction_ = nullptr;
}

void Query::Unprepare() {
    Close();
    Impl& d = *impl_;
    if (d.statement != 0) {
        StatusVector status;
        d.api.isc_dsql_free_statement(status.Data(), &d.statement, DSQL_drop);
        d.statement = 0;
    }
    d.prepared = false;
    d.input.Release();
    d.output.Release();
    d.columns.clear();
}

namespace {

// Describes the columns (or parameters) into `sqlda`, growing it when the statement has more.
template <typename Describe>
void DescribeInto(Sqlda& sqlda, int initial, const StatusVector& status, const ClientApi& api,
                  Describe describe) {
    sqlda.Allocate(initial);
    describe(sqlda.Get());
    status.Check(api);
    if (sqlda.Get()->sqld > sqlda.Get()->sqln) {
        sqlda.Allocate(sqlda.Get()->sqld);
        describe(sqlda.Get());
        status.Check(api);
    }
}

} // namespace

// ---- the steps of Open ----

void Query::Impl::AllocateStatement(isc_db_handle* database) {
    StatusVector status;
    api.isc_dsql_alloc_statement2(status.Data(), database, &statement);
    if (status.Failed()) {
        statement = 0;
        status.Raise(api);
    }
}

void Query::Impl::PrepareText(isc_tr_handle* transaction, const std::string& positional,
                              unsigned short dialect) {
    StatusVector status;
    api.isc_dsql_prepare(status.Data(), transaction, &statement, 0, positional.c_str(), dialect,
                         nullptr);
    status.Check(api);
}

void Query::Impl::RequireSelect() {
    const char typeItem[] = {isc_info_sql_stmt_type};
    char typeInfo[16] = {};
    StatusVector status;
    api.isc_dsql_sql_info(status.Data(), &statement, sizeof typeItem, typeItem, sizeof typeInfo,
                          typeInfo);
    status.Check(api);
    const std::int64_t type =
        InfoValue(typeInfo, sizeof typeInfo, isc_info_sql_stmt_type).value_or(0);
    if (type != isc_info_sql_stmt_select && type != isc_info_sql_stmt_select_for_upd) {
        // The viewer only reads; anything else is never executed.
        throw EIBClientError("Cannot open a statement that is not a SELECT");
    }
}

void Query::Impl::Describe(std::size_t parameterCount, unsigned short dialect) {
    StatusVector status;
    if (parameterCount > 0) {
        DescribeInto(input, static_cast<int>(parameterCount), status, api, [&](XSQLDA* sqlda) {
            api.isc_dsql_describe_bind(status.Data(), &statement, dialect, sqlda);
        });
    }
    DescribeInto(output, kInitialColumns, status, api, [&](XSQLDA* sqlda) {
        api.isc_dsql_describe(status.Data(), &statement, dialect, sqlda);
    });
}

void Query::Impl::DropStatement() {
    StatusVector ignored;
    api.isc_dsql_free_statement(ignored.Data(), &statement, DSQL_drop);
    statement = 0;
    input.Release();
    output.Release();
}

void Query::Impl::LayOutParameters() {
    // Parameters are sent as nullable 32-bit integers.
    const int count = input.Empty() ? 0 : input.Get()->sqld;
    inputValues.assign(static_cast<std::size_t>(count), 0);
    inputIndicators.assign(static_cast<std::size_t>(count), -1);
    for (int i = 0; i < count; ++i) {
        XSQLVAR& var = input.Get()->sqlvar[i];
        var.sqltype = SQL_LONG + 1;
        var.sqlscale = 0;
        var.sqlsubtype = 0;
        var.sqllen = sizeof(std::int32_t);
        var.sqldata = reinterpret_cast<ISC_SCHAR*>(&inputValues[static_cast<std::size_t>(i)]);
        var.sqlind = &inputIndicators[static_cast<std::size_t>(i)];
    }
}

void Query::Impl::LayOutRow() {
    // Each column's data, then its NULL indicator, 8-byte aligned.
    columns.clear();
    std::size_t offset = 0;
    const XSQLDA* out = output.Get();
    for (int i = 0; i < out->sqld; ++i) {
        const XSQLVAR& var = out->sqlvar[i];
        ColumnLayout column;
        column.type = static_cast<short>(var.sqltype & ~1);
        column.nullable = (var.sqltype & 1) != 0;
        column.scale = var.sqlscale;
        column.subtype = var.sqlsubtype;
        column.length = var.sqllen;
        const std::size_t size = static_cast<std::size_t>(static_cast<unsigned short>(var.sqllen)) +
                                 (column.type == SQL_VARYING ? 2 : 0);
        column.dataOffset = offset;
        offset = AlignUp(offset + size, alignof(short));
        column.indicatorOffset = offset;
        offset = AlignUp(offset + sizeof(short), 8);
        const int nameLength =
            std::clamp<int>(var.aliasname_length, 0, static_cast<int>(sizeof var.aliasname));
        column.name.assign(var.aliasname, static_cast<std::size_t>(nameLength));
        columns.push_back(std::move(column));
    }
    rowSize = std::max<std::size_t>(offset, 8);
}

void Query::Impl::Bind(const std::vector<Param>& params) {
    // Values by position; a parameter without a value goes as NULL.
    for (std::size_t i = 0; i < inputValues.size(); ++i) {
        const Param* param = i < params.size() ? &params[paramSource[i]] : nullptr;
        if (param != nullptr && !param->IsNull()) {
            inputValues[i] = param->AsInteger();
            inputIndicators[i] = 0;
        } else {
            inputValues[i] = 0;
            inputIndicators[i] = -1;
        }
    }
}

void Query::Impl::Execute(isc_tr_handle* transaction, unsigned short dialect) {
    StatusVector status;
    api.isc_dsql_execute2(status.Data(), transaction, &statement, dialect,
                          input.Empty() ? nullptr : input.Get(), nullptr);
    status.Check(api);
    api.isc_dsql_set_cursor_name(status.Data(), &statement, cursorName.c_str(), 0);
    if (status.Failed()) {
        StatusVector ignored;
        api.isc_dsql_free_statement(ignored.Data(), &statement, DSQL_close);
        status.Raise(api);
    }
}

void Query::ConnectIfNeeded() {
    if (database_ == nullptr) {
        throw EIBClientError("Database not assigned");
    }
    if (transaction_ == nullptr) {
        throw EIBClientError("Transaction not assigned");
    }
    if (!database_->Connected()) {
        database_->Open();
    }
    if (!transaction_->Active()) {
        transaction_->StartTransaction();
    }
}

void Query::Prepare(unsigned short dialect) {
    Impl& d = *impl_;
    const std::string text = sql_.Text();
    std::vector<std::string> names;
    const std::string positional = MakePositional(text, &names);
    if (positional.size() < 2 || IsBlankText(text)) {
        throw EIBClientError("Empty SQL Statement");
    }
    d.AllocateStatement(database_->Handle());
    try {
        d.PrepareText(transaction_->Handle(), positional, dialect);
        d.RequireSelect();
        d.Describe(names.size(), dialect);
    } catch (...) {
        d.DropStatement();
        throw;
    }
    d.LayOutParameters();
    d.LayOutRow();
    d.prepared = true;
}

void Query::CreateFields() {
    Impl& d = *impl_;
    d.fields.clear();
    d.fields.reserve(d.columns.size());
    for (std::size_t i = 0; i < d.columns.size(); ++i) {
        d.fields.emplace_back(*this, static_cast<int>(i), d.columns[i].name);
    }
}

void Query::Open() {
    Impl& d = *impl_;
    if (d.open) {
        return;
    }
    ConnectIfNeeded();
    const auto dialect = static_cast<unsigned short>(database_->SQLDialect());
    if (!d.prepared) {
        Prepare(dialect);
    }
    d.Bind(params_);
    CreateFields();
    try {
        d.Execute(transaction_->Handle(), dialect);
    } catch (...) {
        d.fields.clear();
        throw;
    }
    d.open = true;
    d.eof = false;
    d.fetchedAll = false;
    d.current = 0;
    d.rows.Reset(d.rowSize, kBufferChunks);
    try {
        d.eof = !FetchRow();
    } catch (...) {
        Close();
        throw;
    }
}

bool Query::FetchRow() {
    Impl& d = *impl_;
    if (d.fetchedAll) {
        return false;
    }
    char* slot = d.rows.NextSlot();
    XSQLDA* out = d.output.Get();
    for (std::size_t i = 0; i < d.columns.size(); ++i) {
        XSQLVAR& var = out->sqlvar[i];
        var.sqldata = slot + d.columns[i].dataOffset;
        var.sqlind = reinterpret_cast<short*>(slot + d.columns[i].indicatorOffset);
    }
    StatusVector status;
    const ISC_STATUS result = d.api.isc_dsql_fetch(
        status.Data(), &d.statement, static_cast<unsigned short>(database_->SQLDialect()), out);
    status.Check(d.api);
    if (result == 100) {
        d.fetchedAll = true;
        return false;
    }
    d.rows.Commit();
    return true;
}

void Query::First() {
    Impl& d = *impl_;
    if (!d.open) {
        throw EDatabaseError(name_ + ": Cannot perform this operation on a closed dataset");
    }
    d.current = 0;
    d.eof = d.rows.Count() == 0;
}

void Query::Next() {
    Impl& d = *impl_;
    if (!d.open) {
        throw EDatabaseError(name_ + ": Cannot perform this operation on a closed dataset");
    }
    if (d.eof) {
        return;
    }
    if (d.current + 1 < d.rows.Count()) {
        ++d.current;
        return;
    }
    if (FetchRow()) {
        ++d.current;
    } else {
        d.eof = true;
    }
}

} // namespace orvelle::db
