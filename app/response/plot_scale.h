// The axes of the response plot, as plain numbers: where the frequency grid
// lines go on the log axis and which carry a label, the value grid lines of
// the level, phase and delay panes, and the ranges those panes show.
#pragma once

#include <string>
#include <vector>

namespace response {

struct Tick {
    double value;
    std::string label;  // empty: a grid line without a label
};

// 0 at lo, 1 at hi, logarithmic.
double LogPosition(double hz, double lo_hz, double hi_hz);

// The frequency nearest to a position 0..1 on the log axis.
double FrequencyAt(double position, double lo_hz, double hi_hz);

// Lines at 1..9 x 10^k Hz within [lo, hi]; labels at 1, 2 and 5 x 10^k
// ("20", "500", "1k", "20k").
std::vector<Tick> FrequencyTicks(double lo_hz, double hi_hz);

// Lines at the multiples of a step of 1, 2 or 5 x 10^k within [lo, hi], the
// smallest step giving at most max_lines lines; every line labelled.
std::vector<Tick> ValueTicks(double lo, double hi, int max_lines);

// Lines at multiples of 90 degrees times a power of 2, the smallest giving
// at most max_lines lines over [lo, hi].
std::vector<Tick> PhaseTicks(double lo, double hi, int max_lines);

struct Span {
    double lo, hi;
    bool operator==(const Span&) const = default;
};

// The level pane: 60 dB down from the next multiple of 6 dB at least 3 dB
// above the highest level shown (0 dB with nothing shown).
Span LevelSpan(double highest_db);

// The delay pane: from the lowest to the highest delay shown, widened to
// whole steps of a 1-2-5 series, at least 1 ms high and always holding 0.
Span DelaySpan(double lowest_ms, double highest_ms);

// The phase pane: -180..180 wrapped; unwrapped the lowest and highest phase
// shown widened to whole multiples of 90 degrees, at least 360 high.
Span PhaseSpan(bool unwrapped, double lowest_deg, double highest_deg);

}  // namespace response
