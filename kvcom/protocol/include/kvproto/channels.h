// Channel codes: what cur_chan and eq_owner hold (0..5 the outputs, CHAN_IN_A
// and CHAN_IN_B the inputs), how they appear as a message's selector byte,
// and which list of the model holds a channel's EQ slots.
#pragma once

#include <kvcom/kvcom.h>

namespace kvcom {

// Selector byte of a parameter message for each channel, and of In SUM A+B
// (which has a delay but no EQ, so no channel code of its own).
inline constexpr int kSelectorOut1 = 0x60;
inline constexpr int kSelectorInA = CHAN_IN_A;
inline constexpr int kSelectorInB = CHAN_IN_B;
inline constexpr int kSelectorSum = 0x22;

inline constexpr bool IsOutputChannel(int chan) { return chan >= 0 && chan < KV_OUTPUTS; }
inline constexpr bool IsInputChannel(int chan) { return chan == CHAN_IN_A || chan == CHAN_IN_B; }
// A channel that can own EQ filters.
inline constexpr bool IsEqChannel(int chan) { return IsOutputChannel(chan) || IsInputChannel(chan); }

// The selector byte that addresses channel `chan`, or -1 when it names none.
inline constexpr int ChannelSelector(int chan) {
    if (IsOutputChannel(chan)) return kSelectorOut1 + chan;
    return IsInputChannel(chan) ? chan : -1;
}

// The channel a selector (or a filter record's owner byte) names, or -1 when
// it names none (In SUM A+B, the whole device, anything else).
inline constexpr int ChannelFromSelector(int selector) {
    if (selector >= kSelectorOut1 && selector < kSelectorOut1 + KV_OUTPUTS) return selector - kSelectorOut1;
    return IsInputChannel(selector) ? selector : -1;
}

// The slot list of channel `chan`: the pool rows of its EQ filters in slot
// order, -1 after the last (ina_eq_slot, inb_eq_slot or out_eq_slot[n]).
// nullptr when `chan` is no channel with EQ.
int* EqSlotList(CDSDATA& m, int chan);
const int* EqSlotList(const CDSDATA& m, int chan);

}  // namespace kvcom
