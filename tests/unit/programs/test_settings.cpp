// The settings catalogue: paths, typed values written as the pages write
// them, refusals, and the messages that carry a setting to the unit.
#include <gtest/gtest.h>

#include "kvprog/settings.h"
#include "random_program.h"
#include "wire_recorder.h"

namespace {

using kvprog::Field;
using kvprog::SettingRef;
using kvtest::Hex;

class Settings : public testing::Test {
protected:
    kvtest::WireRecorder rec;
    CDSDATA m;

    void SetUp() override {
        // Mono, Out 3 with one filter: Bell at 1 kHz, +0.5 dB, 0.30 Oct.
        ASSERT_TRUE(kvtest::programs::AddFilter(m, 2, 2, 120, 31, 5));
        rec.Clear();
    }
    std::optional<kvprog::Refusal> Set(const std::string& path, const std::string& text) {
        const auto ref = kvprog::ParsePath(path);
        EXPECT_TRUE(ref) << path;
        return kvprog::WriteText(m, *ref, text);
    }
    std::string Get(const std::string& path) { return kvprog::ReadText(m, *kvprog::ParsePath(path)); }
};

TEST(SettingPaths, ParseAndPrintBothWays) {
    const struct {
        const char* path;
        SettingRef ref;
    } cases[] = {
        {"config", {Field::Config}},
        {"name", {Field::Name}},
        {"sum.delay", {Field::Delay, kvprog::kChanSum}},
        {"out3.gain", {Field::Gain, 2}},
        {"out6.lp", {Field::LowPass, 5}},
        {"ina.eq2.freq", {Field::EqFreq, CHAN_IN_A, 1}},
        {"inb.eq12.width", {Field::EqWidth, CHAN_IN_B, 11}},
        {"out1.eq1", {Field::EqFilter, 0, 0}},
    };
    for (const auto& c : cases) {
        const auto ref = kvprog::ParsePath(c.path);
        ASSERT_TRUE(ref) << c.path;
        EXPECT_EQ(*ref, c.ref) << c.path;
        EXPECT_EQ(kvprog::PathOf(c.ref), c.path);
    }
    for (const char* bad : {"", "out7.gain", "ina.gain", "sum.eq1.type", "out3.eq13.type", "out3.eq0.type", "eq1",
                            "out3.gain.x", "out3.eq1.q", "Out3.gain"})
        EXPECT_FALSE(kvprog::ParsePath(bad)) << bad;
}

TEST_F(Settings, TypedValuesSnapToTheUnitsSteps) {
    const struct {
        const char* path;
        const char* typed;
        const char* shown;
    } cases[] = {
        {"out3.gain", "-2.4dB", "-2.4 dB"},
        {"out3.gain", "-2.41 dB", "-2.4 dB"},
        {"out3.gain", "+15", "+15.0 dB"},
        {"out3.limit", "4dBu", "+4.0 dBu"},
        {"out3.delay", "1.5ms", "1.500 ms"},
        {"sum.delay", "600 ms", "600.000 ms"},
        {"out3.hp", "80Hz lr24", "79.4 Hz, L-R 24"},
        {"out3.hp", "Out", "Out, L-R 24"},
        {"out3.lp", "1.2 kHz, 48dB Butterworth", "1.18k Hz, But 48"},
        {"out3.lp", "bes12", "1.18k Hz, Bes 12"},
        {"out3.mute", "on", "on"},
        {"out3.polarity", "180", "180"},
        {"out3.source", "sum", "In SUM A+B"},
        {"out3.name", "C Low", "C Low"},
        {"name", "SHOW-3", "SHOW-3"},
        {"out3.eq1.type", "high12", "High 12"},
        {"out3.eq1.freq", "1k", "1.00k Hz"},
        {"out3.eq1.gain", "+3dB", "3.0 dB"},
        {"out3.eq1.width", "0.5 oct", "0.50 Oct"},
    };
    for (const auto& c : cases) {
        const auto refused = Set(c.path, c.typed);
        EXPECT_FALSE(refused) << c.path << " " << c.typed << ": " << refused->Message();
        EXPECT_EQ(Get(c.path), c.shown) << c.path << " " << c.typed;
    }
}

TEST_F(Settings, RefusedValuesChangeNothing) {
    const struct {
        const char* path;
        const char* typed;
        const char* reason;
    } cases[] = {
        {"out3.gain", "15.2dB", "out of range (-15.0 dB to +15.0 dB)"},
        {"out3.gain", "2ms", "unit 'ms' does not fit"},
        {"out3.gain", "loud", "not a number"},
        {"out3.delay", "700ms", "out of range"},
        {"out3.hp", "2k", "high-pass lies above the low-pass"},
        {"out3.lp", "20k", "out of range"},
        {"out3.hp", "80Hz 90Hz", "neither a frequency nor a filter type"},
        {"out3.name", "Woofer", "not an output name"},
        {"out3.mute", "maybe", "not on or off"},
        {"name", "A.B", "cannot show '.'"},
        {"name", "TOOLONGNAME", "longer than 8"},
        {"out3.eq2.gain", "1dB", "no EQ filter in this slot"},
        {"out3.eq1", "Bell", "a whole filter"},
        {"config", "Stereo", "not a configuration"},
    };
    const auto before = kvtest::programs::Image(m);
    for (const auto& c : cases) {
        const auto refused = Set(c.path, c.typed);
        ASSERT_TRUE(refused) << c.path << " " << c.typed;
        EXPECT_EQ(refused->place, c.path);
        EXPECT_NE(refused->reason.find(c.reason), std::string::npos) << refused->reason;
        EXPECT_EQ(kvtest::programs::Image(m), before) << c.path;
    }
}

TEST_F(Settings, LinkedPartnersFollowAsOnThePages) {
    m.figuration = 1;
    m.link_on = 1;
    m.InitData();
    EXPECT_FALSE(Set("out1.gain", "-3dB"));
    EXPECT_EQ(Get("out2.gain"), "-3.0 dB");
    EXPECT_FALSE(Set("out1.mute", "off"));
    EXPECT_EQ(Get("out2.mute"), "on");  // each output's mute is its own
    EXPECT_FALSE(Set("ina.delay", "2ms"));
    EXPECT_EQ(Get("inb.delay"), "2.000 ms");
    EXPECT_TRUE(Set("inb.delay", "1ms"));
    // A new configuration resets the program, as the configuration command does.
    EXPECT_FALSE(Set("config", "3 Channel 2 Way"));
    EXPECT_EQ(Get("out1.gain"), "+0.0 dB");
    EXPECT_EQ(Get("out2.source"), "In SUM A+B");
}

TEST_F(Settings, SendsTheSettingsMessages) {
    m.cur_chan = 4;
    ASSERT_FALSE(Set("out3.gain", "-2.4dB"));
    ASSERT_FALSE(Set("out3.eq1.gain", "3dB"));
    const struct {
        const char* path;
        std::vector<std::string> messages;
    } cases[] = {
        {"out3.gain", {"F0 00 20 18 00 2D 62 62 00 3F F7"}},
        {"out2.source", {"F0 00 20 18 00 2D 61 61 00 00 F7"}},
        {"ina.delay", {"F0 00 20 18 00 2D 20 20 00 F7"}},
        {"out3.eq1.gain", {"F0 00 20 18 00 2D 62 6E 00 24 02 F7", "F0 00 20 18 00 2D 62 1A 01 F7"}},
        {"out3.hp", {"F0 00 20 18 00 2D 62 67 00 07 F7", "F0 00 20 18 00 2D 62 68 00 43 F7"}},
        {"config", {"F0 00 20 18 00 2D 01 11 01 F7", "F0 00 20 18 00 06 01 F7"}},
        {"out3.name", {}},
        {"name", {}},
    };
    for (const auto& c : cases) {
        rec.Clear();
        kvprog::SendSetting(m, *kvprog::ParsePath(c.path));
        std::vector<kvtest::Bytes> want;
        for (const auto& h : c.messages) want.push_back(Hex(h));
        EXPECT_EQ(rec.Messages(), want) << c.path << "\n" << rec.Describe();
    }
    EXPECT_EQ(m.cur_chan, 4);  // the cursors are the caller's
}

}  // namespace
