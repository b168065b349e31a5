#include "program_compare.h"

#include <gtest/gtest.h>

#include <string>

namespace kvtest {

std::vector<ChannelFilter> ChannelFilters(const CDSDATA& m, int channel) {
    const int* slots = channel == CHAN_IN_A   ? m.ina_eq_slot
                       : channel == CHAN_IN_B ? m.inb_eq_slot
                                              : m.out_eq_slot[channel];
    std::vector<ChannelFilter> out;
    for (int s = 0; s < KV_POOL_ROWS; ++s) {
        const int r = slots[s];
        if (r >= 0 && r < KV_POOL_ROWS) out.emplace_back(m.eq_type[r], m.eq_freq[r], m.eq_gain[r], m.eq_bw[r]);
    }
    return out;
}

void ExpectSameSetting(const CDSDATA& got, const CDSDATA& want) {
    EXPECT_EQ(got.figuration, want.figuration);
    EXPECT_EQ(got.link_on, want.link_on);
    EXPECT_EQ(got.ina_delay, want.ina_delay);
    EXPECT_EQ(got.inb_delay, want.inb_delay);
    EXPECT_EQ(got.sum_delay, want.sum_delay);
    EXPECT_EQ(got.eq_used, want.eq_used);
    for (int k = 0; k < KV_OUTPUTS; ++k) {
        SCOPED_TRACE("Out " + std::to_string(k + 1));
        EXPECT_EQ(got.out_gain[k], want.out_gain[k]);
        EXPECT_EQ(got.out_mute[k], want.out_mute[k]);
        EXPECT_EQ(got.out_polarity[k], want.out_polarity[k]);
        EXPECT_EQ(got.out_limit[k], want.out_limit[k]);
        EXPECT_EQ(got.out_delay[k], want.out_delay[k]);
        EXPECT_EQ(got.out_source[k], want.out_source[k]);
        EXPECT_EQ(got.out_name[k], want.out_name[k]);
        for (int side = 0; side < 2; ++side) {
            EXPECT_EQ(got.xo_freq[k][side], want.xo_freq[k][side]) << "side " << side;
            EXPECT_EQ(got.xo_type[k][side], want.xo_type[k][side]) << "side " << side;
        }
    }
    for (int ch : {0, 1, 2, 3, 4, 5, CHAN_IN_A, CHAN_IN_B})
        EXPECT_EQ(ChannelFilters(got, ch), ChannelFilters(want, ch)) << "channel " << ch;
}

}  // namespace kvtest
