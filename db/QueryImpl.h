#pragma once

#include "Query.h"
#include "RowCache.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvelle::db {

// An XSQLDA with room for a given number of columns.
class Sqlda {
public:
    void Allocate(int columns) {
        if (columns < 1) {
            columns = 1;
        }
        storage_.reset(
            new std::max_align_t[(XSQLDA_LENGTH(columns) + sizeof(std::max_align_t) - 1) /
                                 sizeof(std::max_align_t)]());
        Get()->version = SQLDA_VERSION1;
        Get()->sqln = static_cast<ISC_SHORT>(columns);
        Get()->sqld = 0;
    }
    void Release() { storage_.reset(); }
    XSQLDA* Get() const { return reinterpret_cast<XSQLDA*>(storage_.get()); }
    bool Empty() const { return !storage_; }

private:
    std::unique_ptr<std::max_align_t[]> storage_;
};

// A blob read for one row, kept until the query closes. `bytes` may be longer than the blob:
// it is a buffer reused from earlier reads.
struct CachedBlob {
    std::string bytes;
    std::size_t length = 0;
};

// Where one result column lives inside a cached row.
struct ColumnLayout {
    short type = 0; // without the nullable bit
    bool nullable = false;
    short scale = 0;
    short subtype = 0;
    short length = 0;
    std::size_t dataOffset = 0;
    std::size_t indicatorOffset = 0;
    std::string name;
};

struct Query::Impl {
    const ClientApi& api;
    std::string cursorName;

    isc_stmt_handle statement = 0;
    bool prepared = false;
    bool open = false;
    bool eof = true;
    bool fetchedAll = false;

    // For every parameter, the index of the first parameter of the same name: that is the
    // one ParamByName reaches, so a name used twice sends its value to both places.
    std::vector<std::size_t> paramSource;

    Sqlda input;
    std::vector<std::int32_t> inputValues;
    std::vector<short> inputIndicators;
    Sqlda output;
    std::vector<ColumnLayout> columns;
    std::size_t rowSize = 0;

    std::vector<Field> fields;
    RowCache rows;
    std::size_t current = 0;
    std::unordered_map<std::size_t, CachedBlob> blobs; // key: row * columns + column
    std::string spareBlob; // the largest released blob buffer, for the next read

    explicit Impl(const ClientApi& clientApi) : api(clientApi) {}

    // The steps of opening a query, in the order Query::Open takes them.
    // Allocates the statement on the connection.
    void AllocateStatement(isc_db_handle* database);
    // Prepares the text, its parameters made positional.
    void PrepareText(isc_tr_handle* transaction, const std::string& positional,
                     unsigned short dialect);
    // Asks the statement's type; anything but a SELECT is refused.
    void RequireSelect();
    // Describes the parameters (when there are any) and the result columns.
    void Describe(std::size_t parameterCount, unsigned short dialect);
    // Releases a statement whose preparation failed half-way.
    void DropStatement();
    // Points every parameter at its nullable 32-bit slot.
    void LayOutParameters();
    // Places every column's data and NULL indicator inside a cached row.
    void LayOutRow();
    // Copies the parameters' values into their slots, by position.
    void Bind(const std::vector<Param>& params);
    // Executes the statement and names its cursor.
    void Execute(isc_tr_handle* transaction, unsigned short dialect);

    // Keeps the larger of the spare buffer and `buffer`, up to a limit.
    void KeepSpare(std::string&& buffer) {
        constexpr std::size_t kLimit = std::size_t(64) << 20;
        if (buffer.capacity() > spareBlob.capacity() && buffer.capacity() <= kLimit) {
            spareBlob = std::move(buffer);
        }
    }
    void ReleaseBlobs() {
        for (auto& entry : blobs) {
            KeepSpare(std::move(entry.second.bytes));
        }
        blobs.clear();
    }

    const char* CurrentRow() const { return rows.Count() == 0 ? nullptr : rows.Row(current); }
};

} // namespace orvelle::db
