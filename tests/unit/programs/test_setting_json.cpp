// One setting as JSON: every value --json prints goes back in unchanged,
// and values of the wrong JSON type are refused with the path.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <random>

#include "kvprog/setting_json.h"
#include "random_program.h"

namespace {

using nlohmann::json;

TEST(SettingJson, EveryValueWritesBackUnchanged) {
    std::mt19937 rng(7);
    const CDSDATA factory;
    for (int round = 0; round < 20; ++round) {
        CDSDATA m(factory);
        kvtest::programs::RandomProgram(m, rng);
        for (const kvprog::SettingRef& ref : kvprog::SettingsOf(m)) {
            if (ref.field == kvprog::Field::Config || ref.field == kvprog::Field::Link) continue;  // they reset
            const std::string path = kvprog::PathOf(ref);
            const json value = kvprog::SettingValue(m, ref);
            if (value.is_null()) continue;
            // Taken and refused exactly where the page's text of it is (a
            // linked follower and a whole filter are not set on their own).
            CDSDATA w(m), by_text(m);
            const auto refused = kvprog::WriteValue(w, ref, json::parse(value.dump()));
            const auto refused_text = kvprog::WriteText(by_text, ref, kvprog::ReadText(m, ref));
            ASSERT_EQ(refused.has_value(), refused_text.has_value()) << path << " " << value.dump();
            if (refused) continue;
            EXPECT_TRUE(kvprog::SameSetting(m, w, ref)) << path << " " << value.dump();
        }
    }
}

TEST(SettingJson, DocumentsAndRefusals) {
    CDSDATA m;
    m.out_gain[2] = -30;
    m.xo_freq[1][0] = 47;  // 79.4 Hz
    m.xo_type[1][0] = 7;
    EXPECT_EQ(kvprog::SettingDocument(m, *kvprog::ParsePath("out3.gain")).dump(),
              R"({"path":"out3.gain","value":-6.0,"unit":"dB","text":"-6.0 dB"})");
    EXPECT_EQ(kvprog::SettingDocument(m, *kvprog::ParsePath("out2.hp")).dump(),
              R"({"path":"out2.hp","value":{"freq":79.4,"type":"L-R 24"},"text":"79.4 Hz, L-R 24"})");
    EXPECT_EQ(kvprog::SettingValue(m, *kvprog::ParsePath("out1.mute")), true);
    EXPECT_EQ(kvprog::SettingValue(m, *kvprog::ParsePath("out1.source")), "In A");

    struct Case {
        const char* path;
        json value;
        const char* refused;  // nullptr: taken
        const char* text;     // what the pages then show
    };
    const Case cases[] = {
        {"out3.gain", -2.39, nullptr, "-2.4 dB"},
        {"out3.gain", "-1.2dB", nullptr, "-1.2 dB"},
        {"out3.gain", 16, "out of range", ""},
        {"out3.gain", 1e300, "out of range", ""},
        {"out3.gain", true, "wrong type: expected a number", ""},
        {"out3.gain", json::array({1}), "wrong type: expected a number", ""},
        {"out3.gain", nullptr, "wrong type", ""},
        {"out1.mute", false, nullptr, "off"},
        {"out1.mute", 1, "wrong type: expected true or false", ""},
        {"out1.polarity", 180, nullptr, "180"},
        {"out1.source", "In SUM A+B", nullptr, "In SUM A+B"},
        {"out1.source", 2, "wrong type: expected a name", ""},
        {"out2.hp", json{{"freq", 120}}, nullptr, "120.0 Hz, L-R 24"},
        {"out2.hp", json{{"freq", "Out"}, {"type", "But 12"}}, nullptr, "Out, But 12"},
        {"out2.hp", 41.2, nullptr, "41.2 Hz, L-R 24"},
        {"out2.hp", json{{"freq", 120}, {"slope", 3}}, "out2.hp.slope: unknown key", ""},
        {"out2.hp", json{{"freq", true}}, "wrong type", ""},
        {"ina.delay", 1.5, nullptr, "1.500 ms"},
    };
    for (const Case& c : cases) {
        const auto ref = kvprog::ParsePath(c.path);
        ASSERT_TRUE(ref) << c.path;
        CDSDATA w(m);
        const auto refused = kvprog::WriteValue(w, *ref, c.value);
        if (c.refused) {
            ASSERT_TRUE(refused) << c.path << " " << c.value.dump();
            EXPECT_NE(refused->Message().find(c.refused), std::string::npos) << refused->Message();
            EXPECT_TRUE(kvprog::SameSetting(m, w, *ref)) << "a refused value changed " << c.path;
            continue;
        }
        ASSERT_FALSE(refused) << c.path << " " << c.value.dump() << ": " << refused->Message();
        EXPECT_EQ(kvprog::ReadText(w, *ref), c.text) << c.path;
    }
}

}  // namespace
