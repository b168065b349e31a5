// Curves as a table of text, the same from the window's CSV export and
// `kvctl response --csv`: one row per frequency, three columns per curve.
// Numbers are written with a decimal point under any locale.
#pragma once

#include <string>
#include <vector>

#include "kvresponse/curve.h"

namespace kvresponse {

// The decimals of each quantity in tables and JSON: 0.001 Hz, 0.001 dB,
// 0.01 degree, 0.1 microsecond.
inline constexpr int kHzDecimals = 3;
inline constexpr int kDbDecimals = 3;
inline constexpr int kDegDecimals = 2;
inline constexpr int kMsDecimals = 4;

struct TableColumn {
    std::string key;  // "out1", "sum": the columns are key_db, key_deg, key_gd_ms
    const Curve* curve;
};

// "hz,out1_db,out1_deg,out1_gd_ms,..." then one line per frequency; a value
// that is not finite (a muted output's level, an unknown range) is left
// empty. The phase is the wrapped one.
std::string ResponseCsv(const std::vector<double>& hz, const std::vector<TableColumn>& columns);

// The value with `decimals` decimals, as text ("-3.010"); empty when not
// finite.
std::string FixedText(double value, int decimals);

// The value rounded to `decimals` decimals (for JSON numbers).
double Rounded(double value, int decimals);

}  // namespace kvresponse
