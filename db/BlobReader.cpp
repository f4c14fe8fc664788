#include "BlobReader.h"

#include "InfoBuffer.h"
#include "StatusVector.h"

#include <algorithm>

namespace orvelle::db {

namespace {
constexpr std::size_t kSegmentSize = 16384;
}

BlobReader::BlobReader(const ClientApi& api, isc_db_handle* database, isc_tr_handle* transaction,
                       ISC_QUAD id)
    : api_(api) {
    StatusVector status;
    api_.isc_open_blob2(status.Data(), database, transaction, &handle_, &id, 0, nullptr);
    if (status.Failed()) {
        handle_ = 0;
        status.Raise(api_);
    }
}

BlobReader::~BlobReader() {
    if (handle_ != 0) {
        StatusVector ignored;
        api_.isc_close_blob(ignored.Data(), &handle_);
    }
}

std::optional<std::uint64_t> BlobReader::TotalLength() {
    const char items[] = {isc_info_blob_total_length, isc_info_end};
    char info[32] = {};
    StatusVector status;
    api_.isc_blob_info(status.Data(), &handle_, sizeof items, items, sizeof info, info);
    status.Check(api_);
    const auto total = InfoValue(info, sizeof info, isc_info_blob_total_length);
    if (!total || *total < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(*total);
}

std::size_t BlobReader::Read(char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size && !ended_) {
        const auto wanted = static_cast<unsigned short>(std::min(size - got, kSegmentSize));
        unsigned short actual = 0;
        StatusVector status;
        api_.isc_get_segment(status.Data(), &handle_, &actual, wanted, buffer + got);
        if (status.Failed() && status.ErrorCode() != isc_segment) {
            if (status.ErrorCode() == isc_segstr_eof) {
                ended_ = true;
                break;
            }
            status.Raise(api_);
        }
        if (actual == 0) {
            ended_ = true; // no progress: never loop for ever on a confused library
            break;
        }
        got += std::min<std::size_t>(actual, wanted);
    }
    return got;
}

void BlobReader::Close() {
    StatusVector status;
    api_.isc_close_blob(status.Data(), &handle_);
    handle_ = 0;
    status.Check(api_);
}

} // namespace orvelle::db
