// The DSP budget. The unit runs its filters on two DSPs: the first carries
// the inputs, Out 1 and Out 2, the second Out 3 to Out 6. Each filter and
// crossover side in use takes load units (CDSDATA::CalDSP1, CalDSP2), and
// a DSP that is full takes no more.
#pragma once

class CDSDATA;

namespace tables {

// Load units each DSP can carry.
inline constexpr int kDsp1Room = 18;
inline constexpr int kDsp2Room = 20;

// Whether there is room for one more EQ filter on chan (a channel code).
// The inputs, Out 1 and Out 2 need room on the first DSP; Out 3 to Out 6
// may spill over from the second onto the first, so room on either will do.
bool DspBudgetAllows(const CDSDATA& model, int chan);

}  // namespace tables
