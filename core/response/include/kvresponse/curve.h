// What a transfer looks like to the user: level in dB, phase in degrees
// (wrapped and unwrapped) and group delay in milliseconds, per frequency,
// on a logarithmic grid of frequencies.
#pragma once

#include <cstddef>
#include <vector>

#include "kvresponse/transfer.h"

namespace kvresponse {

inline constexpr double kLowestHz = 10;
inline constexpr double kHighestHz = 20000;

// `points` frequencies from lo to hi (both included), equally spaced on a
// logarithmic axis; one point gives lo.
std::vector<double> LogGrid(double lo, double hi, std::size_t points);

// Values are NaN where they are not defined: all four where the transfer is
// unknown (outside a measured range), the phase and group delay where it is
// zero (there db is -infinity: a muted output, an exact notch).
struct Curve {
    std::vector<double> db;
    std::vector<double> deg;            // wrapped into (-180, 180]
    std::vector<double> deg_unwrapped;  // continuous along the frequencies
    std::vector<double> gd_ms;
};

Curve CurveOf(const Transfer& t, const std::vector<double>& hz);

}  // namespace kvresponse
