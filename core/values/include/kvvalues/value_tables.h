// The fixed tables behind the device's indexed values: frequency rows, the
// frequencies of the response-graph points, EQ gains and the filter type
// names. All of it is constant data, read-only for the life of the program.
#pragma once

#include <array>

namespace kvvalues {

// One row of the frequency table. Rows 0 and 201 ("Out") mean the filter is
// switched out at the bottom or top end; their values serve only the graph.
struct FreqRow {
    double hz;
    const char* label;  // 8 characters, or "Out"
};

inline constexpr int kFreqRows = 202;
inline constexpr int kFreqRowFirst = 1;   // lowest real frequency row (15 Hz)
inline constexpr int kFreqRowLast = 200;  // highest real frequency row (16 kHz)
inline constexpr int kFreqRow1k = 120;    // 1000 Hz

inline constexpr int kGraphPoints = 395;

inline constexpr int kEqGainSteps = 61;  // index 0..60, 30 = 0 dB
inline constexpr int kEqGainZero = 30;
inline constexpr int kEqWidthSteps = 60;  // index 0..59
inline constexpr int kXoverTypes = 10;
inline constexpr int kEqTypes = 5;

// Frequency rows 0..201; rows 1..200 run from 15 Hz to 16 kHz in roughly
// 1/20-octave steps.
extern const std::array<FreqRow, kFreqRows> FreqIndexTable;

// The frequencies (Hz) of the 395 points of every response curve, about 36
// points per octave from 10 Hz to 20.2 kHz.
extern const std::array<double, kGraphPoints> GraphFreqSeries;

// EQ gain in dB for index 0..60: index * 0.5 - 15.
extern const std::array<double, kEqGainSteps> EqGainTable;

struct XoverTypeName {
    const char* long_name;   // crossover editor's list
    const char* short_name;  // channel pages
};

// Crossover filter types 0..9 (6 dB Butterworth .. 48 dB Linkwitz-Riley).
extern const std::array<XoverTypeName, kXoverTypes> XoverTypeNames;

// EQ filter types 0..4: "Low 6", "Low 12", "Bell", "High 6", "High 12".
extern const std::array<const char*, kEqTypes> EqTypeNames;

// Label of a frequency row; rows outside 0..201 are clamped into it.
const char* FreqLabel(int row);

// Index of the first graph point whose frequency is at least hz: 0 when the
// first point already is, 395 when none is.
int GraphPointForFrequency(double hz);

// EQ width in octaves for width index 0..59: (index + 1) * 0.05.
double EqWidthOctaves(int index);

}  // namespace kvvalues
