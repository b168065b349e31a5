#include "kvresponse/measurement.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <numbers>
#include <optional>
#include <sstream>

#include "kvresponse/minimum_phase.h"

namespace kvresponse {

namespace {

using kvcore::Refusal;

std::string Place(std::size_t line) { return "line " + std::to_string(line); }

// "100", "3.5e2": the number a field holds, or nothing (words, "nan", "inf"
// and numbers with something after them).
std::optional<double> FieldNumber(std::string_view field) {
    if (!field.empty() && field.front() == '+') field.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    auto separator = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\v' || c == '\f'; };
    while (i < line.size()) {
        while (i < line.size() && separator(line[i])) ++i;
        const std::size_t begin = i;
        while (i < line.size() && !separator(line[i])) ++i;
        if (i > begin) fields.push_back(line.substr(begin, i - begin));
    }
    return fields;
}

std::string Shown(double hz) {
    std::ostringstream s;
    s << hz;
    return s.str();
}

// The slope of y over x at each point, from it and its neighbours (exact
// for a parabola through the three); one-sided at the ends.
std::vector<double> NodeSlopes(const std::vector<double>& x, const std::vector<double>& y) {
    const std::size_t n = x.size();
    std::vector<double> d(n);
    d[0] = (y[1] - y[0]) / (x[1] - x[0]);
    d[n - 1] = (y[n - 1] - y[n - 2]) / (x[n - 1] - x[n - 2]);
    for (std::size_t k = 1; k + 1 < n; ++k) {
        const double h0 = x[k] - x[k - 1], h1 = x[k + 1] - x[k];
        d[k] = (h0 * h0 * (y[k + 1] - y[k]) + h1 * h1 * (y[k] - y[k - 1])) / (h0 * h1 * (h0 + h1));
    }
    return d;
}

// The cubic through two neighbouring points with the slopes there, and its
// slope, at x within [x[k], x[k + 1]]: smooth, so the group delay has no
// steps, and exact for a straight line (a pure delay).
struct Hermite {
    double value, slope;
};
Hermite Interpolate(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& d,
                    std::size_t k, double at) {
    const double h = x[k + 1] - x[k], t = (at - x[k]) / h;
    const double t2 = t * t, t3 = t2 * t;
    const double value = (2 * t3 - 3 * t2 + 1) * y[k] + (t3 - 2 * t2 + t) * h * d[k] + (3 * t2 - 2 * t3) * y[k + 1] +
                         (t3 - t2) * h * d[k + 1];
    const double slope =
        ((6 * t2 - 6 * t) * (y[k] - y[k + 1])) / h + (3 * t2 - 4 * t + 1) * d[k] + (3 * t2 - 2 * t) * d[k + 1];
    return {value, slope};
}

// A phase column within +-180 degrees throughout is wrapped: each phase is
// moved by whole turns to lie within half a turn of the one before. One
// that goes beyond is unwrapped already (steps of more than half a turn
// between points, as a long delay has high up, stay as they are).
void Unwrap(std::vector<double>& deg) {
    if (std::any_of(deg.begin(), deg.end(), [](double d) { return std::abs(d) > 180; })) return;
    for (std::size_t i = 1; i < deg.size(); ++i) deg[i] -= 360 * std::round((deg[i] - deg[i - 1]) / 360);
}

}  // namespace

kvcore::Result<Measurement> ParseMeasurement(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark
    Measurement m;
    std::size_t columns = 0;
    std::size_t line_number = 0;
    while (!text.empty()) {
        ++line_number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = line.substr(0, line.find_first_of("*;"));
        const auto fields = Fields(line);
        if (fields.empty()) continue;
        std::vector<double> values;
        for (std::string_view f : fields) {
            const auto v = FieldNumber(f);
            if (!v) return Refusal{Place(line_number), "'" + std::string(f) + "' is not a number"};
            values.push_back(*v);
        }
        if (values.size() != 2 && values.size() != 3)
            return Refusal{Place(line_number), std::to_string(values.size()) +
                                                   " numbers; a line holds frequency (Hz), level (dB) and phase "
                                                   "(degrees), or frequency and level"};
        if (columns == 0) columns = values.size();
        if (values.size() != columns)
            return Refusal{Place(line_number), std::to_string(values.size()) + " numbers where the lines before have " +
                                                   std::to_string(columns)};
        if (values[0] <= 0) return Refusal{Place(line_number), "frequency " + Shown(values[0]) + " Hz is not above 0"};
        if (values[0] > kMaxMeasuredHz)
            return Refusal{Place(line_number), "frequency " + Shown(values[0]) + " Hz is above 10 MHz"};
        if (!m.hz.empty() && values[0] <= m.hz.back())
            return Refusal{Place(line_number),
                           "frequencies not rising: " + Shown(values[0]) + " Hz after " + Shown(m.hz.back()) + " Hz"};
        m.hz.push_back(values[0]);
        m.db.push_back(values[1]);
        if (columns == 3) m.deg.push_back(values[2]);
    }
    if (m.hz.size() < kMinMeasuredPoints)
        return Refusal{line_number > 0 ? Place(line_number) : "",
                       std::to_string(m.hz.size()) + (m.hz.size() == 1 ? " point" : " points") + "; at least " +
                           std::to_string(kMinMeasuredPoints) + " are needed"};
    if (columns == 3) {
        Unwrap(m.deg);
    } else {
        m.deg = MinimumPhaseDegrees(m.hz, m.db);
        m.phase_measured = false;
    }
    return m;
}

kvcore::Result<Measurement> ReadMeasurementFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Refusal{"", "cannot be read"};
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxMeasurementBytes)
            return Refusal{"", "larger than " + std::to_string(kMaxMeasurementBytes >> 20) + " MB"};
    }
    if (in.bad()) return Refusal{"", "cannot be read"};
    return ParseMeasurement(text);
}

Transfer MeasuredTransfer(const Measurement& m, const std::vector<double>& hz) {
    const double nan = std::nan("");
    Transfer t;
    t.h.assign(hz.size(), Complex(nan, nan));
    t.dlog.assign(hz.size(), Complex(nan, nan));
    if (m.hz.size() < 2) return t;
    // Level (nepers) and phase (radians) over angular frequency, with their
    // slopes at the points.
    const std::size_t n = m.hz.size();
    std::vector<double> w(n), level(n), phase(n);
    for (std::size_t k = 0; k < n; ++k) {
        w[k] = 2 * std::numbers::pi * m.hz[k];
        level[k] = m.db[k] * std::numbers::ln10 / 20;
        phase[k] = m.deg[k] * std::numbers::pi / 180;
    }
    const std::vector<double> level_slope = NodeSlopes(w, level), phase_slope = NodeSlopes(w, phase);
    for (std::size_t i = 0; i < hz.size(); ++i) {
        const double f = hz[i];
        if (!(f >= m.hz.front() && f <= m.hz.back())) continue;
        // The segment [k, k + 1] holding f.
        std::size_t k = static_cast<std::size_t>(std::upper_bound(m.hz.begin(), m.hz.end(), f) - m.hz.begin());
        k = std::min(k, n - 1) - 1;
        const double x = 2 * std::numbers::pi * f;
        const Hermite a = Interpolate(w, level, level_slope, k, x);
        const Hermite p = Interpolate(w, phase, phase_slope, k, x);
        t.h[i] = std::polar(std::exp(a.value), p.value);
        t.dlog[i] = Complex(a.slope, p.slope);
        if (t.start == kNoPoint) {
            t.start = i;
            t.start_phase = p.value;
        }
    }
    return t;
}

}  // namespace kvresponse
