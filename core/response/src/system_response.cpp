#include "kvresponse/system_response.h"

#include <algorithm>
#include <cmath>

#include "kvresponse/channel_transfer.h"

namespace kvresponse {

SystemResponse ComputeSystemResponse(const CDSDATA& m, const ResponseRequest& request) {
    SystemResponse r;
    r.hz = request.hz;
    const SourcePaths sources = SourceTransfers(m, r.hz);
    for (int n = 0; n < KV_OUTPUTS; ++n) {
        r.outputs[n] = OutputTransfer(m, n, sources, r.hz);
        if (const Transfer* driver = request.measured[n]; driver && driver->h.size() == r.hz.size())
            r.outputs[n] = Multiply(r.outputs[n], *driver, r.hz);
    }
    for (const auto& set : request.sums) {
        std::vector<const Transfer*> parts;
        for (int n : set)
            if (n >= 0 && n < KV_OUTPUTS) parts.push_back(&r.outputs[n]);
        r.sums.push_back(Sum(parts, r.hz));
    }
    return r;
}

SystemCurves CurvesOf(const SystemResponse& r) {
    SystemCurves c;
    for (int n = 0; n < KV_OUTPUTS; ++n) c.outputs[n] = CurveOf(r.outputs[n], r.hz);
    for (const Transfer& s : r.sums) c.sums.push_back(CurveOf(s, r.hz));
    return c;
}

std::string SumTitle(const std::vector<int>& outputs) {
    if (outputs.empty()) return "nothing";
    std::string title;
    for (int n : outputs) title += (title.empty() ? "Out " : " + Out ") + std::to_string(n + 1);
    return title;
}

double LargestDeviationDb(const std::vector<double>& hz, const std::vector<double>& db, double lo_hz, double hi_hz,
                          double reference_db) {
    double largest = 0;
    for (std::size_t i = 0; i < hz.size() && i < db.size(); ++i) {
        if (hz[i] < lo_hz || hz[i] > hi_hz) continue;
        if (!std::isfinite(db[i])) return INFINITY;
        largest = std::max(largest, std::abs(db[i] - reference_db));
    }
    return largest;
}

}  // namespace kvresponse
