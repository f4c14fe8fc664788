#include "DirectApi.h"

#include "common/DirectStatement.h"
#include "common/RegisterColumns.h"

#include <algorithm>

namespace orvelle::bench {

std::uint64_t DirectChildrenCycle(const DirectContext& context, const std::string& sql,
                                  std::int32_t parameter, bool queryCalls) {
    DirectStatement statement(context, sql, queryCalls);
    const RegisterColumns columns(statement);
    statement.Execute(parameter);
    std::uint64_t sum = 0;
    while (statement.Fetch()) {
        ReadRegisterRow(statement, columns, sum);
    }
    return sum;
}

std::string DirectBlobRead(const DirectContext& c, const std::string& sql, std::int32_t parameter) {
    DirectStatement statement(c, sql);
    statement.Execute(parameter);
    if (!statement.Fetch()) {
        return {};
    }
    ISC_QUAD id = statement.BlobId(0);
    ISC_STATUS_ARRAY status{};
    isc_blob_handle blob = 0;
    CheckStatus(c.api,
                c.api.isc_open_blob2(status, c.database, c.transaction, &blob, &id, 0, nullptr),
                status, "open_blob2");
    const ISC_SCHAR items[] = {isc_info_blob_total_length};
    ISC_SCHAR info[32];
    CheckStatus(c.api, c.api.isc_blob_info(status, &blob, sizeof items, items, sizeof info, info),
                status, "blob_info");
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
            CheckStatus(c.api, result, status, "get_segment");
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
