// The pages' units: step scales of the stored values, the numbers the pages
// show for them, and typed numbers with their unit words.
//
// Two rules turn a typed number into steps, on purpose:
// - the windows (text_conversions.h) follow the pages: the number is
//   truncated toward zero and limited to the range, so "-2.39" in the gain
//   edit gives -2.2 dB and "99" gives +15.0 dB;
// - settings written as text or JSON (kvctl set, the JSON importer, the
//   remote server) take the nearest step and refuse what lies out of range,
//   so "-2.39" gives -2.4 dB and "99" is refused: a script must never set
//   something other than what it asked for without being told.
// The table in tests/unit/values/test_typed_rules.cpp shows both on the same
// inputs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvvalues::units {

// A stored step count and its number in the page's unit:
// number = (steps + zero) / per_unit.
enum class Quantity { OutGain, Limit, EqGain, EqWidth, Delay };

struct Scale {
    Quantity quantity;
    int lo, hi;
    int zero;
    int per_unit;
};

inline constexpr Scale kOutGain{Quantity::OutGain, -75, 75, 0, 5};  // 0.2 dB steps
inline constexpr Scale kLimit{Quantity::Limit, -50, 100, 0, 5};     // 0.2 dBu steps
inline constexpr Scale kEqGain{Quantity::EqGain, 0, 60, -30, 2};    // 0.5 dB steps, 30 = 0 dB
inline constexpr Scale kEqWidth{Quantity::EqWidth, 0, 59, 1, 20};   // 0.05 octave steps
inline constexpr Scale kDelay{Quantity::Delay, 0, 30500, 0, 48};    // 1/48 ms steps

// The page's text of a step count ("-2.4 dB", "+4.0 dBu", "0.30 Oct").
std::string StepText(const Scale& s, int steps);

// The exact decimal the page shows (a delay to three decimals, as shown).
double NumberOf(const Scale& s, int steps);
// The nearest step, or nullopt when it lies outside the scale.
std::optional<int> StepsOf(const Scale& s, double number);

// Frequency table rows: Hz of a row, and the nearest row lo..hi to a
// frequency (by ratio), or nullopt when it lies more than half a row's
// spacing beyond the ends.
double HzOf(int row);
std::optional<int> RowOf(double hz, int lo, int hi);
// "15.0 Hz" .. "16.0k Hz", "Out" (the page's label without its padding).
std::string FreqText(int row);

// A typed value: its leading decimal number and the rest as a lower-case
// word without blanks ("-2.4dB" -> -2.4, "db"). nullopt without a number.
struct Typed {
    double number;
    std::string unit;
};
std::optional<Typed> SplitTyped(std::string_view text);

// Lower-case letters and digits only: "L-R 24" -> "lr24".
std::string Folded(std::string_view text);

// Text of a range for refusals: "-15.0 dB to +15.0 dB".
std::string RangeText(const Scale& s);

}  // namespace kvvalues::units
