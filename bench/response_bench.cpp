// The System response computation: six outputs and two sums with their
// levels, phases (wrapped and unwrapped) and group delays on 1,000
// frequencies, for two programs: "2 Channel 3 Way" as the factory sets it
// up, and the same with every EQ filter of the pool in use and every
// crossover at 48 dB per octave. Prints the median and the slowest of many
// runs; the target is 1 ms.
//
//   build/bench/response_bench [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <kvcom/kvcom.h>

#include "kvresponse/channel_transfer.h"
#include "kvresponse/system_response.h"
#include "response_programs.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile double g_sink = 0;

void Run(const char* name, const CDSDATA& m, int runs) {
    kvresponse::ResponseRequest request{
        kvresponse::LogGrid(kvresponse::kLowestHz, kvresponse::kHighestHz, 1000), kvresponse::SourceGroups(m), {}};
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        const auto start = Clock::now();
        const kvresponse::SystemCurves curves = kvresponse::CurvesOf(kvresponse::ComputeSystemResponse(m, request));
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        g_sink = curves.sums[0].db[500];  // so the work cannot be left out
    }
    std::sort(ms.begin(), ms.end());
    int sections = 0;
    for (int n = 0; n < KV_OUTPUTS; ++n) sections += static_cast<int>(kvresponse::OutputChain(m, n).sections.size());
    for (auto input : {kvresponse::kInA, kvresponse::kInB})
        sections += static_cast<int>(kvresponse::InputChain(m, input).sections.size());
    std::printf("%-34s %8d %8zu %10.3f %10.3f\n", name, sections, request.sums.size(), ms[ms.size() / 2], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    CDSDATA m;  // the one model constructed here: factory values
    bench::OpenThreeWay(m);
    std::printf("%-34s %8s %8s %10s %10s\n", "program (1000 points)", "factors", "sums", "median ms", "max ms");
    Run("2 Channel 3 Way, factory", m, runs);
    bench::LoadEveryFilter(m);
    Run("every EQ filter, 48 dB crossovers", m, runs);
    return 0;
}
