#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "kvvalues/value_tables.h"

using namespace kvvalues;

namespace {

std::string LabelByRule(double hz) {
    char buf[32];
    if (hz < 100)
        std::snprintf(buf, sizeof buf, " %.1f Hz", hz);
    else if (hz < 1000)
        std::snprintf(buf, sizeof buf, "%.1f Hz", hz);
    else if (hz < 10000)
        std::snprintf(buf, sizeof buf, "%.2fk Hz", hz / 1000);
    else
        std::snprintf(buf, sizeof buf, "%.1fk Hz", hz / 1000);
    return buf;
}

}  // namespace

TEST(FreqIndexTable, EndRowsAreOutAndRealRowsSpan15HzTo16kHz) {
    EXPECT_STREQ(FreqIndexTable[0].label, "Out");
    EXPECT_STREQ(FreqIndexTable[201].label, "Out");
    EXPECT_DOUBLE_EQ(FreqIndexTable[0].hz, 10.0);
    EXPECT_DOUBLE_EQ(FreqIndexTable[201].hz, 20000.0);
    EXPECT_DOUBLE_EQ(FreqIndexTable[1].hz, 15.0);
    EXPECT_DOUBLE_EQ(FreqIndexTable[120].hz, 1000.0);
    EXPECT_DOUBLE_EQ(FreqIndexTable[200].hz, 16000.0);
    // Irregular stretch of the series, kept exactly.
    EXPECT_DOUBLE_EQ(FreqIndexTable[40].hz, 62.5);
    EXPECT_DOUBLE_EQ(FreqIndexTable[41].hz, 64.1);
    EXPECT_DOUBLE_EQ(FreqIndexTable[42].hz, 66.3);
    EXPECT_DOUBLE_EQ(FreqIndexTable[43].hz, 69.4);
    for (int r = 1; r < 202; ++r) EXPECT_LT(FreqIndexTable[r - 1].hz, FreqIndexTable[r].hz) << "row " << r;
}

TEST(FreqIndexTable, EveryLabelFollowsTheRuleExceptRow128) {
    for (int r = 1; r <= 200; ++r) {
        const char* label = FreqIndexTable[r].label;
        EXPECT_EQ(std::strlen(label), 8u) << "row " << r;
        if (r == 128) continue;
        EXPECT_EQ(label, LabelByRule(FreqIndexTable[r].hz)) << "row " << r;
    }
    EXPECT_DOUBLE_EQ(FreqIndexTable[128].hz, 1310.0);
    EXPECT_STREQ(FreqIndexTable[128].label, "1.32k Hz");
    EXPECT_STREQ(FreqIndexTable[1].label, " 15.0 Hz");
    EXPECT_STREQ(FreqIndexTable[120].label, "1.00k Hz");
    EXPECT_STREQ(FreqIndexTable[200].label, "16.0k Hz");
}

TEST(FreqIndexTable, FreqLabelClampsRows) {
    EXPECT_STREQ(FreqLabel(-5), "Out");
    EXPECT_STREQ(FreqLabel(0), "Out");
    EXPECT_STREQ(FreqLabel(201), "Out");
    EXPECT_STREQ(FreqLabel(1000), "Out");
    EXPECT_STREQ(FreqLabel(121), "1.03k Hz");
}

TEST(GraphFreqSeries, RisesFrom10HzTo20k2AtAbout36PointsPerOctave) {
    EXPECT_DOUBLE_EQ(GraphFreqSeries.front(), 10.0);
    EXPECT_DOUBLE_EQ(GraphFreqSeries.back(), 20200.0);
    for (int j = 1; j < kGraphPoints; ++j) EXPECT_LT(GraphFreqSeries[j - 1], GraphFreqSeries[j]) << "point " << j;
    EXPECT_DOUBLE_EQ(GraphFreqSeries[36], 20.1);
    EXPECT_DOUBLE_EQ(GraphFreqSeries[238], 1000.0);
    EXPECT_DOUBLE_EQ(GraphFreqSeries[327], 5500.0);  // irregular: 5440, 5500, 5660
}

TEST(GraphFreqSeries, PointForFrequencyIsFirstPointAtOrAbove) {
    EXPECT_EQ(GraphPointForFrequency(1000), 238);
    EXPECT_EQ(GraphPointForFrequency(20000), 394);
    EXPECT_EQ(GraphPointForFrequency(10), 0);
    EXPECT_EQ(GraphPointForFrequency(15), 21);
    EXPECT_EQ(GraphPointForFrequency(1), 0);
    EXPECT_EQ(GraphPointForFrequency(1000.5), 239);
    EXPECT_EQ(GraphPointForFrequency(20200), 394);
    EXPECT_EQ(GraphPointForFrequency(20200.1), 395);
}

TEST(EqTables, GainsNamesAndWidths) {
    EXPECT_DOUBLE_EQ(EqGainTable[0], -15.0);
    EXPECT_DOUBLE_EQ(EqGainTable[29], -0.5);
    EXPECT_DOUBLE_EQ(EqGainTable[30], 0.0);
    EXPECT_DOUBLE_EQ(EqGainTable[60], 15.0);
    EXPECT_DOUBLE_EQ(EqWidthOctaves(0), 0.05);
    EXPECT_DOUBLE_EQ(EqWidthOctaves(59), 3.0);
    EXPECT_STREQ(EqTypeNames[0], "Low 6");
    EXPECT_STREQ(EqTypeNames[2], "Bell");
    EXPECT_STREQ(EqTypeNames[4], "High 12");
    EXPECT_STREQ(XoverTypeNames[0].long_name, " 6dB Butterworth");
    EXPECT_STREQ(XoverTypeNames[0].short_name, "But 6");
    EXPECT_STREQ(XoverTypeNames[3].long_name, "12dB Linkwitz-Riley");
    EXPECT_STREQ(XoverTypeNames[6].short_name, "Bes 24");
    EXPECT_STREQ(XoverTypeNames[9].long_name, "48dB Linkwitz-Riley");
    EXPECT_STREQ(XoverTypeNames[9].short_name, "L-R 48");
}
