#include "DirectContents.h"

#include "common/DirectStatement.h"

#include <vector>

namespace orvelle::bench {

ContentsRead ReadAllContents(const DirectContext& c) {
    DirectStatement statement(c, "SELECT CONTENTS FROM B_DOC_CONTENTS");
    statement.Execute(std::nullopt);
    ContentsRead read;
    std::vector<char> buffer(65535);
    while (statement.Fetch()) {
        ISC_QUAD id = statement.BlobId(0);
        ISC_STATUS_ARRAY status{};
        isc_blob_handle blob = 0;
        CheckStatus(c.api,
                    c.api.isc_open_blob2(status, c.database, c.transaction, &blob, &id, 0, nullptr),
                    status, "open_blob2");
        for (;;) {
            unsigned short got = 0;
            const ISC_STATUS result = c.api.isc_get_segment(
                status, &blob, &got, static_cast<unsigned short>(buffer.size()), buffer.data());
            read.bytes += got;
            if (result == isc_segstr_eof || (result != 0 && result != isc_segment)) {
                break;
            }
        }
        c.api.isc_close_blob(status, &blob);
        ++read.documents;
    }
    return read;
}

} // namespace orvelle::bench
