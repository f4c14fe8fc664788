#pragma once

#include "ClientLibrary.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace orvelle::db {

// One blob of the current transaction, opened without a blob parameter block (no filter, no
// character-set conversion) and read in segments of at most 16384 bytes. Failures raise
// EIBInterBaseError; the blob is closed quietly when the reader goes away still open.
class BlobReader {
public:
    BlobReader(const ClientApi& api, isc_db_handle* database, isc_tr_handle* transaction,
               ISC_QUAD id); // isc_open_blob2
    ~BlobReader();
    BlobReader(const BlobReader&) = delete;
    BlobReader& operator=(const BlobReader&) = delete;

    // The blob's length in bytes as the server announces it (isc_blob_info), at full width;
    // nullopt when the answer holds no length (the blob is then read to its end regardless).
    std::optional<std::uint64_t> TotalLength();
    // Fills `buffer` with up to `size` bytes; fewer only at the end of the blob.
    std::size_t Read(char* buffer, std::size_t size);
    // isc_close_blob, reporting a failure.
    void Close();

private:
    const ClientApi& api_;
    isc_blob_handle handle_ = 0;
    bool ended_ = false;
};

} // namespace orvelle::db
