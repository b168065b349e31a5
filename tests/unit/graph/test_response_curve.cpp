#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "editors/graph_layout.h"
#include "editors/response_curve.h"
#include "kvvalues/value_tables.h"

using namespace kvvalues;
using namespace graph;

namespace {

constexpr int kRow1k = 120;
constexpr int kPoint1k = 238;
const Curve kZero{};

EqSet OneEntry(int type, int row, int gain_index, int width_index = 3) {
    EqSet set = FlatEqSet();
    set[7] = EqEntry{type, row, gain_index, width_index};
    return set;
}

// Crossover with the high-pass switched out and a given low-pass, or the
// reverse; the switched-out side adds nothing in the middle of the graph.
CrossoverSetting LowPassOnly(int row, int type) { return {0, 0, row, type}; }
CrossoverSetting HighPassOnly(int row, int type) { return {row, type, 201, 0}; }

}  // namespace

TEST(EqResponse, FlatSetDrawsTheZeroDbLine) {
    const Curve eq = EqResponse(FlatEqSet());
    for (double v : eq) ASSERT_EQ(v, 0.0);
    const CurvePixels px = CurveToPixels(eq, kZero);
    EXPECT_EQ(px.start_row, graph::kZeroDbY);
    for (int j = 0; j < kGraphPoints; ++j) {
        EXPECT_EQ(px.row[j], graph::kZeroDbY) << j;
        EXPECT_TRUE(px.drawn[j]) << j;
    }
}

TEST(EqResponse, BellPeaksAtItsOwnFrequency) {
    const Curve eq = EqResponse(OneEntry(2, kRow1k, 60, 10));
    const auto peak = std::max_element(eq.begin(), eq.end()) - eq.begin();
    EXPECT_EQ(peak, kPoint1k);
    EXPECT_NEAR(eq[kPoint1k], 7.5, 1e-9);  // +15 dB
    EXPECT_EQ(CurveToPixels(eq, kZero).row[kPoint1k], 52);
    // Symmetric about the peak, falling off to a small constant residue half
    // a period (180 points) away.
    for (int k = 1; k < 150; ++k) EXPECT_NEAR(eq[kPoint1k - k], eq[kPoint1k + k], 1e-9) << k;
    EXPECT_LT(eq[kPoint1k + 30], eq[kPoint1k + 10]);
    EXPECT_EQ(eq[0], eq[kPoint1k - 181]);
    EXPECT_LT(eq[0], eq[kPoint1k - 179]);
    EXPECT_GT(eq[0], 0.0);
    EXPECT_LT(eq[0], 0.5);
}

TEST(EqResponse, WiderBellSpreadsFurther) {
    const Curve narrow = EqResponse(OneEntry(2, kRow1k, 60, 0));
    const Curve wide = EqResponse(OneEntry(2, kRow1k, 60, 59));
    EXPECT_NEAR(narrow[kPoint1k], wide[kPoint1k], 1e-9);
    EXPECT_GT(wide[kPoint1k + 36], narrow[kPoint1k + 36]);
}

TEST(EqResponse, ShelvesHoldFullGainOnTheirFlatSide) {
    // Low shelf +6 dB: flat at +6 dB below its point, decaying above it.
    const Curve low = EqResponse(OneEntry(0, kRow1k, 42));
    for (int j = 0; j <= kPoint1k; ++j) EXPECT_NEAR(low[j], 3.0, 1e-9) << j;
    for (int j = kPoint1k + 1; j < kGraphPoints; ++j) EXPECT_LE(low[j], low[j - 1] + 1e-12) << j;
    EXPECT_LT(low[kPoint1k + 1], 3.0);
    EXPECT_LT(low[kGraphPoints - 1], 0.1);
    // High shelf of second order -6 dB: the mirror image.
    const Curve high = EqResponse(OneEntry(4, kRow1k, 18));
    for (int j = kPoint1k; j < kGraphPoints; ++j) EXPECT_NEAR(high[j], -3.0, 1e-9) << j;
    EXPECT_GT(high[kPoint1k - 1], -3.0);
    EXPECT_GT(high[0], -0.1);
    // A steeper (second-order) shelf leaves less residue far from its point.
    const Curve low2 = EqResponse(OneEntry(1, kRow1k, 42));
    EXPECT_LT(low2[kGraphPoints - 1], low[kGraphPoints - 1]);
}

