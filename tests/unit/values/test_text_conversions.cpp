#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <optional>
#include <string>
#include <unistd.h>

#include "kvvalues/text_conversions.h"
#include "kvvalues/value_tables.h"

using namespace kvvalues;

TEST(ParseTypedNumber, LeadingNumberAndKiloSuffix) {
    EXPECT_DOUBLE_EQ(ParseTypedNumber("1.2k"), 1200.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("1.2 K"), 1200.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("1200"), 1200.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("  -3.5 dB"), -3.5);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("+2"), 2.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("0x10"), 16.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("k1000"), 0.0);  // no leading number
    EXPECT_DOUBLE_EQ(ParseTypedNumber(""), 0.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("abc"), 0.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("-"), 0.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("+-1"), 0.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("nan"), 0.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("1,5"), 1.0);  // the comma is not a decimal point
    EXPECT_TRUE(std::isinf(ParseTypedNumber("1e999")));
    EXPECT_DOUBLE_EQ(ParseTypedNumber("1e-999"), 0.0);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("0.00000000000000000000001e-400"), 0.0);
}

TEST(TypedNumber, WordsAreNoNumbers) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"3", 3.0},           {" -1.99", -1.99},     {"+.5", 0.5},          {"2k", 2000.0},
        {"7 dBu", 7.0},       {"0x10", 16.0},        {"abc", std::nullopt}, {"", std::nullopt},
        {"-", std::nullopt},  {".", std::nullopt},   {"inf", std::nullopt}, {"-nan", std::nullopt},
        {"k1", std::nullopt}, {"Out", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(TypedNumber(c.text), c.value) << c.text;
    EXPECT_TRUE(std::isinf(*TypedNumber("1e999")));  // a number, limited by the edits as before
}

TEST(FreqIndexFromText, BothModesRoundUpToTheNextTableRow) {
    for (FreqMode mode : {FreqMode::Eq, FreqMode::Xover}) {
        EXPECT_EQ(FreqIndexFromText("1k", mode), 120);
        EXPECT_EQ(FreqIndexFromText("1000", mode), 120);
        EXPECT_EQ(FreqIndexFromText("1001", mode), 121);
        EXPECT_EQ(FreqIndexFromText("1310", mode), 128);
        EXPECT_EQ(FreqIndexFromText("1.3k", mode), 128);
        EXPECT_EQ(FreqIndexFromText("15", mode), 1);
        EXPECT_EQ(FreqIndexFromText("16000", mode), 200);
    }
    EXPECT_STREQ(FreqLabel(FreqIndexFromText("1310", FreqMode::Eq)), "1.32k Hz");
}

// An EQ filter stays on the real rows; a crossover filter goes "Out" at
// both ends (row 0 below, row 201 above).
TEST(FreqIndexFromText, EqStaysOnRealRowsXoverSwitchesOutAtBothEnds) {
    const struct {
        const char* text;
        int eq, xover;
    } rows[] = {
        {"k1000", 1, 0},     {"-500", 1, 0},      {"9.9", 1, 0},          {"10", 1, 1},        {"12.5", 1, 1},
        {"14.9", 1, 1},      {"16001", 200, 201}, {"16000.01", 200, 201}, {"16.5k", 200, 201}, {"17001", 200, 201},
        {"16500", 200, 201}, {"17000", 200, 201}, {"1e999", 200, 201},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(FreqIndexFromText(row.text, FreqMode::Eq), row.eq);
        EXPECT_EQ(FreqIndexFromText(row.text, FreqMode::Xover), row.xover);
    }
    EXPECT_STREQ(FreqLabel(FreqIndexFromText("16.5k", FreqMode::Xover)), "Out");
}

