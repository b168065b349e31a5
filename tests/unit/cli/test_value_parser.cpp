// `kvctl set PATH VALUE`: units, snapping, ranges and refusals on a factory
// program, and what linked outputs and a configuration change do.
#include <gtest/gtest.h>

#include "value_parser.h"

namespace {

using kvctl::ParseSetting;
using kvctl::SettingChange;

struct Case {
    const char* path;
    const char* value;
    const char* text;     // the value as the pages show it after the change; null: refused
    const char* refusal;  // part of the reason when refused
};

class ValueParser : public ::testing::Test {
protected:
    CDSDATA factory_;
};

TEST_F(ValueParser, UnitsRangesAndRefusals) {
    const Case cases[] = {
        {"out3.gain", "-2.4dB", "-2.4 dB", nullptr},
        {"out3.gain", "-2.4 dB", "-2.4 dB", nullptr},
        {"out3.gain", "-2.5dB", "-2.6 dB", nullptr},  // 0.2 dB steps
        {"out3.gain", "15dB", "+15.0 dB", nullptr},   // the top of the range
        {"out3.gain", "15.2dB", nullptr, "range"},
        {"out3.gain", "-20dB", nullptr, "range"},
        {"out3.gain", "-2.4ms", nullptr, ""},  // wrong unit
        {"out3.gain", "loud", nullptr, ""},
        {"out1.mute", "on", "on", nullptr},
        {"out1.mute", "maybe", nullptr, ""},
        {"ina.delay", "1.5ms", "1.500 ms", nullptr},
        {"ina.delay", "-1ms", nullptr, ""},
        {"out2.hp", "80Hz lr24", "79.4 Hz, L-R 24", nullptr},  // the nearest row of the frequency table
        {"out2.lp", "99kHz", nullptr, ""},
        {"out4.limit", "+4dBu", "+4.0 dBu", nullptr},
        {"out1.eq1.gain", "3dB", nullptr, "filter"},  // no filter in that slot
        {"out7.gain", "0dB", nullptr, "no such setting"},
        {"out3.volume", "0dB", nullptr, "no such setting"},
        {"", "0dB", nullptr, "no such setting"},
        {"name", "SHOW", nullptr, "whole program"},
        {"out2.name", "L Low", nullptr, "whole program"},
        {"out1.eq1", "x", nullptr, "whole program"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.value);
        auto result = ParseSetting(factory_, c.path, c.value);
        if (c.text) {
            ASSERT_TRUE(std::holds_alternative<SettingChange>(result)) << std::get<kvprog::Refusal>(result).Message();
            EXPECT_EQ(std::get<SettingChange>(result).text, c.text);
        } else {
            ASSERT_TRUE(std::holds_alternative<kvprog::Refusal>(result));
            EXPECT_NE(std::get<kvprog::Refusal>(result).Message().find(c.refusal), std::string::npos)
                << std::get<kvprog::Refusal>(result).Message();
        }
    }
}

TEST_F(ValueParser, WorksOnACopyAndLinkedPartnersFollow) {
    CDSDATA program(factory_);
    program.figuration = 1;  // 2 Channel 3 Way: Out 3 with Out 4
    program.link_on = 1;
    auto result = ParseSetting(program, "out3.gain", "-6dB");
    ASSERT_TRUE(std::holds_alternative<SettingChange>(result));
    const SettingChange& change = std::get<SettingChange>(result);
    EXPECT_EQ(change.program.out_gain[2], -30);
    EXPECT_EQ(change.program.out_gain[3], -30);
    EXPECT_EQ(program.out_gain[2], factory_.out_gain[2]);  // the caller's program is untouched
    EXPECT_FALSE(change.resets_program);
}

TEST_F(ValueParser, ConfigAndLinkSayThatTheyReset) {
    for (const auto& [path, value] : {std::pair{"config", "2 Channel 3 Way"}, std::pair{"link", "on"}}) {
        auto result = ParseSetting(factory_, path, value);
        ASSERT_TRUE(std::holds_alternative<SettingChange>(result)) << path;
        EXPECT_TRUE(std::get<SettingChange>(result).resets_program) << path;
    }
}

}  // namespace
