// The EQ filters of one channel: what the response graph sums and what a
// channel's EQ page lists, as plain indices.
#pragma once

#include <array>

class CDSDATA;

namespace kvvalues {

// One parametric EQ filter: type 0..4 (EqTypeNames), frequency row 1..200,
// gain index 0..60 (EqGainTable), width index 0..59 (used by the bell only).
struct EqEntry {
    int type;
    int freq_row;
    int gain_index;
    int width_index;
};

inline constexpr int kEqSetSize = 20;
using EqSet = std::array<EqEntry, kEqSetSize>;

// The graph's starting set: every entry type 0 at row 120 with 0 dB gain and
// width index 3; at 0 dB an entry adds nothing.
EqSet FlatEqSet();

// The pool rows 0..38 that chan (a channel code) owns, in pool order, at
// most kEqSetSize; the rest are flat bells at 1 kHz.
EqSet ChannelEqSet(const CDSDATA& model, int chan);

}  // namespace kvvalues
