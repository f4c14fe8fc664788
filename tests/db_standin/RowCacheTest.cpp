// The row cache: rows keep their place and their bytes while the cache grows.
#include "db/RowCache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(RowCache, GrowsByWholeChunksWithoutMovingRows) {
    orvelle::db::RowCache cache;
    cache.Reset(24, 1000);
    std::vector<const char*> places;
    for (int i = 0; i < 2500; ++i) {
        char* slot = cache.NextSlot();
        std::memcpy(slot, &i, sizeof i);
        cache.Commit();
        places.push_back(cache.Row(static_cast<std::size_t>(i)));
        ASSERT_EQ(cache.CapacityRows(), static_cast<std::size_t>((i / 1000 + 1) * 1000));
    }
    // A row that moved would make every earlier read of a long level copy the whole cache:
    // growth is then quadratic in the number of siblings.
    for (int i = 0; i < 2500; ++i) {
        const char* row = cache.Row(static_cast<std::size_t>(i));
        EXPECT_EQ(row, places[static_cast<std::size_t>(i)]) << "row " << i << " moved";
        int value = -1;
        std::memcpy(&value, row, sizeof value);
        EXPECT_EQ(value, i);
    }
    cache.Release();
    EXPECT_EQ(cache.Count(), 0u);
    EXPECT_EQ(cache.CapacityRows(), 0u);
}

} // namespace
