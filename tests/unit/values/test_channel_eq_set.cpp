// A channel's EQ set: the filters it owns as the response graph sums them.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include "kvvalues/channel_eq_set.h"
#include "model_builder.h"

namespace {

using kvtest::PoolRow;

TEST(ChannelEqSet, OwnRowsInPoolOrderThenFlatBells) {
    CDSDATA m;
    for (int r = 0; r < KV_POOL_ROWS; ++r) m.eq_owner[r] = -1;
    PoolRow(m, 7).Owner(2).Values({1, 80, 40, 9});
    PoolRow(m, 3).Owner(2).Values({4, 150, 12, 0});
    PoolRow(m, 5).Owner(CHAN_IN_A).Values({3, 60, 50, 1});       // another channel's filter
    PoolRow(m, KV_DEFAULT_ROW).Owner(2).Values({3, 60, 50, 1});  // the default row is never a filter

    const kvvalues::EqSet set = kvvalues::ChannelEqSet(m, 2);
    EXPECT_EQ(set[0].type, 4);
    EXPECT_EQ(set[0].freq_row, 150);
    EXPECT_EQ(set[1].type, 1);
    EXPECT_EQ(set[1].width_index, 9);
    for (int i = 2; i < kvvalues::kEqSetSize; ++i) {
        EXPECT_EQ(set[i].type, 2) << i;
        EXPECT_EQ(set[i].freq_row, 120) << i;
        EXPECT_EQ(set[i].gain_index, 30) << i;
        EXPECT_EQ(set[i].width_index, 5) << i;
    }
}

TEST(ChannelEqSet, TakesAtMostTheGraphsEntries) {
    CDSDATA m;
    for (int r = 0; r < KV_POOL_ROWS; ++r) {
        m.eq_owner[r] = 4;
        m.eq_freq[r] = r + 1;
    }
    const kvvalues::EqSet set = kvvalues::ChannelEqSet(m, 4);
    EXPECT_EQ(set[kvvalues::kEqSetSize - 1].freq_row, kvvalues::kEqSetSize);
}

}  // namespace
