// JSON export and import: values in the pages' units, every refusal of the
// importer, and the round trip over random programs.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "kvprog/program_json.h"
#include "random_program.h"
#include "wire_recorder.h"

namespace {

using json = nlohmann::json;
using kvtest::programs::Image;

class ProgramJson : public testing::Test {
protected:
    kvtest::WireRecorder rec;
    CDSDATA m;

    void SetUp() override {
        std::strcpy(m.prog_name, "SHOW3");
        m.out_gain[2] = -12;
        m.ina_delay = 72;
        m.xo_freq[0][0] = 0;
        ASSERT_TRUE(kvtest::programs::AddFilter(m, 2, 2, 120, 31, 5));
        ASSERT_TRUE(kvtest::programs::AddFilter(m, CHAN_IN_A, 4, 200, 0, 59));
    }
    json Exported() { return json::parse(kvprog::ExportJson(m)); }
};

TEST_F(ProgramJson, ExportsValuesInThePagesUnits) {
    const json doc = Exported();
    EXPECT_EQ(doc["format"], "kalvore-program");
    EXPECT_EQ(doc["version"], 1);
    EXPECT_EQ(doc["name"], "SHOW3");
    EXPECT_EQ(doc["config"], "Mono");
    EXPECT_EQ(doc["link"], false);
    EXPECT_EQ(doc["ina"]["delay"], 1.5);
    EXPECT_EQ(doc["ina"]["eq"][0], json::parse(R"({"type": "High 12", "freq": 16000.0, "gain": -15.0, "width": 3.0})"));
    EXPECT_EQ(doc["out3"]["gain"], -2.4);
    EXPECT_EQ(doc["out3"]["limit"], 4.0);
    EXPECT_EQ(doc["out3"]["mute"], true);
    EXPECT_EQ(doc["out3"]["polarity"], "normal");
    EXPECT_EQ(doc["out3"]["eq"][0], json::parse(R"({"type": "Bell", "freq": 1000.0, "gain": 0.5, "width": 0.3})"));
    EXPECT_EQ(doc["out1"]["hp"], json::parse(R"({"freq": "Out", "type": "L-R 24"})"));
    EXPECT_EQ(doc["out6"]["lp"]["freq"], "Out");
    EXPECT_EQ(doc["sum"], json::parse(R"({"delay": 0.0})"));
    EXPECT_EQ(doc["filter_order"], json::parse(R"(["out3", "ina"])"));
}

TEST_F(ProgramJson, RefusesTheWholeFileNamingPathAndReason) {
    auto many = [](int n) {
        json list = json::array();
        for (int i = 0; i < n; ++i) list.push_back({{"type", "Bell"}, {"freq", 1000}, {"gain", 1}, {"width", 0.3}});
        return list;
    };
    const struct {
        const char* what;
        std::function<void(json&)> edit;
        const char* path;
        const char* reason;
    } cases[] = {
        {"unknown key", [](json& d) { d["colour"] = "red"; }, "colour", "unknown key"},
        {"unknown channel key", [](json& d) { d["out3"]["volume"] = 1; }, "out3.volume", "unknown key"},
        {"unknown filter key", [](json& d) { d["out3"]["eq"][0]["q"] = 1; }, "out3.eq[0].q", "unknown key"},
        {"number as text", [](json& d) { d["out3"]["gain"] = "-2.4dB"; }, "out3.gain", "wrong type"},
        {"link as number", [](json& d) { d["link"] = 1; }, "link", "wrong type"},
        {"eq as object", [](json& d) { d["out3"]["eq"] = json::object(); }, "out3.eq", "wrong type"},
        {"channel as list", [](json& d) { d["out2"] = json::array(); }, "out2", "wrong type"},
        {"gain too high", [](json& d) { d["out3"]["gain"] = 15.2; }, "out3.gain", "out of range"},
        {"limit too low", [](json& d) { d["out1"]["limit"] = -10.2; }, "out1.limit", "out of range"},
        {"EQ above 16 kHz", [](json& d) { d["out3"]["eq"][0]["freq"] = 20000; }, "out3.eq[0].freq", "out of range"},
        {"width too wide", [](json& d) { d["ina"]["eq"][0]["width"] = 3.1; }, "ina.eq[0].width", "out of range"},
        {"unknown type", [](json& d) { d["out3"]["hp"]["type"] = "Chebyshev"; }, "out3.hp.type", "out of range"},
        {"unknown config", [](json& d) { d["config"] = "Stereo"; }, "config", "out of range"},
        {"name unit cannot show", [](json& d) { d["name"] = "A.B"; }, "name", "out of range"},
        {"high-pass above low-pass", [](json& d) { d["out3"]["hp"]["freq"] = 2000; }, "out3.hp", "out of range"},
        {"delays beyond the limit", [](json& d) { d["out3"]["delay"] = 635; }, "out3.delay", "out of range"},
        {"other format", [](json& d) { d["format"] = "other"; }, "format", "not a Kalvore program"},
        {"later version", [](json& d) { d["version"] = 2; }, "version", "out of range"},
        {"13 filters on a channel", [&](json& d) { d["out3"]["eq"] = many(13); }, "out3.eq", "a channel holds 12"},
        {"40 filters in all",
         [&](json& d) {
             d["ina"]["eq"] = many(12);
             d["inb"]["eq"] = many(12);
             d["out1"]["eq"] = many(12);
             d["out2"]["eq"] = many(4);
             d.erase("filter_order");
         },
         "", "the pool holds 39"},
        {"over the first DSP's budget",
         [&](json& d) {
             d["ina"]["eq"] = many(12);
             d["inb"]["eq"] = many(1);
             d.erase("filter_order");
         },
         "inb.eq[0]", "DSP budget"},
        {"over both DSPs' budget",
         [&](json& d) {
             d["out3"]["eq"] = many(12);
             d["out4"]["eq"] = many(7);
             d.erase("filter_order");
         },
         "out4.eq[6]", "DSP budget"},
        {"filter order not matching",
         [](json& d) {
             d["filter_order"] = json::array({"out3", "out3"});
         },
         "filter_order", "lists 0 filters of ina"},
        {"filter order names the sum", [](json& d) { d["filter_order"][0] = "sum"; }, "filter_order[0]",
         "out of range"},
    };
    CDSDATA target(m);
    target.InitData();
    const auto before = Image(target);
    for (const auto& c : cases) {
        json doc = Exported();
        c.edit(doc);
        const auto refused = kvprog::ImportJsonDocument(target, doc);
        ASSERT_TRUE(refused) << c.what;
        EXPECT_EQ(refused->place, c.path) << c.what << ": " << refused->Message();
        EXPECT_NE(refused->reason.find(c.reason), std::string::npos) << c.what << ": " << refused->Message();
        EXPECT_EQ(Image(target), before) << c.what;
    }
    // A document that is no JSON names the line and column of the fault.
    const struct {
        const char* text;
        const char* place;
        const char* reason;
    } syntax[] = {
        {"{\"format\": ", "line 1, column 12", "unexpected end of input"},
        {"{\n  \"name\": \"A\",\n  }", "line 3, column 3", "syntax error while parsing object"},
        {"{\"name\": \"\xC3\"}", "line 1, column 12", "invalid string"},
        {"", "line 1, column 1", "unexpected end of input"},
        {"{\"out2\": {\"gain\":\n -1.4E0000000000000000000000000000614891469123}}", "line 2, column 2",
         "a number too large to read: -1.4E0000000000000000000..."},
    };
    for (const auto& c : syntax) {
        const auto refused = kvprog::ImportJson(target, c.text);
        ASSERT_TRUE(refused) << c.text;
        EXPECT_EQ(refused->place, c.place) << refused->Message();
        EXPECT_EQ(refused->reason.rfind("not a JSON document: ", 0), 0u) << refused->Message();
        EXPECT_NE(refused->reason.find(c.reason), std::string::npos) << refused->Message();
    }
    EXPECT_EQ(Image(target), before);
}

TEST_F(ProgramJson, ImportSnapsToStepsAndKeepsTheCallersMemoryAndCursors) {
    json doc = Exported();
    doc["out3"]["gain"] = -2.45;  // nearest 0.2 dB step
    doc["out3"]["eq"][0]["freq"] = 990;
    doc["ina"]["delay"] = 1.51;
    CDSDATA target(m);
    target.mem_num = 7;
    target.cur_chan = 4;
    target.xo_side = 1;
    ASSERT_FALSE(kvprog::ImportJsonDocument(target, doc));
    EXPECT_EQ(target.cur_chan, 4);
    EXPECT_EQ(target.xo_side, 1);
    EXPECT_EQ(target.out_gain[2], -12);
    EXPECT_EQ(target.eq_freq[target.out_eq_slot[2][0]], 120);
    EXPECT_EQ(target.ina_delay, 72);
    EXPECT_EQ(target.mem_num, 7);
}

TEST_F(ProgramJson, TwinsFollowTheirLeadersWithoutAFilterOrder) {
    json doc = json::parse(R"({"format": "kalvore-program", "version": 1, "config": "2 Channel 3 Way", "link": true,
        "out1": {"eq": [{"type": "Bell", "freq": 100, "gain": 1, "width": 1}, {"type": "Bell", "freq": 200, "gain": 1, "width": 1}]},
        "out2": {"eq": [{"type": "Bell", "freq": 100, "gain": 1, "width": 1}, {"type": "Bell", "freq": 200, "gain": 1, "width": 1}]},
        "out3": {"eq": [{"type": "Low 6", "freq": 50, "gain": -3, "width": 1}]}})");
    ASSERT_FALSE(kvprog::ImportJsonDocument(m, doc));
    EXPECT_EQ(m.eq_used, 5);
    const int owners[] = {0, 1, 0, 1, 2};
    for (int r = 0; r < 5; ++r) EXPECT_EQ(m.eq_owner[r], owners[r]) << r;
    EXPECT_EQ(m.eq_link[0], 1);
    EXPECT_EQ(m.eq_link[2], 3);
    EXPECT_EQ(m.out_eq_slot[1][1], 3);
    EXPECT_EQ(m.eq_dsp[4], 1);
}

TEST_F(ProgramJson, RoundTripGivesTheSameImageForRandomPrograms) {
    std::mt19937 rng(758);
    CDSDATA target(m);
    int with_filters = 0;
    for (int i = 0; i < 300; ++i) {
        kvtest::programs::RandomProgram(m, rng);
        const std::string text = kvprog::ExportJson(m);
        const auto refused = kvprog::ImportJson(target, text);
        ASSERT_FALSE(refused) << "program " << i << ": " << refused->Message() << "\n" << text;
        ASSERT_EQ(Image(target), Image(m)) << "program " << i << "\n" << text;
        ASSERT_EQ(kvprog::ExportJson(target), text) << "program " << i;
        with_filters += m.eq_used > 3;
    }
    EXPECT_GT(with_filters, 100);  // the property saw real pools
}

}  // namespace
