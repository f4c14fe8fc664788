#pragma once

#include "FbClient.h"
#include "Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvelle::kvdbuild {

// A prepared statement with positional parameters, executed any number of times.
class InsertStatement {
public:
    InsertStatement(const FbClient& api, isc_db_handle* db, isc_tr_handle* tr, int dialect,
                    const std::string& sql);
    ~InsertStatement();
    InsertStatement(const InsertStatement&) = delete;
    InsertStatement& operator=(const InsertStatement&) = delete;

    void Execute(const std::vector<Value>& values);
    int ParameterCount() const;

private:
    struct Slot {
        std::int32_t integer32 = 0;
        std::int64_t integer64 = 0;
        ISC_QUAD blobId{};
        std::string text;
        short indicator = 0;
    };
    struct FreeSqlda {
        void operator()(XSQLDA* sqlda) const { ::operator delete(sqlda); }
    };

    void Describe();
    struct Described {
        short type = 0;
        short subtype = 0;
    };
    void Bind(XSQLVAR& var, Slot& slot, const Value& value, const Described& described);
    ISC_QUAD WriteBlob(const std::string& bytes);
    [[noreturn]] void Fail(const ISC_STATUS* status, const std::string& what) const;

    const FbClient& api_;
    isc_db_handle* db_;
    isc_tr_handle* tr_;
    int dialect_;
    std::string sql_;
    isc_stmt_handle handle_ = 0;
    std::unique_ptr<XSQLDA, FreeSqlda> input_;
    std::vector<Described> described_;
    std::vector<Slot> slots_;
};

} // namespace orvelle::kvdbuild
