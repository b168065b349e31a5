// The unit's signal paths as transfers, from a program (CDSDATA):
//
//   In A:  its EQ filters and delay
//   In B:  the same
//   In SUM A+B: the paths of In A and In B added, then its own delay
//   Out n: its source's path, then high-pass, low-pass, EQ filters, gain,
//          polarity, mute and delay
//
// Every input carries the same signal, so outputs fed by different inputs
// can be summed too. Nothing here constructs a CDSDATA.
#pragma once

#include <kvcom/kvcom.h>

#include <array>
#include <vector>

#include "kvresponse/transfer.h"

namespace kvresponse {

// out_source values.
enum Source { kInA = 0, kInB = 1, kInSum = 2 };
inline constexpr int kSources = 3;

// The filters and delay of In A (kInA) or In B (kInB).
Chain InputChain(const CDSDATA& m, Source input);

// Crossover, EQ, gain, polarity, mute and delay of output 0..5.
Chain OutputChain(const CDSDATA& m, int output);

// The output's source, 0..2 (a value outside it is taken as In A).
Source OutputSource(const CDSDATA& m, int output);

// The three sources' paths, indexed by Source.
using SourcePaths = std::array<Transfer, kSources>;
SourcePaths SourceTransfers(const CDSDATA& m, const std::vector<double>& hz);

// Output 0..5 from its source: the electrical transfer.
Transfer OutputTransfer(const CDSDATA& m, int output, const SourcePaths& sources, const std::vector<double>& hz);

// Whether two programs have the same signal paths: every setting the
// transfers above read (sources, gains, mutes, polarities, delays,
// crossovers, the EQ pool's values and the channels' slot lists). A window
// that follows a model computes again only when this turns false.
bool SameSignalPath(const CDSDATA& a, const CDSDATA& b);

// The outputs (0..5) fed by each input, In A first, then In B and In SUM
// A+B; inputs that feed none are left out. "2 Channel 3 Way" as the factory
// sets it up gives {0, 2, 4} and {1, 3, 5}.
std::vector<std::vector<int>> SourceGroups(const CDSDATA& m);

}  // namespace kvresponse
