#pragma once

// A SELECT written directly on the client API with nothing but what the work needs: the
// floor the query object and the viewer are measured against.

#include "common/DirectContext.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::bench {

// Throws std::runtime_error with `what` and the client's messages when `result` is not 0.
void CheckStatus(const db::ClientApi& api, ISC_STATUS result, const ISC_STATUS* status,
                 const char* what);

struct SqldaDeleter {
    void operator()(XSQLDA* sqlda) const { ::operator delete(sqlda); }
};
using SqldaPtr = std::unique_ptr<XSQLDA, SqldaDeleter>;

// A zeroed descriptor area for `count` variables.
SqldaPtr NewSqlda(int count);

// A prepared SELECT with at most one integer parameter and one reused row buffer. Allocates,
// prepares, describes its parameter and its columns (again when they do not fit 16), lays out
// the row buffer; dropped when destroyed. With `queryCalls` it also makes the calls the query
// object makes on top of that work: asks for the statement type after preparing, names the
// cursor after executing, and closes the cursor before dropping the statement.
class DirectStatement {
public:
    DirectStatement(const DirectContext& context, const std::string& sql, bool queryCalls = false);
    ~DirectStatement();
    DirectStatement(const DirectStatement&) = delete;
    DirectStatement& operator=(const DirectStatement&) = delete;

    // Executes with `parameter`, which must be given exactly when the statement takes one.
    void Execute(std::optional<std::int32_t> parameter);

    // The next row into the buffer; false after the last.
    bool Fetch() {
        ISC_STATUS_ARRAY status{};
        const ISC_STATUS result =
            c_.api.isc_dsql_fetch(status, &handle_, c_.dialect, output_.get());
        if (result == 100) {
            return false;
        }
        CheckStatus(c_.api, result, status, "fetch");
        return true;
    }

    // The index of the column named `name`, case aside; throws when there is none.
    int Column(const char* name) const;

    // The current row's values; 0 and "" for NULL.
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
    std::int32_t parameter_ = 0;
    short inputIndicator_ = 0;
    bool queryCalls_;
};

} // namespace orvelle::bench
