// Values read from the buffers of the client library's *_info calls.
#include "db/InfoBuffer.h"

#include <ibase.h>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace {

struct InfoCase {
    std::string bytes;
    unsigned char item;
    std::optional<std::int64_t> value;
};

// Named in test listings by what it asks and expects, not by its bytes.
void PrintTo(const InfoCase& c, std::ostream* out) {
    *out << "item " << int(c.item) << " of " << c.bytes.size() << " bytes -> "
         << (c.value ? std::to_string(*c.value) : std::string("none"));
}

class InfoBuffer : public ::testing::TestWithParam<InfoCase> {};

TEST_P(InfoBuffer, ReadsTheItemAtFullWidth) {
    const InfoCase& c = GetParam();
    EXPECT_EQ(orvelle::db::InfoValue(c.bytes.data(), c.bytes.size(), c.item), c.value);
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) {
        bytes += static_cast<char>(v);
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Items, InfoBuffer,
    ::testing::Values(
        InfoCase{Bytes({isc_info_db_sql_dialect, 1, 0, 3, isc_info_end}), isc_info_db_sql_dialect,
                 3},
        InfoCase{Bytes({isc_info_sql_stmt_type, 4, 0, 1, 0, 0, 0, 1}), isc_info_sql_stmt_type, 1},
        // A blob of 3 GB: the engine sends its length in 8 bytes.
        InfoCase{Bytes({isc_info_blob_total_length, 8, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0}),
                 isc_info_blob_total_length, std::int64_t{3} << 30},
        InfoCase{Bytes({isc_info_blob_total_length, 4, 0, 0xFF, 0xFF, 0xFF, 0x7F}),
                 isc_info_blob_total_length, 0x7FFFFFFF},
        InfoCase{Bytes({isc_info_blob_total_length, 1, 0, 0xFF}), isc_info_blob_total_length, -1},
        // Another item first, no value, a length past the buffer, more than 8 bytes.
        InfoCase{Bytes({isc_info_end, 1, 0, 3}), isc_info_db_sql_dialect, std::nullopt},
        InfoCase{Bytes({isc_info_db_sql_dialect, 0, 0}), isc_info_db_sql_dialect, std::nullopt},
        InfoCase{Bytes({isc_info_db_sql_dialect, 4, 0, 3}), isc_info_db_sql_dialect, std::nullopt},
        InfoCase{Bytes({isc_info_blob_total_length, 9, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}),
                 isc_info_blob_total_length, std::nullopt}));

} // namespace
