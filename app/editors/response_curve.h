// The response curves of the EQ and crossover graph, as plain numbers: the
// summed EQ filters and the crossover of one channel on the 395 points of
// GraphFreqSeries, and the pixel rows of the 460 x 190 picture
// (graph_layout.h). The drawing widget only draws what these return.
#pragma once

#include <array>

#include "kvvalues/channel_eq_set.h"
#include "kvvalues/value_tables.h"

namespace graph {

using kvvalues::EqEntry;
using kvvalues::EqSet;
using kvvalues::kEqSetSize;

// One value per graph point, in half decibels (v means 2 * v dB).
using Curve = std::array<double, kvvalues::kGraphPoints>;

// The sum of all 20 entries. Entries of an unknown type add nothing; rows and
// indices outside their ranges are taken at the nearest end.
Curve EqResponse(const EqSet& set);

// High-pass and low-pass of one channel: rows 0..201 (0 and 201 "Out"),
// types 0..9 (XoverTypeNames). A side of an unknown type adds nothing.
struct CrossoverSetting {
    int hp_row;
    int hp_type;
    int lp_row;
    int lp_type;
};

// The crossover sum. A graph that hides the crossover (input channels) does
// not call this and passes a zero curve to CurveToPixels instead.
Curve CrossoverResponse(const CrossoverSetting& xo);

// Where the summed curve s(j) = eq_sum[j] + xo_sum[j] lands in the picture.
// row[j] = floor((12 - s(j)) * 5 + 30), i.e. 0 dB on y = 90 and 2.5 pixels
// per dB; drawn[j] is false where s(j) < -15 (below -30 dB), which leaves a
// gap instead of a line along the bottom edge.
//
// The picture code draws exactly this, with the curve pen:
//     moveTo(kCurveStartX, start_row);                 // x = 50
//     for (int j = 1; j < kGraphPoints; ++j) {          // x = 51 .. 444
//         int x = kCurveStartX + j;
//         if (drawn[j]) lineTo(x, row[j]); else moveTo(x, row[j]);
//     }
// Point 0 is computed but never drawn. start_row is ceil() of the same
// expression for point 1 (not point 0), so the first segment runs from x = 50
// to x = 51 along point 1's level.
struct CurvePixels {
    int start_row;
    std::array<int, kvvalues::kGraphPoints> row;
    std::array<bool, kvvalues::kGraphPoints> drawn;
};

CurvePixels CurveToPixels(const Curve& eq_sum, const Curve& xo_sum);

}  // namespace graph
