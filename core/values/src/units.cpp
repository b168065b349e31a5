#include "kvvalues/units.h"

#include <charconv>
#include <cmath>

#include "kvvalues/text_conversions.h"
#include "kvvalues/value_tables.h"

namespace kvvalues::units {

double NumberOf(const Scale& s, int steps) {
    if (s.quantity == Quantity::Delay) {
        // The page's delay text, which uses the unit's own step length.
        return std::round(steps * 0.020833344 * 1000.0) / 1000.0;
    }
    return static_cast<double>(steps + s.zero) / s.per_unit;
}

std::optional<int> StepsOf(const Scale& s, double number) {
    if (!std::isfinite(number)) return std::nullopt;
    const double steps = std::round(number * s.per_unit) - s.zero;
    if (steps < s.lo || steps > s.hi) return std::nullopt;
    return static_cast<int>(steps);
}

double HzOf(int row) { return kvvalues::FreqIndexTable[row].hz; }

std::optional<int> RowOf(double hz, int lo, int hi) {
    if (!std::isfinite(hz) || hz <= 0) return std::nullopt;
    // Rows are about 1/20 octave apart; half of that beyond the ends is
    // still the end row.
    const double half_row = std::exp2(1.0 / 40.0);
    if (hz < HzOf(lo) / half_row || hz > HzOf(hi) * half_row) return std::nullopt;
    int best = lo;
    for (int r = lo; r <= hi; ++r)
        if (std::fabs(std::log(hz / HzOf(r))) < std::fabs(std::log(hz / HzOf(best)))) best = r;
    return best;
}

std::string FreqText(int row) {
    std::string label = kvvalues::FreqLabel(row);
    const auto first = label.find_first_not_of(' ');
    return first == std::string::npos ? label : label.substr(first);
}

std::optional<Typed> SplitTyped(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double number = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), number);
    if (res.ec != std::errc{}) return std::nullopt;
    return Typed{number, Folded(std::string_view(res.ptr, text.data() + text.size() - res.ptr))};
}

std::string Folded(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c >= 'A' && c <= 'Z')
            out += static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out += c;
    }
    return out;
}

std::string StepText(const Scale& s, int steps) {
    switch (s.quantity) {
    case Quantity::OutGain: return kvvalues::FormatLevel(steps);
    case Quantity::Limit: return kvvalues::FormatLimit(steps);
    case Quantity::EqGain: return kvvalues::FormatEqGain(steps);
    case Quantity::EqWidth: return kvvalues::FormatEqWidth(steps);
    case Quantity::Delay: break;
    }
    return kvvalues::FormatDelay(steps);
}

std::string RangeText(const Scale& s) { return StepText(s, s.lo) + " to " + StepText(s, s.hi); }

}  // namespace kvvalues::units
