// A transfer function on a list of frequencies, with what its phase and
// group delay need: the complex value and the derivative of its logarithm.
// Chains of filter factors are evaluated into one; transfers multiply (a
// path through the unit, a driver's measurement times the output feeding
// it) and add (outputs summed in the air, the two inputs into In SUM).
//
// The group delay comes from the derivative in closed form, never from
// differences of the phase, so a delay of tau adds exactly tau.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

#include "kvresponse/prototypes.h"

namespace kvresponse {

using Complex = std::complex<double>;

inline constexpr std::size_t kNoPoint = static_cast<std::size_t>(-1);

struct Transfer {
    // H(j w) at every frequency; NaN where it is not known (outside a
    // measured range).
    std::vector<Complex> h;
    // d ln H / d w: the real part is the slope of ln |H|, minus the
    // imaginary part is the group delay in seconds.
    std::vector<Complex> dlog;
    // The unwrapped phase (radians) at the first point where H is known and
    // not zero, from which the phase is unwrapped along the frequencies;
    // start is kNoPoint when there is none.
    std::size_t start = kNoPoint;
    double start_phase = 0;
};

// Filter factors, a constant factor (negative: polarity inverted; 0: muted)
// and a delay.
struct Chain {
    std::vector<Section> sections;
    double gain = 1;
    double delay_s = 0;
};

// H = 1 everywhere.
Transfer Unity(std::size_t points);

// The chain on the frequencies (Hz, rising, above 0).
Transfer Evaluate(const Chain& chain, const std::vector<double>& hz);

// t times the chain, in place.
void Apply(const Chain& chain, const std::vector<double>& hz, Transfer& t);

// The unwrapped phase of the chain at one frequency, exactly (each factor's
// phase is continuous in frequency).
double ChainPhase(const Chain& chain, double hz);

// a times b.
Transfer Multiply(const Transfer& a, const Transfer& b, const std::vector<double>& hz);

// The sum of the transfers (all of hz's length). The unwrapped phase starts
// on the branch nearest to the phase of the loudest part there. An empty
// list gives H = 0.
Transfer Sum(const std::vector<const Transfer*>& parts, const std::vector<double>& hz);

// The unwrapped phase in radians at every frequency: NaN where H is unknown
// or zero. From the start point on, each step takes the multiple of 2 pi
// that the group delay between the two points predicts, so it holds however
// far the points lie apart as long as the group delay changes smoothly.
std::vector<double> UnwrappedPhase(const Transfer& t, const std::vector<double>& hz);
// The same from the wrapped phases (radians) already at hand.
std::vector<double> UnwrappedPhase(const Transfer& t, const std::vector<double>& hz,
                                   const std::vector<double>& wrapped);

}  // namespace kvresponse