TEST(EqResponse, EntriesAddUpAndBadEntriesAreHarmless) {
    EqSet set = FlatEqSet();
    set[0] = {2, kRow1k, 40, 5};
    set[19] = {2, kRow1k, 40, 5};
    const Curve two = EqResponse(set);
    const Curve one = EqResponse(OneEntry(2, kRow1k, 40, 5));
    for (int j = 0; j < kGraphPoints; ++j) EXPECT_NEAR(two[j], 2 * one[j], 1e-12);

    set = FlatEqSet();
    set[3] = {9, kRow1k, 60, 3};  // no such type
    for (double v : EqResponse(set)) EXPECT_EQ(v, 0.0);
    set[3] = {2, 999, 999, -5};  // read at the ends of the tables
    const Curve clamped = EqResponse(set);
    EXPECT_NEAR(clamped[GraphPointForFrequency(20000)], 7.5, 1e-9);
}

TEST(CrossoverResponse, SwitchedOutHighPassStillBendsTheLowEnd) {
    const Curve t0 = CrossoverResponse(HighPassOnly(0, 0));
    EXPECT_NEAR(2 * t0[0], -2.91, 0.005);
    EXPECT_NEAR(2 * t0[35], -0.41, 0.005);
    for (int j = 55; j < 300; ++j) EXPECT_EQ(t0[j], 0.0) << j;
    const Curve t8 = CrossoverResponse(HighPassOnly(0, 8));
    EXPECT_NEAR(2 * t8[0], -2.37, 0.005);
    EXPECT_EQ(t8[10], 0.0);
    // Row 1 anchors like row 0; row 2 sits 21 points further right.
    EXPECT_EQ(CrossoverResponse(HighPassOnly(1, 0)), t0);
    const Curve r2 = CrossoverResponse(HighPassOnly(2, 0));
    EXPECT_NEAR(2 * r2[-15 + 35], -3.0, 0.005);
}

// At its anchor each type reaches its characteristic level, the same on both
// sides; this pins the per-type constants.
TEST(CrossoverResponse, EachTypeAtItsAnchorPoint) {
    const double at_anchor[kXoverTypes] = {-3.0, -3.0, -2.25, -2.0, -3.06, -3.0, -2.625, -6.0, -3.0, -6.12};
    const int anchor = GraphPointForFrequency(500) + 35;  // half of 1 kHz, 35 points on
    for (int type = 0; type < kXoverTypes; ++type) {
        const Curve lp = CrossoverResponse(LowPassOnly(kRow1k, type));
        const Curve hp = CrossoverResponse(HighPassOnly(kRow1k, type));
        EXPECT_NEAR(2 * lp[anchor], at_anchor[type], 1e-4) << "low-pass type " << type;
        EXPECT_NEAR(2 * hp[anchor], at_anchor[type], 1e-4) << "high-pass type " << type;
        EXPECT_NEAR(lp[anchor - 60], 0.0, 0.05) << type;  // pass band
        EXPECT_NEAR(hp[anchor + 60], 0.0, 0.05) << type;
    }
}

TEST(CrossoverResponse, RollOffReachesFullSlopeAnOctaveOut) {
    const int anchor = GraphPointForFrequency(500) + 35;
    // 24 dB Butterworth: -24 dB an octave past the anchor, then 21 dB per
    // octave further, on a straight line.
    const Curve lp = CrossoverResponse(LowPassOnly(kRow1k, 5));
    EXPECT_NEAR(2 * lp[anchor + 36], -24.0, 1e-6);
    EXPECT_NEAR(2 * lp[anchor + 72], -45.0, 1e-6);
    for (int j = anchor; j < kGraphPoints - 1; ++j) EXPECT_LT(lp[j + 1], lp[j]) << j;
    const Curve hp = CrossoverResponse(HighPassOnly(kRow1k, 5));
    EXPECT_NEAR(2 * hp[anchor - 36], -24.0, 1e-6);
    EXPECT_NEAR(2 * hp[anchor - 72], -45.0, 1e-6);
    // Both sides add up.
    const Curve band = CrossoverResponse({kRow1k, 5, kRow1k, 5});
    EXPECT_NEAR(band[anchor], lp[anchor] + hp[anchor], 1e-9);
}

