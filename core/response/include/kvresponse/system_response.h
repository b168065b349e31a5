// The whole system at once: every output from its source (times its
// driver's measurement where one is loaded) and sums of outputs, on one set
// of frequencies. What the System response window, `kvctl response` and the
// benchmark compute.
#pragma once

#include <kvcom/kvcom.h>

#include <array>
#include <string>
#include <vector>

#include "kvresponse/curve.h"
#include "kvresponse/transfer.h"

namespace kvresponse {

struct ResponseRequest {
    std::vector<double> hz;
    // Sets of outputs (0..5) to sum.
    std::vector<std::vector<int>> sums;
    // Per output, its driver's measurement already on hz (MeasuredTransfer),
    // or null for the electrical transfer alone.
    std::array<const Transfer*, KV_OUTPUTS> measured{};
};

struct SystemResponse {
    std::vector<double> hz;
    std::array<Transfer, KV_OUTPUTS> outputs;
    std::vector<Transfer> sums;  // as requested
};

SystemResponse ComputeSystemResponse(const CDSDATA& m, const ResponseRequest& request);

struct SystemCurves {
    std::array<Curve, KV_OUTPUTS> outputs;
    std::vector<Curve> sums;
};

SystemCurves CurvesOf(const SystemResponse& r);

// "Out 1 + Out 3 + Out 5" for {0, 2, 4}; "nothing" for none.
std::string SumTitle(const std::vector<int>& outputs);

// The largest distance of the levels (dB) at the frequencies within
// [lo_hz, hi_hz] from reference_db (0 dB: the level of the input): how flat
// a sum is. Infinite when a level there is -infinity or unknown.
double LargestDeviationDb(const std::vector<double>& hz, const std::vector<double>& db, double lo_hz, double hi_hz,
                          double reference_db = 0);

}  // namespace kvresponse
