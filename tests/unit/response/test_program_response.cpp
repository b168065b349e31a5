// A program's outputs from their sources, and the sums of the outputs one
// input feeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <ostream>

#include "kvresponse/channel_transfer.h"
#include "kvresponse/system_response.h"
#include "kvvalues/value_tables.h"
#include "model_builder.h"

namespace kvresponse {
namespace {

constexpr double kDb = 0.01, kDeg = 0.1, kMs = 0.001;
constexpr int kRow1k = kvvalues::kFreqRow1k;
constexpr int kHighPassOut = 0, kLowPassOut = 201;
constexpr int kLR24 = 7;

std::vector<double> Grid() {
    std::vector<double> hz = LogGrid(kLowestHz, kHighestHz, 300);
    hz.push_back(500);
    hz.push_back(1000);
    std::sort(hz.begin(), hz.end());
    return hz;
}
std::size_t At(double hz) {
    const auto g = Grid();
    return static_cast<std::size_t>(std::find(g.begin(), g.end(), hz) - g.begin());
}

// Mono with every output open and Out 1 without crossover filters.
CDSDATA OpenMono() {
    CDSDATA m;
    m.figuration = 0;
    m.InitData();
    for (int n = 0; n < KV_OUTPUTS; ++n) m.out_mute[n] = 0;
    m.xo_freq[0][0] = kHighPassOut;
    m.xo_freq[0][1] = kLowPassOut;
    return m;
}

// A bell in pool row `row`, first in chan's slot list.
void Bell(CDSDATA& m, int row, int chan, int gain_index) {
    kvtest::PoolRow(m, row).Owner(chan).Values({2, kRow1k, gain_index, 5}).InputCopy().Slot(0).Counted();
}

struct OutputCase {
    const char* name;
    std::function<void(CDSDATA&)> edit;  // on OpenMono()
    double hz;
    double db;
    std::optional<double> deg, gd_ms;
};
void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }

class Out1 : public ::testing::TestWithParam<OutputCase> {};

TEST_P(Out1, FromItsSource) {
    const OutputCase& c = GetParam();
    CDSDATA m = OpenMono();
    c.edit(m);
    ResponseRequest request{Grid(), {}, {}};
    const Curve out = CurveOf(ComputeSystemResponse(m, request).outputs[0], request.hz);
    const std::size_t i = At(c.hz);
    EXPECT_NEAR(out.db[i], c.db, kDb);
    if (c.deg) {
        EXPECT_NEAR(std::remainder(out.deg[i] - *c.deg, 360.0), 0, kDeg);
    }
    if (c.gd_ms) {
        EXPECT_NEAR(out.gd_ms[i], *c.gd_ms, kMs);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Program, Out1,
    ::testing::Values(
        OutputCase{"NoFilterIsFlat", [](CDSDATA&) {}, 1000, 0, 0.0, 0.0},
        OutputCase{"GainInSteps", [](CDSDATA& m) { m.out_gain[0] = -12; }, 1000, -2.4, 0.0, 0.0},
        OutputCase{"Polarity", [](CDSDATA& m) { m.out_polarity[0] = 1; }, 1000, 0, 180.0, 0.0},
        OutputCase{"OutputDelayInSteps", [](CDSDATA& m) { m.out_delay[0] = 48; }, 1000, 0, 0.0, 1.0},
        OutputCase{"InputDelayInFront", [](CDSDATA& m) { m.ina_delay = 96; }, 1000, 0, 0.0, 2.0},
        OutputCase{"HighPassAtItsRow",
                   [](CDSDATA& m) {
                       m.xo_freq[0][0] = kRow1k;
                       m.xo_type[0][0] = kLR24;
                   },
                   1000,
                   -6.0206,
                   180.0,
                   {}},
        OutputCase{"OwnBell", [](CDSDATA& m) { Bell(m, 5, 0, 54); }, 1000, 12, 0.0, {}},
        OutputCase{"InputBellInFront", [](CDSDATA& m) { Bell(m, 9, CHAN_IN_A, 18); }, 1000, -6, 0.0, {}},
        OutputCase{"OtherInputsBellNot", [](CDSDATA& m) { Bell(m, 9, CHAN_IN_B, 18); }, 1000, 0, 0.0, 0.0},
        OutputCase{"InSumAddsBothInputs", [](CDSDATA& m) { m.out_source[0] = kInSum; }, 1000, 6.0206, 0.0, 0.0},
        OutputCase{"InSumHasItsOwnDelay",
                   [](CDSDATA& m) {
                       m.out_source[0] = kInSum;
                       m.sum_delay = 24;
                   },
                   1000, 6.0206, 180.0, 0.5},
        // In A half a millisecond late: a quarter turn at 500 Hz, half a turn at 1 kHz.
        OutputCase{"InSumOfDelayedInputs",
                   [](CDSDATA& m) {
                       m.out_source[0] = kInSum;
                       m.ina_delay = 24;
                   },
                   500, 3.0103, -45.0, 0.25}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Program, MutedOutputIsSilentAndAddsNothing) {
    CDSDATA m = OpenMono();
    m.xo_freq[1][0] = kHighPassOut;
    m.xo_freq[1][1] = kLowPassOut;
    m.out_mute[1] = 1;
    ResponseRequest request{Grid(), {{0, 1}}, {}};
    const SystemCurves c = CurvesOf(ComputeSystemResponse(m, request));
    EXPECT_EQ(c.outputs[1].db[0], -INFINITY);
    for (std::size_t i = 0; i < request.hz.size(); ++i) ASSERT_NEAR(c.sums[0].db[i], 0, kDb);
}

// Every setting a transfer reads makes two programs' paths differ; the
// window computes again exactly then.
TEST(Program, SameSignalPathSeesEverySettingTheTransfersRead) {
    const std::function<void(CDSDATA&)> differ[] = {
        [](CDSDATA& m) { m.ina_delay = 1; },          [](CDSDATA& m) { m.inb_delay = 1; },
        [](CDSDATA& m) { m.sum_delay = 1; },          [](CDSDATA& m) { m.out_source[5] = 2; },
        [](CDSDATA& m) { m.out_gain[4] = 1; },        [](CDSDATA& m) { m.out_mute[3] = 1; },
        [](CDSDATA& m) { m.out_polarity[2] = 1; },    [](CDSDATA& m) { m.out_delay[1] = 1; },
        [](CDSDATA& m) { m.xo_freq[5][1] = 100; },    [](CDSDATA& m) { m.xo_type[4][0] = 1; },
        [](CDSDATA& m) { m.out_eq_slot[5][11] = 3; }, [](CDSDATA& m) { m.ina_eq_slot[2] = 3; },
        [](CDSDATA& m) { m.inb_eq_slot[0] = 3; },     [](CDSDATA& m) { m.eq_type[38] = 0; },
        [](CDSDATA& m) { m.eq_freq[0] = 1; },         [](CDSDATA& m) { m.eq_gain[20] = 0; },
        [](CDSDATA& m) { m.eq_bw[10] = 0; },
    };
    const CDSDATA base = OpenMono();
    for (std::size_t i = 0; i < std::size(differ); ++i) {
        CDSDATA edited(base);
        differ[i](edited);
        EXPECT_FALSE(SameSignalPath(base, edited)) << "edit " << i;
    }
    CDSDATA cursors(base);
    cursors.cur_chan = 3;
    cursors.out_limit[0] = 1;
    EXPECT_TRUE(SameSignalPath(base, cursors));
}

TEST(Program, SourceGroupsFollowTheOutputsSources) {
    CDSDATA m = OpenMono();
    EXPECT_EQ(SourceGroups(m), (std::vector<std::vector<int>>{{0, 1, 2, 3, 4, 5}}));
    m.figuration = 1;
    m.InitData();
    EXPECT_EQ(SourceGroups(m), (std::vector<std::vector<int>>{{0, 2, 4}, {1, 3, 5}}));
    m.figuration = 2;
    m.InitData();
    EXPECT_EQ(SourceGroups(m), (std::vector<std::vector<int>>{{0, 3}, {2, 5}, {1, 4}}));
}

// "2 Channel 3 Way" as the factory sets it up (every band Linkwitz-Riley
// 24: low 16 Hz to 101 Hz, mid to 1 kHz, high above), outputs open: each
// side's three bands add to within 2.94 dB of flat over 20 Hz - 20 kHz, the
// most at 20 Hz where the low band's 16 Hz high-pass takes over; above
// 40 Hz within 0.62 dB, a dip near 94 Hz where the mid band's high-pass turns
// its phase against the low band's.
TEST(Program, FactoryTwoChannelThreeWaySumsNearlyFlat) {
    CDSDATA m;
    m.figuration = 1;
    m.InitData();
    for (int n = 0; n < KV_OUTPUTS; ++n) m.out_mute[n] = 0;
    ResponseRequest request{LogGrid(kLowestHz, kHighestHz, 1000), SourceGroups(m), {}};
    const SystemCurves c = CurvesOf(ComputeSystemResponse(m, request));
    ASSERT_EQ(c.sums.size(), 2u);
    for (const Curve& sum : c.sums) {
        EXPECT_NEAR(LargestDeviationDb(request.hz, sum.db, 20, 20000), 2.943, 0.005);
        EXPECT_NEAR(LargestDeviationDb(request.hz, sum.db, 40, 20000), 0.622, 0.005);
    }
}

}  // namespace
}  // namespace kvresponse
