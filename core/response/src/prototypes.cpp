#include "kvresponse/prototypes.h"

#include <array>
#include <cmath>
#include <complex>
#include <numbers>

namespace kvresponse {

namespace {

using cd = std::complex<double>;

// A low-pass factor c / (c + p u + q u^2) (q = 0: first order), normalised
// so that the constant terms are 1.
Section LowPassFactor(double p, double q, double hz, int power) { return {1, 0, 0, 1, p, q, hz, power}; }

// The high-pass of the same factor: u -> 1/u turns the denominator's
// coefficients around and the numerator into u^order.
Section ToHighPass(const Section& lp) {
    const bool second = lp.a2 != 0;
    return {0,
            second ? 0.0 : 1.0,
            second ? 1.0 : 0.0,
            second ? lp.a2 : lp.a1,
            second ? lp.a1 : lp.a0,
            second ? lp.a0 : 0.0,
            lp.hz,
            lp.power};
}

// Butterworth of `order`: poles on the unit circle, -3.01 dB at hz.
std::vector<Section> ButterworthLowPass(int order, double hz, int power) {
    std::vector<Section> out;
    if (order % 2 == 1) out.push_back(LowPassFactor(1, 0, hz, power));
    for (int k = 1; k <= order / 2; ++k) {
        const double angle = std::numbers::pi * (2 * k + order - 1) / (2.0 * order);
        out.push_back(LowPassFactor(-2 * std::cos(angle), 1, hz, power));
    }
    return out;
}

// The reverse Bessel polynomials, delay-normalised, lowest power first.
std::vector<double> BesselPolynomial(int order) {
    if (order == 2) return {3, 3, 1};
    return {105, 105, 45, 10, 1};
}

// Roots of a monic polynomial (lowest power first) by Durand-Kerner; the
// Bessel polynomials are small and well conditioned.
std::vector<cd> Roots(const std::vector<double>& poly) {
    const int n = static_cast<int>(poly.size()) - 1;
    std::vector<cd> z(n);
    for (int i = 0; i < n; ++i) z[i] = std::pow(cd(0.4, 0.9), i);
    auto value = [&poly](cd x) {
        cd v = 0;
        for (auto c = poly.rbegin(); c != poly.rend(); ++c) v = v * x + *c;
        return v;
    };
    for (int iteration = 0; iteration < 500; ++iteration)
        for (int i = 0; i < n; ++i) {
            cd d = 1;
            for (int j = 0; j < n; ++j)
                if (j != i) d *= z[i] - z[j];
            z[i] -= value(z[i]) / d;
        }
    return z;
}

// The polynomial's quadratic factors s^2 + p s + c from its conjugate root
// pairs (the Bessel polynomials of even order have no real root).
std::vector<std::array<double, 2>> QuadraticFactors(const std::vector<double>& poly) {
    std::vector<std::array<double, 2>> out;
    for (const cd& r : Roots(poly))
        if (r.imag() > 0) out.push_back({-2 * r.real(), std::norm(r)});
    return out;
}

// Low-pass magnitude squared and phase lag at angular frequency w of the
// delay-normalised prototype.
double BesselLevel(const std::vector<std::array<double, 2>>& factors, double w) {
    double level = 1;
    for (const auto& [p, c] : factors) level *= c * c / (std::pow(c - w * w, 2) + p * p * w * w);
    return level;
}
double BesselLag(const std::vector<std::array<double, 2>>& factors, double w) {
    double lag = 0;
    for (const auto& [p, c] : factors) lag += std::atan2(p * w, c - w * w);
    return lag;
}

// The angular frequency of the delay-normalised prototype that becomes the
// set frequency: where the level falls to one half (-3.01 dB) or where the
// phase lag reaches order * 45 degrees. Both rise monotonically.
double BesselCorner(const std::vector<std::array<double, 2>>& factors, int order, BesselNormalization norm) {
    double lo = 0.01, hi = 100;
    for (int i = 0; i < 200; ++i) {
        const double mid = std::sqrt(lo * hi);
        const bool below = norm == BesselNormalization::MinusThreeDb
                               ? BesselLevel(factors, mid) > 0.5
                               : BesselLag(factors, mid) < order * std::numbers::pi / 4;
        (below ? lo : hi) = mid;
    }
    return std::sqrt(lo * hi);
}

}  // namespace

std::vector<Section> BesselSections(int order, Pass pass, double hz, BesselNormalization norm) {
    const auto factors = QuadraticFactors(BesselPolynomial(order));
    const double k = BesselCorner(factors, order, norm);
    std::vector<Section> out;
    for (const auto& [p, c] : factors) {
        // c / (c + p s + s^2) with s = k u.
        const Section lp = LowPassFactor(p * k / c, k * k / c, hz, 1);
        out.push_back(pass == Pass::Low ? lp : ToHighPass(lp));
    }
    return out;
}

std::vector<Section> CrossoverSections(int type, Pass pass, double hz) {
    // Butterworth order, or Linkwitz-Riley: the Butterworth of half the
    // order, squared.
    struct Shape {
        int order;
        int power;
        bool bessel;
    };
    static constexpr std::array<Shape, 10> kShapes = {{
        {1, 1, false},  // But6
        {2, 1, false},  // But12
        {2, 1, true},   // Bes12
        {1, 2, false},  // LR12
        {3, 1, false},  // But18
        {4, 1, false},  // But24
        {4, 1, true},   // Bes24
        {2, 2, false},  // LR24
        {8, 1, false},  // But48
        {4, 2, false},  // LR48
    }};
    if (type < 0 || type >= static_cast<int>(kShapes.size())) return {};
    const Shape& shape = kShapes[type];
    if (shape.bessel) return BesselSections(shape.order, pass, hz, kBesselNormalization);
    std::vector<Section> out = ButterworthLowPass(shape.order, hz, shape.power);
    if (pass == Pass::High)
        for (Section& s : out) s = ToHighPass(s);
    return out;
}

double BellQ(double width_octaves) { return 1 / (2 * std::sinh(std::numbers::ln2 / 2 * width_octaves)); }

std::vector<Section> EqSections(int type, double hz, double gain_db, double width_octaves) {
    const double g = std::pow(10.0, gain_db / 20);  // the gain as a factor
    const double a = std::pow(10.0, gain_db / 40);  // its square root
    const double sa = std::sqrt(a);
    const double shelf_q = std::numbers::sqrt2 / 2;
    switch (type) {
    case 0:  // Low 6: (u + sqrt g) / (u + 1/sqrt g); g at DC, sqrt g at hz
        return {{std::sqrt(g), 1, 0, 1 / std::sqrt(g), 1, 0, hz}};
    case 1:  // Low 12: a (u^2 + sqrt a / Q u + a) / (a u^2 + sqrt a / Q u + 1)
        return {{a * a, a * sa / shelf_q, a, 1, sa / shelf_q, a, hz}};
    case 2: {  // Bell: (u^2 + a/Q u + 1) / (u^2 + u/(a Q) + 1); a^2 = g at hz
        const double q = BellQ(width_octaves);
        return {{1, a / q, 1, 1, 1 / (a * q), 1, hz}};
    }
    case 3:  // High 6: (1 + sqrt g u) / (1 + u / sqrt g)
        return {{1, std::sqrt(g), 0, 1, 1 / std::sqrt(g), 0, hz}};
    case 4:  // High 12: a (a u^2 + sqrt a / Q u + 1) / (u^2 + sqrt a / Q u + a)
        return {{a, a * sa / shelf_q, a * a, a, sa / shelf_q, 1, hz}};
    default: return {};
    }
}

}  // namespace kvresponse
