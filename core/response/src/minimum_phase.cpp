#include "kvresponse/minimum_phase.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kvresponse {

namespace {

constexpr double kNepersPerDb = std::numbers::ln10 / 20;
constexpr double kPi2Over4 = std::numbers::pi * std::numbers::pi / 4;
constexpr double kStep = std::numbers::ln2 / 48;  // the resampling grid: 1/48 octave...
constexpr std::size_t kMaxGrid = 4801;            // ...over at most 100 octaves (the work grows as its square)

// The integral of ln coth(|t| / 2) from 0 to u: Bode's weight of a level
// slope u nepers of frequency away. Odd in u; pi^2 / 4 at infinity.
double BodeWeight(double u) {
    if (u < 0) return -BodeWeight(-u);
    if (u == 0) return 0;
    if (u <= 0.5) {
        // ln coth(t/2) = ln(2/t) + t^2/12 - 7 t^4 / 1440 + ..., integrated.
        return u * std::log(2 / u) + u + u * u * u / 36 - 7 * std::pow(u, 5) / 7200;
    }
    // ln coth(t/2) = 2 sum over odd k of e^(-k t) / k, integrated.
    const double x = std::exp(-u);
    double sum = 0, power = x;
    for (int k = 1; k < 120 && power > 1e-18; k += 2) {
        sum += power / (k * k);
        power *= x * x;
    }
    return kPi2Over4 - 2 * sum;
}

// The level's slope (nepers per unit of ln f) over the last third of an
// octave at the low or high end, within +-48 dB per octave.
double EndSlope(const std::vector<double>& hz, const std::vector<double>& db, bool low) {
    const double third = std::pow(2.0, 1.0 / 3);
    const std::size_t n = hz.size();
    std::size_t a = 0, b = n - 1;
    if (low) {
        b = 1;
        while (b + 1 < n && hz[b] < hz[0] * third) ++b;
    } else {
        a = n - 2;
        while (a > 0 && hz[a] > hz[n - 1] / third) --a;
    }
    const double limit = 48 / std::numbers::ln2;
    return std::clamp((db[b] - db[a]) / (std::log(hz[b]) - std::log(hz[a])), -limit, limit) * kNepersPerDb;
}

// The value at f of y given at the rising x, linear over ln x.
double AtLogFrequency(const std::vector<double>& x, const std::vector<double>& y, double f) {
    if (f <= x.front()) return y.front();
    if (f >= x.back()) return y.back();
    const std::size_t i = static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), f) - x.begin()) - 1;
    return y[i] + (std::log(f) - std::log(x[i])) / (std::log(x[i + 1]) - std::log(x[i])) * (y[i + 1] - y[i]);
}

}  // namespace

std::vector<double> MinimumPhaseDegrees(const std::vector<double>& hz, const std::vector<double>& db) {
    if (hz.size() < 2) return std::vector<double>(hz.size(), 0.0);
    // The level on an even grid over ln f.
    const double span = std::log(hz.back()) - std::log(hz.front());  // the ratio may overflow
    const std::size_t m = std::min(static_cast<std::size_t>(std::ceil(span / kStep)) + 1, kMaxGrid);
    const double step = span / static_cast<double>(m - 1);
    std::vector<double> grid(m), level(m);
    for (std::size_t i = 0; i < m; ++i) {
        grid[i] = std::exp(std::log(hz.front()) + step * static_cast<double>(i));  // no overflow on wide spans
        level[i] = AtLogFrequency(hz, db, grid[i]) * kNepersPerDb;
    }
    const double low_slope = EndSlope(hz, db, true), high_slope = EndSlope(hz, db, false);

    // Bode: phase(f) = 1/pi * integral of dA/du * ln coth(|u|/2) du, u = ln(f'/f),
    // with A linear between the grid points and the end slopes beyond them.
    // The weight of a grid segment depends only on its distance in steps.
    std::vector<double> weight(2 * m - 1);
    for (std::size_t d = 0; d < weight.size(); ++d) {
        const double from = (static_cast<double>(d) - static_cast<double>(m - 1)) * step;
        weight[d] = BodeWeight(from + step) - BodeWeight(from);
    }
    std::vector<double> phase(m);
    for (std::size_t i = 0; i < m; ++i) {
        const double below = static_cast<double>(i) * step, above = static_cast<double>(m - 1 - i) * step;
        double sum = low_slope * (kPi2Over4 - BodeWeight(below)) + high_slope * (kPi2Over4 - BodeWeight(above));
        for (std::size_t k = 0; k + 1 < m; ++k) sum += (level[k + 1] - level[k]) / step * weight[k + m - 1 - i];
        phase[i] = sum / std::numbers::pi * 180 / std::numbers::pi;
    }

    std::vector<double> deg(hz.size());
    for (std::size_t i = 0; i < hz.size(); ++i) deg[i] = AtLogFrequency(grid, phase, hz[i]);
    return deg;
}

}  // namespace kvresponse
