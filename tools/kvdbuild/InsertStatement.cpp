#include "InsertStatement.h"

#include "BuildError.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace orvelle::kvdbuild {
namespace {

constexpr std::size_t kSegmentSize = 32768;

XSQLDA* NewSqlda(int count) {
    const int n = std::max(count, 1);
    auto* sqlda = static_cast<XSQLDA*>(::operator new(XSQLDA_LENGTH(n)));
    *sqlda = XSQLDA{};
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = static_cast<ISC_SHORT>(n);
    return sqlda;
}

} // namespace

InsertStatement::InsertStatement(const FbClient& api, isc_db_handle* db, isc_tr_handle* tr,
                                 int dialect, const std::string& sql)
    : api_(api), db_(db), tr_(tr), dialect_(dialect), sql_(sql) {
    ISC_STATUS_ARRAY status{};
    if (api_.isc_dsql_alloc_statement2(status, db_, &handle_) != 0) {
        Fail(status, "allocating a statement");
    }
    if (api_.isc_dsql_prepare(status, tr_, &handle_, 0, sql_.c_str(),
                              static_cast<unsigned short>(dialect_), nullptr) != 0) {
        ISC_STATUS_ARRAY ignored{};
        api_.isc_dsql_free_statement(ignored, &handle_, DSQL_drop);
        Fail(status, "preparing");
    }
    try {
        Describe();
    } catch (...) {
        ISC_STATUS_ARRAY ignored{};
        api_.isc_dsql_free_statement(ignored, &handle_, DSQL_drop);
        throw;
    }
}

InsertStatement::~InsertStatement() {
    if (handle_ != 0) {
        ISC_STATUS_ARRAY status{};
        api_.isc_dsql_free_statement(status, &handle_, DSQL_drop);
    }
}

void InsertStatement::Describe() {
    input_.reset(NewSqlda(1));
    ISC_STATUS_ARRAY status{};
    if (api_.isc_dsql_describe_bind(status, &handle_, static_cast<unsigned short>(dialect_),
                                    input_.get()) != 0) {
        Fail(status, "describing the parameters");
    }
    if (input_->sqld > input_->sqln) {
        input_.reset(NewSqlda(input_->sqld));
        if (api_.isc_dsql_describe_bind(status, &handle_, static_cast<unsigned short>(dialect_),
                                        input_.get()) != 0) {
            Fail(status, "describing the parameters");
        }
    }
    described_.clear();
    for (int i = 0; i < input_->sqld; ++i) {
        const XSQLVAR& var = input_->sqlvar[i];
        described_.push_back({static_cast<short>(var.sqltype & ~1), var.sqlsubtype});
    }
    slots_.assign(described_.size(), Slot{});
}

int InsertStatement::ParameterCount() const {
    return static_cast<int>(described_.size());
}

void InsertStatement::Execute(const std::vector<Value>& values) {
    if (values.size() != described_.size()) {
        throw BuildError("Statement expects " + std::to_string(described_.size()) +
                         " parameters, got " + std::to_string(values.size()) + ": " + sql_);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        Bind(input_->sqlvar[i], slots_[i], values[i], described_[i]);
    }
    ISC_STATUS_ARRAY status{};
    if (api_.isc_dsql_execute(status, tr_, &handle_, static_cast<unsigned short>(dialect_),
                              described_.empty() ? nullptr : input_.get()) != 0) {
        Fail(status, "executing");
    }
}

void InsertStatement::Bind(XSQLVAR& var, Slot& slot, const Value& value,
                           const Described& described) {
    slot.indicator = 0;
    var.sqlind = &slot.indicator;
    var.sqlscale = 0;
    var.sqlsubtype = 0;
    if (std::holds_alternative<std::monostate>(value)) {
        // The server coerces a NULL of any type; an integer keeps the buffer small.
        slot.indicator = -1;
        var.sqltype = SQL_LONG | 1;
        var.sqllen = sizeof(ISC_LONG);
        var.sqldata = reinterpret_cast<ISC_SCHAR*>(&slot.integer32);
    } else if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        if (*integer >= std::numeric_limits<std::int32_t>::min() &&
            *integer <= std::numeric_limits<std::int32_t>::max()) {
            slot.integer32 = static_cast<std::int32_t>(*integer);
            var.sqltype = SQL_LONG | 1;
            var.sqllen = sizeof(ISC_LONG);
            var.sqldata = reinterpret_cast<ISC_SCHAR*>(&slot.integer32);
        } else {
            slot.integer64 = *integer;
            var.sqltype = SQL_INT64 | 1;
            var.sqllen = sizeof(ISC_INT64);
            var.sqldata = reinterpret_cast<ISC_SCHAR*>(&slot.integer64);
        }
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        if (described.type == SQL_BLOB) {
            // Text for a blob column goes in as a blob: no length limit.
            slot.blobId = WriteBlob(*text);
            var.sqltype = SQL_BLOB | 1;
            var.sqlsubtype = described.subtype;
            var.sqllen = sizeof(ISC_QUAD);
            var.sqldata = reinterpret_cast<ISC_SCHAR*>(&slot.blobId);
        } else {
            if (text->size() > static_cast<std::size_t>(std::numeric_limits<ISC_SHORT>::max())) {
                throw BuildError("Text parameter of " + std::to_string(text->size()) +
                                 " bytes is too long for a non-blob column: " + sql_);
            }
            slot.text = *text;
            var.sqltype = SQL_TEXT | 1;
            var.sqllen = static_cast<ISC_SHORT>(slot.text.size());
            var.sqldata = slot.text.data();
        }
    } else {
        slot.blobId = WriteBlob(std::get<Blob>(value).bytes);
        var.sqltype = SQL_BLOB | 1;
        var.sqlsubtype = described.type == SQL_BLOB ? described.subtype : short{1};
        var.sqllen = sizeof(ISC_QUAD);
        var.sqldata = reinterpret_cast<ISC_SCHAR*>(&slot.blobId);
    }
}

ISC_QUAD InsertStatement::WriteBlob(const std::string& bytes) {
    ISC_STATUS_ARRAY status{};
    isc_blob_handle blob = 0;
    ISC_QUAD id{};
    // No blob parameter block: no filter and no character-set conversion, the bytes are stored
    // as given.
    if (api_.isc_create_blob2(status, db_, tr_, &blob, &id, 0, nullptr) != 0) {
        Fail(status, "creating a blob");
    }
    for (std::size_t offset = 0; offset < bytes.size(); offset += kSegmentSize) {
        const std::size_t length = std::min(kSegmentSize, bytes.size() - offset);
        if (api_.isc_put_segment(status, &blob, static_cast<unsigned short>(length),
                                 bytes.data() + offset) != 0) {
            ISC_STATUS_ARRAY ignored{};
            api_.isc_close_blob(ignored, &blob);
            Fail(status, "writing a blob");
        }
    }
    if (api_.isc_close_blob(status, &blob) != 0) {
        Fail(status, "closing a blob");
    }
    return id;
}

void InsertStatement::Fail(const ISC_STATUS* status, const std::string& what) const {
    throw BuildError(api_.Message(status) + "\n(" + what + ": " + sql_ + ")");
}

} // namespace orvelle::kvdbuild
