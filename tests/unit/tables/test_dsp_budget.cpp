#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include "channel_eq_set.h"
#include "dsp_budget.h"
#include "model_builder.h"

namespace {

using kvtest::PoolRow;

// A model whose DSPs carry exactly dsp1 and dsp2 load units: every
// crossover side switched out, the first pool rows on DSP-1, the next ones
// on DSP-2.
CDSDATA Loaded(int dsp1, int dsp2) {
    CDSDATA m;
    for (int n = 0; n < KV_OUTPUTS; ++n) {
        m.xo_freq[n][0] = 0;
        m.xo_freq[n][1] = 201;
    }
    for (int r = 0; r < KV_POOL_ROWS; ++r) m.eq_dsp[r] = r < dsp1 ? 0 : r < dsp1 + dsp2 ? 1 : -1;
    return m;
}

struct BudgetCase {
    const char* what;
    int chan;
    int dsp1;
    int dsp2;
    bool allows;
};

const BudgetCase kBudgetCases[] = {
    {"In A, one unit left on DSP-1", CHAN_IN_A, 17, 0, true},
    {"In A, DSP-1 full", CHAN_IN_A, 18, 0, false},
    {"In B, DSP-1 full", CHAN_IN_B, 18, 0, false},
    {"Out 1, DSP-1 full, DSP-2 empty", 0, 18, 0, false},
    {"Out 2, DSP-2 full does not matter", 1, 17, 20, true},
    {"Out 3, one unit left in both", 2, 18, 19, true},
    {"Out 3, both full", 2, 18, 20, false},
    {"Out 4, DSP-2 full spills onto DSP-1", 3, 0, 20, true},
    {"Out 6, spilled over until both are full", 5, 17, 21, false},
};

TEST(DspBudget, RoomForOneMoreFilter) {
    for (const BudgetCase& c : kBudgetCases) {
        const CDSDATA m = Loaded(c.dsp1, c.dsp2);
        ASSERT_EQ(m.CalDSP1(), c.dsp1) << c.what;
        ASSERT_EQ(m.CalDSP2(), c.dsp2) << c.what;
        EXPECT_EQ(tables::DspBudgetAllows(m, c.chan), c.allows) << c.what;
    }
}

TEST(ChannelEqSet, OwnRowsInPoolOrderThenFlatBells) {
    CDSDATA m;
    for (int r = 0; r < KV_POOL_ROWS; ++r) m.eq_owner[r] = -1;
    PoolRow(m, 7).Owner(2).Values({1, 80, 40, 9});
    PoolRow(m, 3).Owner(2).Values({4, 150, 12, 0});
    PoolRow(m, 5).Owner(CHAN_IN_A).Values({3, 60, 50, 1});       // another channel's filter
    PoolRow(m, KV_DEFAULT_ROW).Owner(2).Values({3, 60, 50, 1});  // the default row is never a filter

    const tables::EqSet set = tables::ChannelEqSet(m, 2);
    EXPECT_EQ(set[0].type, 4);
    EXPECT_EQ(set[0].freq_row, 150);
    EXPECT_EQ(set[1].type, 1);
    EXPECT_EQ(set[1].width_index, 9);
    for (int i = 2; i < tables::kEqSetSize; ++i) {
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
    const tables::EqSet set = tables::ChannelEqSet(m, 4);
    EXPECT_EQ(set[tables::kEqSetSize - 1].freq_row, tables::kEqSetSize);
}

}  // namespace