TEST(IndexFromText, WidthGainAndDelay) {
    EXPECT_EQ(WidthFromText("0"), 0);
    EXPECT_EQ(WidthFromText("0.5"), 9);
    EXPECT_EQ(WidthFromText("1"), 19);
    EXPECT_EQ(WidthFromText("3"), 59);
    EXPECT_EQ(WidthFromText("99"), 59);
    EXPECT_EQ(WidthFromText("-4"), 0);
    EXPECT_EQ(WidthFromText("0.08"), 1);  // 0.1 octave: the 0.02 rounding lifts it
    EXPECT_EQ(FormatEqWidth(WidthFromText("0.5")), "0.50 Oct");

    EXPECT_EQ(GainFromText("-0.3"), 29);
    EXPECT_EQ(GainFromText("0.4"), 31);
    EXPECT_EQ(GainFromText("-20"), 0);
    EXPECT_EQ(GainFromText("0"), 30);
    EXPECT_EQ(GainFromText("15"), 60);
    EXPECT_EQ(GainFromText("1e300"), 60);
    EXPECT_EQ(GainFromText("-1e300"), 0);
    EXPECT_EQ(FormatEqGain(GainFromText("-0.3")), "-0.5 dB");

    EXPECT_EQ(DelayStepsFromText("635.417"), 30500);
    EXPECT_EQ(DelayStepsFromText("635.5"), 30500);
    EXPECT_EQ(DelayStepsFromText("1e99"), 30500);
    EXPECT_EQ(DelayStepsFromText("0"), 0);
    EXPECT_EQ(DelayStepsFromText("-3"), 0);
    EXPECT_EQ(DelayStepsFromText("1"), 48);
    // The device's factor is a hair under 48: this delay ends on the step below.
    EXPECT_EQ(DelayStepsFromText("162.823"), 7815);
    // Every step survives the round trip through its own text.
    for (int steps : {0, 1, 47, 48, 1000, 24000, 30499, 30500})
        EXPECT_EQ(DelayStepsFromText(FormatDelay(steps)), steps) << steps;
}

TEST(DisplayFormats, Texts) {
    EXPECT_EQ(FormatEqGain(0), "-15.0 dB");
    EXPECT_EQ(FormatEqGain(30), "0.0 dB");
    EXPECT_EQ(FormatEqGain(60), "15.0 dB");
    EXPECT_EQ(FormatEqWidth(0), "0.05 Oct");
    EXPECT_EQ(FormatEqWidth(59), "3.00 Oct");
    EXPECT_EQ(FormatDelay(0), "0.000 ms");
    EXPECT_EQ(FormatDelay(30500), "635.417 ms");
    EXPECT_EQ(FormatDelay(48), "1.000 ms");
    EXPECT_EQ(FormatLevel(0), "+0.0 dB");
    EXPECT_EQ(FormatLevel(15), "+3.0 dB");
    EXPECT_EQ(FormatLevel(-1), "-0.2 dB");
    EXPECT_EQ(FormatLevel(-240), "-48.0 dB");
    EXPECT_EQ(FormatLimit(0), "+0.0 dBu");
    EXPECT_EQ(FormatLimit(-21), "-4.2 dBu");
    EXPECT_EQ(FormatLimit(50), "+10.0 dBu");
}

namespace {

// A numeric punctuation that writes and reads ',' as the decimal point.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

void ExpectLocaleFreeTexts() {
    EXPECT_STREQ(FreqLabel(120), "1.00k Hz");
    EXPECT_EQ(FormatEqGain(36), "3.0 dB");
    EXPECT_EQ(FormatLevel(15), "+3.0 dB");
    EXPECT_EQ(FormatLimit(-21), "-4.2 dBu");
    EXPECT_EQ(FormatEqWidth(29), "1.50 Oct");
    EXPECT_EQ(FormatDelay(30500), "635.417 ms");
    EXPECT_DOUBLE_EQ(ParseTypedNumber("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(ParseTypedNumber("1.5k"), 1500.0);
    EXPECT_EQ(WidthFromText("1.5"), 29);
    EXPECT_EQ(GainFromText("1.5"), 33);
    EXPECT_EQ(FreqIndexFromText("1.03k", FreqMode::Eq), 121);
}

// Builds a German locale into a private folder, so the test does not depend
// on which locales the machine has generated. Empty when that cannot be done.
std::string MakeGermanLocale() {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("kv_tables_locale_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string cmd = "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) == -1) return {};
    return dir.string();
}

}  // namespace

TEST(LocaleIndependence, CxxGlobalLocaleWithCommaDecimal) {
    std::locale old = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    ExpectLocaleFreeTexts();
    std::locale::global(old);
}

TEST(LocaleIndependence, GermanCLocale) {
    const char* active = std::setlocale(LC_ALL, "de_DE.UTF-8");
    std::string dir;
    if (!active) {
        dir = MakeGermanLocale();
        if (!dir.empty()) {
            setenv("LOCPATH", dir.c_str(), 1);
            active = std::setlocale(LC_ALL, "de_DE.UTF-8");
        }
    }
    if (!active) {
        if (!dir.empty()) std::filesystem::remove_all(dir);
        GTEST_SKIP() << "no German locale can be made here (localedef and the locales sources are needed)";
    }
    // The locale really changes the C library's number texts...
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    EXPECT_STREQ(buf, "1,5");
    EXPECT_DOUBLE_EQ(std::strtod("1,5", nullptr), 1.5);
    // ...and ours stay the same.
    ExpectLocaleFreeTexts();
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    if (!dir.empty()) std::filesystem::remove_all(dir);
}
