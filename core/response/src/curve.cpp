#include "kvresponse/curve.h"

#include <cmath>
#include <numbers>

namespace kvresponse {

std::vector<double> LogGrid(double lo, double hi, std::size_t points) {
    std::vector<double> hz(points);
    const double span = std::log(hi / lo);
    for (std::size_t i = 0; i < points; ++i)
        hz[i] = points == 1 ? lo : lo * std::exp(span * static_cast<double>(i) / static_cast<double>(points - 1));
    if (points > 1) hz.back() = hi;  // exactly, not exp(log(hi / lo)) * lo
    return hz;
}

Curve CurveOf(const Transfer& t, const std::vector<double>& hz) {
    constexpr double kDegrees = 180 / std::numbers::pi;
    const std::size_t n = hz.size();
    const double nan = std::nan("");
    Curve c;
    c.db.resize(n);
    c.deg.resize(n);
    c.gd_ms.resize(n);
    std::vector<double> radians(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Complex h = t.h[i];
        const bool known = std::isfinite(h.real()) && std::isfinite(h.imag());
        const bool phase = known && h != Complex(0, 0);
        const double power = std::norm(h);
        if (!known)
            c.db[i] = nan;
        else if (!phase)
            c.db[i] = -INFINITY;
        else  // |h| beyond 1e+-154 has no norm in a double: take the slower way there
            c.db[i] = power > 0 && std::isfinite(power) ? 10 * std::log10(power) : 20 * std::log10(std::abs(h));
        radians[i] = phase ? std::atan2(h.imag(), h.real()) : nan;
        // (-180, 180]: atan2 gives -180 for a negative real part with -0.
        c.deg[i] = radians[i] == -std::numbers::pi ? 180 : radians[i] * kDegrees;
        c.gd_ms[i] = phase ? -t.dlog[i].imag() * 1000 : nan;
    }
    c.deg_unwrapped = UnwrappedPhase(t, hz, radians);
    for (double& d : c.deg_unwrapped) d *= kDegrees;
    return c;
}

}  // namespace kvresponse
