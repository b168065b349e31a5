#include "editors/response_curve.h"

#include <algorithm>
#include <cmath>

namespace graph {

using namespace kvvalues;

namespace {

// Rounded constants of the curve formulas; pixel rows depend on their last
// digits, so keep them as they are.
constexpr double kPi = 3.14159265358;
constexpr double kInv180 = 0.005555555555555556;
constexpr double kInv36 = 0.027777777777777776;  // 36 graph points to an octave

// Graph point offset between a filter's frequency and the bump's centre.
constexpr int kBumpCentre = 360;

double RowHz(int row) { return FreqIndexTable[std::clamp(row, 0, kFreqRows - 1)].hz; }

// Pole radius of the periodic bump: shelves of first order are wide, of
// second order steep; the bell narrows as its width index grows smaller.
double EqShape(int type, int width_index) {
    switch (type) {
    case 0:
    case 3: return 0.01;
    case 1:
    case 4: return 20.0;
    default: return 3.5 - std::clamp(width_index, 0, kEqWidthSteps - 1);
    }
}

void AddEqEntry(const EqEntry& e, Curve& sum) {
    if (e.type < 0 || e.type >= kEqTypes) return;
    const int d = GraphPointForFrequency(RowHz(e.freq_row));
    const double h = EqGainTable[std::clamp(e.gain_index, 0, kEqGainSteps - 1)] * 0.5;
    const double m = 0.8 + EqShape(e.type, e.width_index) * 0.003896103896103896;
    const double q = m * m;
    const bool low_shelf = e.type == 0 || e.type == 1;
    const bool high_shelf = e.type == 3 || e.type == 4;
    for (int j = 0; j < kGraphPoints; ++j) {
        const int t = j - d + kBumpCentre;
        double a;
        if ((low_shelf && t < kBumpCentre) || (high_shelf && t > kBumpCentre))
            a = 2 * kPi;
        else if (t < 180 || t > 540)
            a = kPi;
        else
            a = t * kPi * kInv180;
        sum[j] += h * (1 - m) * ((1 - q) / (1 - 2 * m * std::cos(a) + q)) / (1 + m);
    }
}

// Per crossover type: steepness S (dB per octave) and the angle G (degrees)
// that places the -3 dB point, for the low-pass side; the high-pass side is
// its mirror (G -> 180 - G).
struct XoverShape {
    double s;
    double g_low;
};
constexpr std::array<XoverShape, kXoverTypes> kXoverShapes{{{6, 108.6038},
                                                            {12, 73.0921},
                                                            {9, 73.0921},
                                                            {6, 85.702},
                                                            {18, 59.4463},
                                                            {24, 50.5973},
                                                            {21, 50.5973},
                                                            {18, 85.702},
                                                            {48, 35.4234},
                                                            {36, 59.4463}}};

// sin(x)/x, 1 at x = 0 (reachable through rounding at the curve's joints).
double Sinc(double x) { return x == 0.0 ? 1.0 : std::sin(x) / x; }

// First graph point at or above half the filter's frequency, at most 360.
int AnchorPoint(int row) {
    const double half = RowHz(row) * 0.5;
    for (int k = 0; k < 360; ++k)
        if (GraphFreqSeries[k] >= half) return k;
    return 360;
}

double LowPassDb(const XoverShape& x, int i, int k) {
    const double v = (180 - x.g_low) * (i - k) * kInv36 + x.g_low;
    if (v <= 0) return 0.0;
    if (v >= 180) return (3 - x.s) * (i - k) * kInv36 - 3;
    return (Sinc(v * kPi * kInv180) - 1) * x.s;
}

double HighPassDb(const XoverShape& x, int i, int k) {
    const double g_high = 180 - x.g_low;
    const double u = (i - k + 36) * g_high * kInv36;
    if (u <= 0) return (x.s - 3) * (i - k) * kInv36 - 3;
    if (u >= 180) return 0.0;
    return (Sinc(u * kPi * kInv180 - kPi) - 1) * x.s;
}

bool KnownXoverType(int type) { return type >= 0 && type < kXoverTypes; }

// Pixel rows far outside the picture are still rows; keep them in int range.
int PixelRow(double y, bool round_up) {
    y = std::clamp(y, -1.0e6, 1.0e6);
    return static_cast<int>(round_up ? std::ceil(y) : std::floor(y));
}

}  // namespace

Curve EqResponse(const EqSet& set) {
    Curve sum{};
    for (const EqEntry& e : set) AddEqEntry(e, sum);
    return sum;
}

Curve CrossoverResponse(const CrossoverSetting& xo) {
    Curve sum{};
    const int k_low = AnchorPoint(xo.lp_row);
    // A high-pass switched out (row 0) or at 15 or 16 Hz (rows 1, 2) has its
    // anchor left of the graph; it still bends the low end a little.
    const int k_high = xo.hp_row <= 1 ? -36 : xo.hp_row == 2 ? -15 : AnchorPoint(xo.hp_row);
    const bool low = KnownXoverType(xo.lp_type);
    const bool high = KnownXoverType(xo.hp_type);
    for (int j = 0; j < kGraphPoints; ++j) {
        const int i = j - 35;
        const double l = low ? LowPassDb(kXoverShapes[xo.lp_type], i, k_low) : 0.0;
        const double h = high ? HighPassDb(kXoverShapes[xo.hp_type], i, k_high) : 0.0;
        sum[j] = 0.5 * l + 0.5 * h;
    }
    return sum;
}

CurvePixels CurveToPixels(const Curve& eq_sum, const Curve& xo_sum) {
    CurvePixels px{};
    auto y_of = [&](int j) { return (12 - (eq_sum[j] + xo_sum[j])) * 5 + 30; };
    for (int j = 0; j < kGraphPoints; ++j) {
        px.row[j] = PixelRow(y_of(j), false);
        px.drawn[j] = !(eq_sum[j] + xo_sum[j] < -15);
    }
    px.start_row = PixelRow(y_of(1), true);
    return px;
}

}  // namespace graph
