// The unit's two DSPs: which channel runs where, how much each carries, and
// where a new filter goes (the pool's rule and the reader's, one unit apart).
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include "kvproto/channels.h"

namespace {

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

struct LoadCase {
    const char* what;
    int chan;
    int dsp1;
    int dsp2;
    bool eq_fits;        // one more EQ filter
    bool crossover_fits; // one more crossover side (outputs only)
    int opened_on;       // where the pool puts a filter it opens
    int read_on;         // where the image reader puts one
};

const LoadCase kLoadCases[] = {
    {"In A, one unit left on DSP-1", CHAN_IN_A, 17, 0, true, true, 0, 0},
    {"In A, DSP-1 full", CHAN_IN_A, 18, 0, false, false, 0, 0},
    {"In B, DSP-1 full", CHAN_IN_B, 18, 0, false, false, 0, 0},
    {"Out 1, DSP-1 full, DSP-2 empty", 0, 18, 0, false, false, 0, 0},
    {"Out 2, DSP-2 full does not matter", 1, 17, 20, true, true, 0, 0},
    {"Out 3, one unit left in both", 2, 18, 19, true, true, 1, 1},
    {"Out 3, both full", 2, 18, 20, false, false, 1, 0},
    {"Out 4, DSP-2 full spills onto DSP-1", 3, 0, 20, true, false, 1, 0},
    {"Out 5, DSP-2 past full: both place on DSP-1", 4, 0, 21, true, false, 0, 0},
    {"Out 6, spilled over until both are full", 5, 17, 21, false, false, 0, 0},
};

TEST(DspRules, RoomAndPlacementByLoad) {
    for (const LoadCase& c : kLoadCases) {
        SCOPED_TRACE(c.what);
        const CDSDATA m = Loaded(c.dsp1, c.dsp2);
        ASSERT_EQ(m.CalDSP1(), c.dsp1);
        ASSERT_EQ(m.CalDSP2(), c.dsp2);
        EXPECT_EQ(kvcom::EqFilterFits(m, c.chan), c.eq_fits);
        if (kvcom::IsOutputChannel(c.chan)) EXPECT_EQ(kvcom::CrossoverSideFits(m, c.chan), c.crossover_fits);
        EXPECT_EQ(kvcom::DspForOpenedFilter(m, c.chan), c.opened_on);
        EXPECT_EQ(kvcom::DspForReadFilter(m, c.chan), c.read_on);
    }
}

TEST(DspRules, HomeOfEachChannel) {
    const struct {
        int chan;
        int home;
    } cases[] = {{CHAN_IN_A, 0}, {CHAN_IN_B, 0}, {0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 1}};
    for (const auto& c : cases) EXPECT_EQ(kvcom::HomeDsp(c.chan), c.home) << c.chan;
}

}  // namespace