TEST(CrossoverResponse, LowPassSwitchedOutSitsNear20kHz) {
    const Curve xo = CrossoverResponse(LowPassOnly(201, 0));
    EXPECT_EQ(xo[200], 0.0);
    const int minus3 = GraphPointForFrequency(10000) + 35;
    EXPECT_GE(GraphFreqSeries[minus3], 19000.0);
    EXPECT_NEAR(2 * xo[minus3], -3.0, 0.01);
    // An unknown type on a side adds nothing.
    for (double v : CrossoverResponse({kRow1k, 10, kRow1k, -1})) EXPECT_EQ(v, 0.0);
}

TEST(CurveToPixels, LevelsGapsAndStartRow) {
    // A steep high-pass sinks the low end below -30 dB: a gap, not a line
    // along the bottom edge.
    const Curve xo = CrossoverResponse(HighPassOnly(kRow1k, 8));
    const CurvePixels px = CurveToPixels(kZero, xo);
    EXPECT_FALSE(px.drawn[1]);
    EXPECT_GT(px.row[1], graph::kPlotBottom);
    EXPECT_TRUE(px.drawn[300]);
    EXPECT_EQ(px.row[300], graph::kZeroDbY);
    int first_drawn = 0;
    while (!px.drawn[first_drawn]) ++first_drawn;
    EXPECT_GE(xo[first_drawn], -15.0);
    EXPECT_LT(xo[first_drawn - 1], -15.0);

    // The pen starts at point 1's level, rounded up; rows round down.
    Curve eq{};
    eq[0] = 10.0;   // point 0 is never the start
    eq[1] = 0.1;    // 12 - 0.1 -> 89.5
    eq[2] = -15.0;  // exactly -30 dB is still drawn
    const CurvePixels p2 = CurveToPixels(eq, kZero);
    EXPECT_EQ(p2.start_row, 90);
    EXPECT_EQ(p2.row[1], 89);
    EXPECT_EQ(p2.row[0], 40);
    EXPECT_TRUE(p2.drawn[2]);
    EXPECT_EQ(p2.row[2], graph::kPlotBottom);
}

// Every labelled level line is where the curve puts that level.
TEST(GraphLayout, LevelLinesMatchCurveRows) {
    for (const auto& line : graph::kLevelLines) {
        Curve eq{};
        eq.fill(std::atoi(line.label.text) / 2.0);
        EXPECT_EQ(CurveToPixels(eq, kZero).row[5], line.y) << line.label.text;
        EXPECT_EQ(line.label.top, line.y - 7);
    }
    EXPECT_EQ(graph::kLevelLines.front().y, graph::kPlotTop);
    EXPECT_EQ(graph::kLevelLines.back().y, graph::kPlotBottom);
    EXPECT_EQ(graph::kFreqLines[5].label.x, 289 - 6);
    EXPECT_EQ(graph::kFreqLines[8].label.x, 409 - 9);
    EXPECT_EQ(graph::kFreqLines.back().x, graph::kPlotRight);
}

TEST(GraphLayout, PicturePlacementCentresOrScales) {
    const auto big = graph::PicturePlacement(600, 301);
    EXPECT_FALSE(big.scaled);
    EXPECT_EQ(big.x, 70);
    EXPECT_EQ(big.y, 55);
    EXPECT_EQ(big.width, 460);
    EXPECT_EQ(big.height, 190);
    for (auto [w, h] : {std::pair{460, 300}, std::pair{600, 190}, std::pair{200, 100}}) {
        const auto p = graph::PicturePlacement(w, h);
        EXPECT_TRUE(p.scaled);
        EXPECT_EQ(p.x, 0);
        EXPECT_EQ(p.y, 0);
        EXPECT_EQ(p.width, w);
        EXPECT_EQ(p.height, h);
    }
}
