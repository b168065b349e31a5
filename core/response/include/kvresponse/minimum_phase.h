// The phase a minimum-phase system with a given level response has: what a
// measured driver without a phase column is taken to have. Bode's relation
// of phase to level slope over log frequency, with the level resampled at
// 1/48 octave and linear between; beyond the measured range the level goes
// on with the slope of its last third of an octave (at most 48 dB per
// octave), as a driver's roll-off does.
#pragma once

#include <vector>

namespace kvresponse {

// Phase in degrees (unwrapped) at each of the rising frequencies hz (above
// 0), for the levels db there.
std::vector<double> MinimumPhaseDegrees(const std::vector<double>& hz, const std::vector<double>& db);

}  // namespace kvresponse
