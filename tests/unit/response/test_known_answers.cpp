// The filter shapes and how outputs add, against answers known in closed
// form: to 0.01 dB, 0.1 degree and 1 microsecond where they are exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <ostream>

#include "kvresponse/curve.h"
#include "kvresponse/prototypes.h"
#include "kvresponse/transfer.h"

namespace kvresponse {
namespace {

constexpr double kDb = 0.01, kDeg = 0.1, kMs = 0.001;
constexpr double kFc = 1000;

enum Xo { But6 = 0, But12, Bes12, LR12, But18, But24, Bes24, LR24, But48, LR48 };

// The frequencies of every case: a log grid with the crossover frequency
// and the points the cases name on it.
std::vector<double> Grid() {
    std::vector<double> hz = LogGrid(kLowestHz, kHighestHz, 400);
    for (double f : {kFc, 500.0, 2000.0}) hz.push_back(f);
    std::sort(hz.begin(), hz.end());
    return hz;
}

Chain Xover(int type, Pass pass, double polarity = 1) { return {CrossoverSections(type, pass, kFc), polarity, 0}; }
Chain Eq(int type, double hz, double gain_db, double width) { return {EqSections(type, hz, gain_db, width), 1, 0}; }

Transfer Of(const Chain& c) { return Evaluate(c, Grid()); }
Transfer Sum2(const Chain& a, const Chain& b) {
    const Transfer ta = Of(a), tb = Of(b);
    return Sum({&ta, &tb}, Grid());
}

std::size_t At(double hz) {
    const auto g = Grid();
    return static_cast<std::size_t>(std::find(g.begin(), g.end(), hz) - g.begin());
}

// ---------------------------------------------------------------------------
// Values at one frequency.

struct PointCase {
    const char* name;
    std::function<Transfer()> make;
    double hz;
    std::optional<double> db, deg_unwrapped, gd_ms;
};

void PrintTo(const PointCase& c, std::ostream* os) { *os << c.name; }

class PointValue : public ::testing::TestWithParam<PointCase> {};

TEST_P(PointValue, MatchesTheClosedForm) {
    const PointCase& c = GetParam();
    const Curve curve = CurveOf(c.make(), Grid());
    const std::size_t i = At(c.hz);
    if (c.db) {
        EXPECT_NEAR(curve.db[i], *c.db, kDb);
    }
    if (c.deg_unwrapped) {
        EXPECT_NEAR(curve.deg_unwrapped[i], *c.deg_unwrapped, kDeg);
    }
    if (c.gd_ms) {
        EXPECT_NEAR(curve.gd_ms[i], *c.gd_ms, kMs);
    }
}

const double kLr4Delay = 2 * std::numbers::sqrt2 / (2 * std::numbers::pi * kFc) * 1000;  // 0.450 ms

INSTANTIATE_TEST_SUITE_P(
    Shapes, PointValue,
    ::testing::Values(
        PointCase{"But12LowMinusHighIsUp3dB",
                  [] { return Sum2(Xover(But12, Pass::Low), Xover(But12, Pass::High, -1)); },
                  kFc,
                  3.0103,
                  {},
                  {}},
        PointCase{"Lr24SumIsAt180Behind",
                  [] { return Sum2(Xover(LR24, Pass::Low), Xover(LR24, Pass::High)); },
                  kFc,
                  0.0,
                  -180.0,
                  {}},
        PointCase{"Lr24SumDelaysLowFrequencies",
                  [] { return Sum2(Xover(LR24, Pass::Low), Xover(LR24, Pass::High)); },
                  kLowestHz,
                  0.0,
                  {},
                  kLr4Delay},
        PointCase{"BellReachesItsGain", [] { return Of(Eq(2, kFc, 12, 0.3)); }, kFc, 12.0, 0.0, {}},
        PointCase{"NarrowBellCutReachesItsGain", [] { return Of(Eq(2, kFc, -15, 0.05)); }, kFc, -15.0, 0.0, {}},
        PointCase{"WideBellReachesItsGain", [] { return Of(Eq(2, kFc, 6, 3.0)); }, kFc, 6.0, 0.0, {}},
        PointCase{"Low6ShelfHalfGain", [] { return Of(Eq(0, kFc, 12, 1)); }, kFc, 6.0, {}, {}},
        PointCase{"Low12ShelfHalfGain", [] { return Of(Eq(1, kFc, -10, 1)); }, kFc, -5.0, {}, {}},
        PointCase{"High6ShelfHalfGain", [] { return Of(Eq(3, kFc, -8, 1)); }, kFc, -4.0, {}, {}},
        PointCase{"High12ShelfHalfGain", [] { return Of(Eq(4, kFc, 15, 1)); }, kFc, 7.5, {}, {}},
        PointCase{"High12ShelfFullGainHigh", [] { return Of(Eq(4, 100, 15, 1)); }, kHighestHz, 15.0, {}, {}},
        PointCase{"Low12ShelfFullGainLow", [] { return Of(Eq(1, 2000, -10, 1)); }, kLowestHz, -10.0, {}, {}},
        PointCase{"But6LowPassGroupDelayAtDc",
                  [] { return Of(Xover(But6, Pass::Low)); },
                  kLowestHz,
                  {},
                  {},
                  1000 / (2 * std::numbers::pi * kFc)}),
    [](const auto& info) { return std::string(info.param.name); });

// Every crossover type at its set frequency: Butterworth and Bessel (as
// normalised) 3.01 dB down, Linkwitz-Riley 6.02 dB; the phase there is
// order x 45 degrees for Butterworth and Linkwitz-Riley.
TEST(CrossoverTypes, LevelAndPhaseAtTheSetFrequency) {
    struct Row {
        int type;
        double db;
        std::optional<double> low_deg;
    };
    const Row rows[] = {{But6, -3.0103, -45},   {But12, -3.0103, -90},  {Bes12, -3.0103, {}}, {LR12, -6.0206, -90},
                        {But18, -3.0103, -135}, {But24, -3.0103, -180}, {Bes24, -3.0103, {}}, {LR24, -6.0206, -180},
                        {But48, -3.0103, -360}, {LR48, -6.0206, -360}};
    static_assert(kBesselNormalization == BesselNormalization::MinusThreeDb);
    const std::size_t i = At(kFc);
    for (const Row& r : rows) {
        const Curve low = CurveOf(Of(Xover(r.type, Pass::Low)), Grid());
        const Curve high = CurveOf(Of(Xover(r.type, Pass::High)), Grid());
        EXPECT_NEAR(low.db[i], r.db, kDb) << "type " << r.type;
        EXPECT_NEAR(high.db[i], r.db, kDb) << "type " << r.type;
        if (r.low_deg) {
            EXPECT_NEAR(low.deg_unwrapped[i], *r.low_deg, kDeg) << "type " << r.type;
            EXPECT_NEAR(high.deg_unwrapped[i], -*r.low_deg, kDeg) << "type " << r.type;
        }
    }
}

// The other Bessel normalisation, as its note in prototypes.h says.
TEST(CrossoverTypes, PhaseMatchedBessel) {
    const std::vector<double> hz = {kFc};
    for (const auto& [order, db] : {std::pair{2, -4.77}, std::pair{4, -7.78}}) {
        const Chain low{BesselSections(order, Pass::Low, kFc, BesselNormalization::PhaseMatched), 1, 0};
        const Chain high{BesselSections(order, Pass::High, kFc, BesselNormalization::PhaseMatched), 1, 0};
        const Curve l = CurveOf(Evaluate(low, hz), hz), h = CurveOf(Evaluate(high, hz), hz);
        EXPECT_NEAR(l.deg_unwrapped[0], -45.0 * order, kDeg) << order;
        EXPECT_NEAR(h.deg_unwrapped[0], 45.0 * order, kDeg) << order;
        EXPECT_NEAR(l.db[0], db, kDb) << order;
    }
}

TEST(CrossoverTypes, ButterworthNotchAtTheCrossover) {
    const Curve sum = CurveOf(Sum2(Xover(But12, Pass::Low), Xover(But12, Pass::High)), Grid());
    EXPECT_LT(sum.db[At(kFc)], -100);
}

// ---------------------------------------------------------------------------
// Transfers that are flat, or differ from a reference by a constant.

struct ShapeCase {
    const char* name;
    std::function<Transfer()> make;
    std::function<Transfer()> reference;  // null: 0 dB, 0 degrees, no delay
    // The difference at every frequency; no phase or group delay for an
    // all-pass against 0 dB.
    double db = 0;
    std::optional<double> deg = 0.0, gd_ms = 0.0;
};
constexpr std::nullopt_t kAny = std::nullopt;

void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

class Everywhere : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(Everywhere, DiffersByTheConstant) {
    const ShapeCase& c = GetParam();
    const auto hz = Grid();
    const Curve a = CurveOf(c.make(), hz);
    const Curve b = CurveOf(c.reference ? c.reference() : Unity(hz.size()), hz);
    for (std::size_t i = 0; i < hz.size(); ++i) {
        ASSERT_NEAR(a.db[i] - b.db[i], c.db, kDb) << hz[i] << " Hz";
        if (c.deg) {
            ASSERT_NEAR(std::remainder(a.deg[i] - b.deg[i] - *c.deg, 360.0), 0, kDeg) << hz[i] << " Hz";
        }
        if (c.gd_ms) {
            ASSERT_NEAR(a.gd_ms[i] - b.gd_ms[i], *c.gd_ms, kMs) << hz[i] << " Hz";
        }
    }
}

Chain Delayed(Chain c, double ms) {
    c.delay_s = ms / 1000;
    return c;
}
Chain Times(Chain a, const Chain& b) {
    a.sections.insert(a.sections.end(), b.sections.begin(), b.sections.end());
    a.gain *= b.gain;
    a.delay_s += b.delay_s;
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Everywhere,
    ::testing::Values(
        ShapeCase{"But6LowPlusHighIsOne", [] { return Sum2(Xover(But6, Pass::Low), Xover(But6, Pass::High)); },
                  nullptr},
        ShapeCase{"Lr12LowMinusHighIsAllPass", [] { return Sum2(Xover(LR12, Pass::Low), Xover(LR12, Pass::High, -1)); },
                  nullptr, 0, kAny, kAny},
        ShapeCase{"Lr24LowPlusHighIsAllPass", [] { return Sum2(Xover(LR24, Pass::Low), Xover(LR24, Pass::High)); },
                  nullptr, 0, kAny, kAny},
        ShapeCase{"Lr48LowPlusHighIsAllPass", [] { return Sum2(Xover(LR48, Pass::Low), Xover(LR48, Pass::High)); },
                  nullptr, 0, kAny, kAny},
        ShapeCase{"DelayAddsItsGroupDelay", [] { return Of(Delayed(Xover(Bes24, Pass::Low), 2.5)); },
                  [] { return Of(Xover(Bes24, Pass::Low)); }, 0, kAny, 2.5},
        ShapeCase{"LongDelayAddsItsGroupDelay", [] { return Of(Delayed(Eq(2, 300, 9, 0.2), 635.417)); },
                  [] { return Of(Eq(2, 300, 9, 0.2)); }, 0, kAny, 635.417},
        ShapeCase{"TwoIdenticalOutputsAdd6dB", [] { return Sum2(Xover(LR24, Pass::High), Xover(LR24, Pass::High)); },
                  [] { return Of(Xover(LR24, Pass::High)); }, 6.0206},
        ShapeCase{"PolarityTurnsBy180", [] { return Of(Xover(But18, Pass::High, -1)); },
                  [] { return Of(Xover(But18, Pass::High)); }, 0, 180.0},
        ShapeCase{"BellCutUndoesItsBoost", [] { return Of(Times(Eq(2, 250, 15, 0.7), Eq(2, 250, -15, 0.7))); },
                  nullptr},
        ShapeCase{"ShelfCutUndoesItsBoost", [] { return Of(Times(Eq(4, 3000, 9, 1), Eq(4, 3000, -9, 1))); }, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// The unwrapped phase follows a long delay however far apart the points
// lie: 10 ms is 720 degrees between two neighbours at the top of this grid.
TEST(Unwrapping, FollowsAPureDelayExactly) {
    const std::vector<double> hz = LogGrid(kLowestHz, kHighestHz, 60);
    const Curve c = CurveOf(Evaluate(Delayed(Chain{}, 10), hz), hz);
    for (std::size_t i = 0; i < hz.size(); ++i) EXPECT_NEAR(c.deg_unwrapped[i], -360 * hz[i] * 0.010, 1e-6);
}

}  // namespace
}  // namespace kvresponse
