// Channel codes: what cur_chan and eq_owner hold (0..5 the outputs, CHAN_IN_A
// and CHAN_IN_B the inputs), how they appear as a message's selector byte,
// which list of the model holds a channel's EQ slots, and on which of the
// unit's two DSPs a channel's filters run.
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

// The unit runs its filters on two DSPs. The first carries the inputs, Out 1
// and Out 2; the second Out 3 to Out 6, whose filters spill over onto the
// first when the second is full. Each EQ filter in use costs one load unit on
// the DSP it runs on (eq_dsp), each crossover side switched in two, or four
// for the 48 dB types (CDSDATA::CalDSP1, CalDSP2).
inline constexpr int kFirstDsp = 0;
inline constexpr int kSecondDsp = 1;
// Load units each DSP can carry.
inline constexpr int kFirstDspRoom = 18;
inline constexpr int kSecondDspRoom = 20;

// The DSP a channel's filters run on while there is room there.
inline constexpr int HomeDsp(int chan) { return IsOutputChannel(chan) && chan >= 2 ? kSecondDsp : kFirstDsp; }

// The unit places a filter by the second DSP's load, and the two ways a
// filter comes into being draw the line one unit apart; both are what the
// unit does and both stay as they are:
// - a filter the EQ pool opens goes to the second DSP while its load is 20
//   or less;
// - a filter read from a program image (a file, an Upload, a recall) goes
//   there while its load is below 20.
// Channels whose home is the first DSP always stay on it.
int DspForOpenedFilter(const CDSDATA& m, int chan);
int DspForReadFilter(const CDSDATA& m, int chan);

// Whether one more EQ filter fits for chan: the first DSP's channels need
// room on the first; Out 3 to Out 6 may spill over, so room on either does.
bool EqFilterFits(const CDSDATA& m, int chan);
// Whether a crossover side of output `out` may be switched in: its own DSP
// must have room (a crossover never spills over).
bool CrossoverSideFits(const CDSDATA& m, int out);

}  // namespace kvcom
