// A driver's measured response, from the text exports of measuring
// programs: one point a line, frequency in Hz, level in dB and phase in
// degrees, separated by blanks, tabs or commas; text from "*" or ";" to the
// end of the line is a comment. The two-column form (no phase) is read too:
// its phase is then the minimum phase of its level.
//
// The predicted acoustic response of an output is its measurement times its
// electrical transfer; between the measured points the level and the
// phase follow the cubic through the two neighbours with the slopes there
// (so the group delay is smooth, and exact for a pure delay), and outside
// the measured range the response is unknown.
#pragma once

#include <kvcore/refusal.h>

#include <string>
#include <string_view>
#include <vector>

#include "kvresponse/transfer.h"

namespace kvresponse {

inline constexpr std::size_t kMinMeasuredPoints = 10;
inline constexpr std::size_t kMaxMeasurementBytes = 32u << 20;
inline constexpr double kMaxMeasuredHz = 1e7;  // far beyond audio, and far from a double's limits

struct Measurement {
    std::vector<double> hz;  // rising, above 0
    std::vector<double> db;
    std::vector<double> deg;     // unwrapped (a column within +-180 degrees is taken as wrapped)
    bool phase_measured = true;  // false: the minimum phase of the level
};

// The whole text, or the refusal with place "line N" and the reason: a
// field that is not a number, a line with other than 2 or 3 numbers or
// another count than the lines before, a frequency not above 0, above
// 10 MHz or not above the one before, fewer than kMinMeasuredPoints points
// (placed at the last line). Nothing of a refused text is taken.
kvcore::Result<Measurement> ParseMeasurement(std::string_view text);

// The file at path, parsed; refused also when it cannot be read or is
// larger than kMaxMeasurementBytes (then place is empty).
kvcore::Result<Measurement> ReadMeasurementFile(const std::string& path);

// The measurement on the frequencies (rising): H is NaN outside the
// measured range.
Transfer MeasuredTransfer(const Measurement& m, const std::vector<double>& hz);

}  // namespace kvresponse
