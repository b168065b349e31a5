// Measured drivers: the text exports read or refused, the measurement on
// the frequencies of the curves, and the output it predicts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>

#include "kvresponse/measurement.h"
#include "kvresponse/system_response.h"
#include "kvresponse/transfer.h"

namespace kvresponse {
namespace {

// n points from 100 Hz up by 100 Hz: "100 -1.5 30" (or without the phase),
// with the separator and line end given.
std::string Points(int n, bool phase = true, const char* sep = " ", const char* eol = "\n", int from = 1) {
    std::string text;
    for (int i = from; i < from + n; ++i)
        text += std::to_string(100 * i) + sep + "-1.5" + (phase ? std::string(sep) + "30" : "") + eol;
    return text;
}

struct GoodFile {
    const char* name;
    std::string text;
    std::size_t points;
    bool phase_measured;
};
void PrintTo(const GoodFile& c, std::ostream* os) { *os << c.name; }

class Readable : public ::testing::TestWithParam<GoodFile> {};

TEST_P(Readable, GivesEveryPoint) {
    const GoodFile& c = GetParam();
    const auto m = ParseMeasurement(c.text);
    ASSERT_TRUE(m.ok()) << m.refusal().Message();
    ASSERT_EQ(m->hz.size(), c.points);
    EXPECT_EQ(m->phase_measured, c.phase_measured);
    EXPECT_EQ(m->hz.front(), 100);
    EXPECT_EQ(m->hz.back(), 100.0 * c.points);
    EXPECT_EQ(m->db.front(), -1.5);
    if (c.phase_measured) {
        EXPECT_EQ(m->deg.back(), 30);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Measurements, Readable,
    ::testing::Values(GoodFile{"CommentLines", "* measured 2024\n; driver B\n\n" + Points(10), 10, true},
                      GoodFile{"CrLfAndTrailingComments", Points(12, true, " ", " ; ok\r\n"), 12, true},
                      GoodFile{"CommasAndTabs", Points(10, true, ",\t"), 10, true},
                      GoodFile{"ByteOrderMark", "\xEF\xBB\xBF" + Points(11), 11, true},
                      GoodFile{"SignsAndExponents", "1e2 -15e-1 +30\n" + Points(9, true, " ", "\n", 2), 10, true},
                      GoodFile{"TwoColumns", Points(10, false, "\t"), 10, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadFile {
    const char* name;
    std::string text;
    const char* place;
    const char* reason;
};
void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }

class Refused : public ::testing::TestWithParam<BadFile> {};

TEST_P(Refused, NamesTheLineAndTheReason) {
    const BadFile& c = GetParam();
    const auto m = ParseMeasurement(c.text);
    ASSERT_FALSE(m.ok());
    EXPECT_EQ(m.refusal().place, c.place);
    EXPECT_EQ(m.refusal().reason, c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Measurements, Refused,
    ::testing::Values(
        BadFile{"Word", Points(3) + "400 abc 5\n" + Points(8, true, " ", "\n", 5), "line 4", "'abc' is not a number"},
        BadFile{"HeaderWithoutCommentSign", "Freq SPL Phase\n" + Points(12), "line 1", "'Freq' is not a number"},
        BadFile{"UnitAfterNumber", "100 1.5dB 3\n" + Points(12, true, " ", "\n", 2), "line 1",
                "'1.5dB' is not a number"},
        BadFile{"NotANumberWord", Points(2) + "300 nan 0\n", "line 3", "'nan' is not a number"},
        BadFile{"Falling", Points(5) + "450 0 0\n" + Points(9, true, " ", "\n", 6), "line 6",
                "frequencies not rising: 450 Hz after 500 Hz"},
        BadFile{"Repeated", Points(5) + Points(5, true, " ", "\n", 5), "line 6",
                "frequencies not rising: 500 Hz after 500 Hz"},
        BadFile{"ZeroHz", "0 -20 0\n" + Points(10), "line 1", "frequency 0 Hz is not above 0"},
        BadFile{"AboveTenMegahertz", Points(10) + "2e7 0 0\n", "line 11", "frequency 2e+07 Hz is above 10 MHz"},
        BadFile{"FourColumns", "100 1 2 3\n", "line 1",
                "4 numbers; a line holds frequency (Hz), level (dB) and phase (degrees), or frequency and level"},
        BadFile{"ColumnsChange", Points(3) + Points(8, false, " ", "\n", 4), "line 4",
                "2 numbers where the lines before have 3"},
        BadFile{"NinePoints", Points(9) + "* end\n", "line 10", "9 points; at least 10 are needed"},
        BadFile{"Empty", "", "", "0 points; at least 10 are needed"}),
    [](const auto& info) { return std::string(info.param.name); });

// A phase column within +-180 degrees is wrapped; one beyond is unwrapped
// already, even where it steps by more than half a turn.
TEST(Measurement, PhaseColumnUnwrapped) {
    struct Row {
        std::vector<double> read, taken;
    };
    const Row rows[] = {
        {{170, -170, -150, 175, -179, 160, 140, 100, 40, -40}, {170, 190, 210, 175, 181, 160, 140, 100, 40, -40}},
        {{0, -90, -300, -600, -900, -1000, -1100, -1200, -1300, -1400},
         {0, -90, -300, -600, -900, -1000, -1100, -1200, -1300, -1400}},
    };
    for (const Row& r : rows) {
        std::string text;
        for (std::size_t i = 0; i < r.read.size(); ++i)
            text += std::to_string(100 * (i + 1)) + " 0 " + std::to_string(r.read[i]) + "\n";
        const auto m = ParseMeasurement(text);
        ASSERT_TRUE(m.ok());
        EXPECT_EQ(m->deg, r.taken);
    }
}

// A "measurement" written from a known transfer at 1/48 octave.
std::string Export(const Chain& driver, double lo, double hi, bool phase) {
    const std::vector<double> hz = LogGrid(lo, hi, static_cast<std::size_t>(std::log2(hi / lo) * 48) + 1);
    const Curve c = CurveOf(Evaluate(driver, hz), hz);
    std::string text = "* written from a closed form\n";
    char line[96];
    for (std::size_t i = 0; i < hz.size(); ++i) {
        std::snprintf(line, sizeof line, phase ? "%.6f %.6f %.6f\n" : "%.6f %.6f\n", hz[i], c.db[i],
                      c.deg_unwrapped[i]);
        text += line;
    }
    return text;
}

Chain Woofer() {
    Chain c{CrossoverSections(1, Pass::High, 60), 1, 0};  // a closed box: 12 dB below 60 Hz
    const auto top = CrossoverSections(1, Pass::Low, 3000);
    c.sections.insert(c.sections.end(), top.begin(), top.end());
    return c;
}

TEST(Measurement, FollowsTheMeasuredTransferAndIsUnknownOutside) {
    const auto m = ParseMeasurement(Export(Woofer(), 20, 20000, true));
    ASSERT_TRUE(m.ok());
    const std::vector<double> hz = LogGrid(kLowestHz, kHighestHz, 500);
    const Curve measured = CurveOf(MeasuredTransfer(*m, hz), hz);
    const Curve exact = CurveOf(Evaluate(Woofer(), hz), hz);
    for (std::size_t i = 0; i < hz.size(); ++i) {
        if (hz[i] < 20) {
            EXPECT_TRUE(std::isnan(measured.db[i]) && std::isnan(measured.gd_ms[i])) << hz[i];
            continue;
        }
        EXPECT_NEAR(measured.db[i], exact.db[i], 0.01) << hz[i];
        EXPECT_NEAR(measured.deg_unwrapped[i], exact.deg_unwrapped[i], 0.1) << hz[i];
        EXPECT_NEAR(measured.gd_ms[i], exact.gd_ms[i], 0.01 * std::abs(exact.gd_ms[i]) + 0.001) << hz[i];
    }
}

TEST(Measurement, MeasuredDelayGivesItsGroupDelay) {
    const auto m = ParseMeasurement(Export(Chain{{}, 1, 0.0037}, 20, 20000, true));
    ASSERT_TRUE(m.ok());
    const std::vector<double> hz = LogGrid(25, 19000, 300);
    const Curve c = CurveOf(MeasuredTransfer(*m, hz), hz);
    for (std::size_t i = 0; i < hz.size(); ++i) ASSERT_NEAR(c.gd_ms[i], 3.7, 0.001) << hz[i];
}

// Without a phase column the phase is the minimum phase of the level: for
// a minimum-phase driver, its own phase.
TEST(Measurement, TwoColumnsGetTheMinimumPhase) {
    const auto m = ParseMeasurement(Export(Woofer(), 10, 20000, false));
    ASSERT_TRUE(m.ok());
    ASSERT_FALSE(m->phase_measured);
    const std::vector<double> hz = LogGrid(30, 10000, 200);
    const Curve got = CurveOf(MeasuredTransfer(*m, hz), hz);
    const Curve exact = CurveOf(Evaluate(Woofer(), hz), hz);
    for (std::size_t i = 0; i < hz.size(); ++i) EXPECT_NEAR(got.deg[i], exact.deg[i], 0.1) << hz[i];
}

// A file spanning absurd frequencies is read in the usual time, with a
// phase for every point (the resampling grid has a bound).
TEST(Measurement, TwoColumnsOverAnyRangeStayBounded) {
    std::string text;
    for (int i = 0; i < 12; ++i) text += "1e" + std::to_string(-160 + 15 * i) + " " + std::to_string(i % 3) + "\n";
    const auto m = ParseMeasurement(text);
    ASSERT_TRUE(m.ok()) << m.refusal().Message();
    for (double d : m->deg) EXPECT_TRUE(std::isfinite(d));
}

// The predicted acoustic response is the measurement times the output's
// electrical transfer, and the sum takes it.
TEST(Measurement, PredictsTheOutputAndItsSum) {
    CDSDATA model;
    for (int n = 0; n < KV_OUTPUTS; ++n) model.out_mute[n] = 0;
    const auto m = ParseMeasurement(Export(Woofer(), 20, 20000, true));
    ASSERT_TRUE(m.ok());
    ResponseRequest request{LogGrid(20, 20000, 200), {{0}}, {}};
    const Transfer driver = MeasuredTransfer(*m, request.hz);
    const SystemCurves electrical = CurvesOf(ComputeSystemResponse(model, request));
    request.measured[0] = &driver;
    const SystemCurves acoustic = CurvesOf(ComputeSystemResponse(model, request));
    const Curve alone = CurveOf(driver, request.hz);
    for (std::size_t i = 0; i < request.hz.size(); ++i) {
        EXPECT_NEAR(acoustic.outputs[0].db[i], electrical.outputs[0].db[i] + alone.db[i], 1e-9);
        EXPECT_NEAR(acoustic.outputs[0].gd_ms[i], electrical.outputs[0].gd_ms[i] + alone.gd_ms[i], 1e-9);
        EXPECT_NEAR(acoustic.sums[0].db[i], acoustic.outputs[0].db[i], 1e-9);
        EXPECT_EQ(acoustic.outputs[1].db[i], electrical.outputs[1].db[i]);
    }
}

}  // namespace
}  // namespace kvresponse
