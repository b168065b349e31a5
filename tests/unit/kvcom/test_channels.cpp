// Channel codes of the protocol layer: which codes are channels, their
// selector bytes, and the slot list that holds each channel's EQ slots.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include "kvproto/channels.h"

namespace {

TEST(Channels, CodesSelectorsAndSlotLists) {
    CDSDATA m;
    const CDSDATA& cm = m;
    struct Case {
        int chan;
        bool output, input;
        int selector;
        const int* slots;
    };
    const Case cases[] = {
        {0, true, false, 0x60, m.out_eq_slot[0]},
        {5, true, false, 0x65, m.out_eq_slot[5]},
        {CHAN_IN_A, false, true, 0x20, m.ina_eq_slot},
        {CHAN_IN_B, false, true, 0x21, m.inb_eq_slot},
        {-1, false, false, -1, nullptr},    // none
        {6, false, false, -1, nullptr},     // one past the outputs
        {0x22, false, false, -1, nullptr},  // In SUM A+B has no EQ
        {0x60, false, false, -1, nullptr},  // a selector is no channel code
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chan);
        EXPECT_EQ(kvcom::IsOutputChannel(c.chan), c.output);
        EXPECT_EQ(kvcom::IsInputChannel(c.chan), c.input);
        EXPECT_EQ(kvcom::IsEqChannel(c.chan), c.output || c.input);
        EXPECT_EQ(kvcom::ChannelSelector(c.chan), c.selector);
        if (c.selector >= 0) {
            EXPECT_EQ(kvcom::ChannelFromSelector(c.selector), c.chan);
        }
        EXPECT_EQ(kvcom::EqSlotList(m, c.chan), c.slots);
        EXPECT_EQ(kvcom::EqSlotList(cm, c.chan), c.slots);
    }
    // Selectors that name no channel: the whole device, In SUM A+B, past Out 6.
    for (int selector : {0x01, 0x22, 0x5F, 0x66, 0x7F}) EXPECT_EQ(kvcom::ChannelFromSelector(selector), -1) << selector;
}

}  // namespace
