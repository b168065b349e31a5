// The programs the System response benchmarks compute: "2 Channel 3 Way"
// as the factory sets it up with its outputs open, and the same with every
// EQ filter of the pool in use and every crossover at 48 dB per octave.
#pragma once

#include <kvcom/kvcom.h>

namespace bench {

inline void OpenThreeWay(CDSDATA& m) {
    m.figuration = 1;
    m.InitData();
    for (int n = 0; n < KV_OUTPUTS; ++n) m.out_mute[n] = 0;
}

// Every assignable pool row a bell, spread over the eight channels.
inline void LoadEveryFilter(CDSDATA& m) {
    const int channels[] = {CHAN_IN_A, CHAN_IN_B, 0, 1, 2, 3, 4, 5};
    int used[8] = {};
    for (int row = 0; row < KV_DEFAULT_ROW; ++row) {
        const int c = row % 8;
        const int chan = channels[c];
        m.eq_owner[row] = chan;
        m.eq_type[row] = 2;
        m.eq_freq[row] = 20 + 5 * row;
        m.eq_gain[row] = 20 + row % 20;
        m.eq_bw[row] = row % 40;
        int* slot_list = chan == CHAN_IN_A ? m.ina_eq_slot : chan == CHAN_IN_B ? m.inb_eq_slot : m.out_eq_slot[chan];
        slot_list[used[c]++] = row;
    }
    for (int n = 0; n < KV_OUTPUTS; ++n) m.xo_type[n][0] = m.xo_type[n][1] = 8;  // Butterworth 48
}

}  // namespace bench
