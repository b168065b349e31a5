#include "response/plot_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace response {

namespace {

std::string NumberText(double value, double step) {
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value == 0 ? 0.0 : value);
    return text;
}

std::string FrequencyText(double hz) {
    char text[16];
    if (hz >= 1000)
        std::snprintf(text, sizeof text, "%gk", hz / 1000);
    else
        std::snprintf(text, sizeof text, "%g", hz);
    return text;
}

// The smallest 1-2-5 step that gives at most max_lines lines over span.
double NiceStep(double span, int max_lines) {
    const double raw = span / std::max(max_lines - 1, 1);
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * decade >= raw * (1 - 1e-9)) return m * decade;
    return 10 * decade;
}

}  // namespace

double LogPosition(double hz, double lo_hz, double hi_hz) { return std::log(hz / lo_hz) / std::log(hi_hz / lo_hz); }

double FrequencyAt(double position, double lo_hz, double hi_hz) {
    return lo_hz * std::exp(position * std::log(hi_hz / lo_hz));
}

std::vector<Tick> FrequencyTicks(double lo_hz, double hi_hz) {
    std::vector<Tick> ticks;
    for (double decade = std::pow(10.0, std::floor(std::log10(lo_hz))); decade <= hi_hz; decade *= 10)
        for (int m = 1; m <= 9; ++m) {
            const double hz = m * decade;
            if (hz < lo_hz * (1 - 1e-9) || hz > hi_hz * (1 + 1e-9)) continue;
            ticks.push_back({hz, m == 1 || m == 2 || m == 5 ? FrequencyText(hz) : std::string()});
        }
    return ticks;
}

std::vector<Tick> ValueTicks(double lo, double hi, int max_lines) {
    std::vector<Tick> ticks;
    if (!(hi > lo)) return ticks;
    const double step = NiceStep(hi - lo, max_lines);
    for (double v = std::ceil(lo / step - 1e-9) * step; v <= hi + step * 1e-9; v += step) {
        const double snapped = std::round(v / step) * step;
        ticks.push_back({snapped, NumberText(snapped, step)});
    }
    return ticks;
}

std::vector<Tick> PhaseTicks(double lo, double hi, int max_lines) {
    std::vector<Tick> ticks;
    if (!(hi > lo)) return ticks;
    double step = 90;
    while ((hi - lo) / step + 1 > max_lines) step *= 2;
    for (double v = std::ceil(lo / step) * step; v <= hi; v += step) ticks.push_back({v, NumberText(v, step)});
    return ticks;
}

Span LevelSpan(double highest_db) {
    if (!std::isfinite(highest_db)) highest_db = -3;
    const double top = std::ceil((highest_db + 3) / 6) * 6;
    return {top - 60, top};
}

Span DelaySpan(double lowest_ms, double highest_ms) {
    if (!std::isfinite(lowest_ms) || !std::isfinite(highest_ms)) return {0, 1};
    double lo = std::min(lowest_ms, 0.0), hi = std::max(highest_ms, 0.0);
    if (hi - lo < 1) hi = lo + 1;
    const double step = NiceStep(hi - lo, 6);
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step};
}

Span PhaseSpan(bool unwrapped, double lowest_deg, double highest_deg) {
    if (!unwrapped) return {-180, 180};
    if (!std::isfinite(lowest_deg) || !std::isfinite(highest_deg)) return {-180, 180};
    double lo = std::floor(lowest_deg / 90) * 90, hi = std::ceil(highest_deg / 90) * 90;
    if (hi - lo < 360) {
        const double grow = (360 - (hi - lo)) / 2;
        lo -= std::ceil(grow / 90) * 90;
        hi = lo + std::max(360.0, hi - lo);
    }
    return {lo, hi};
}

}  // namespace response
