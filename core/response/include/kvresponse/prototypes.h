// The nominal analog prototypes of the unit's filter types: the crossover
// high- and low-passes and the EQ filters as factors of first and second
// order in s. These are the textbook shapes of the filter types, not a
// measurement of the unit.
//
// Crossovers (types 0..9 as in kvvalues::XoverTypeNames):
//   Butterworth 6, 12, 18, 24, 48 dB (order 1, 2, 3, 4, 8): -3.01 dB at the
//   set frequency.
//   Linkwitz-Riley 12, 24, 48 dB: the Butterworth of half the order,
//   squared: -6.02 dB at the set frequency.
//   Bessel 12 and 24 dB (order 2 and 4): normalised by kBesselNormalization.
// EQ (types 0..4 as in kvvalues::EqTypeNames):
//   "Low 6", "High 6": first-order shelves; "Low 12", "High 12": second-order
//   shelves (Q 1/sqrt 2); all reach half the set gain (in dB) at the set
//   frequency. "Bell": the peaking filter with exactly the set gain at its
//   centre and 1/Q = 2 sinh(ln 2 / 2 * width in octaves); a cut is the exact
//   inverse of the boost of the same frequency and width.
#pragma once

#include <vector>

namespace kvresponse {

// (b0 + b1 u + b2 u^2) / (a0 + a1 u + a2 u^2) raised to `power`, where
// u = s / w0 and w0 = 2 pi hz. First-order factors have b2 = a2 = 0.
struct Section {
    double b0, b1, b2;
    double a0, a1, a2;
    double hz;
    int power = 1;
};

// Where a Bessel filter's set frequency lies. MinusThreeDb: the high- and
// low-pass are 3.01 dB down there, as the Butterworth types are.
// PhaseMatched: the low-pass turns the phase by -45 degrees per order there
// (the high-pass by +45), so there a high- and low-pass of the same setting
// are in opposition (order 2) or in phase (order 4); their level there is
// -4.77 dB (order 2) or -7.78 dB (order 4). This constant is the one place
// to switch it.
enum class BesselNormalization { MinusThreeDb, PhaseMatched };
inline constexpr BesselNormalization kBesselNormalization = BesselNormalization::MinusThreeDb;

enum class Pass { High, Low };

// The factors of crossover type 0..9 at hz; none for another type (a side of
// an unknown type adds nothing, as in the editors' graph).
std::vector<Section> CrossoverSections(int type, Pass pass, double hz);

// Bessel prototypes normalised by `norm` (the crossover above uses
// kBesselNormalization); order 2 or 4.
std::vector<Section> BesselSections(int order, Pass pass, double hz, BesselNormalization norm);

// EQ type 0..4 at hz with gain_db and (for the bell) width in octaves; none
// for another type.
std::vector<Section> EqSections(int type, double hz, double gain_db, double width_octaves);

// The bell's Q for a width in octaves: 1/Q = 2 sinh(ln 2 / 2 * width).
double BellQ(double width_octaves);

}  // namespace kvresponse
