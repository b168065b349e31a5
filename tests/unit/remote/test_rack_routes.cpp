// A server over a rack: which requests stay at the front, which go to one
// unit's worker, which to every unit of a group; and OSC addresses by alias
// or group.
#include <gtest/gtest.h>

#include "kvremote/rack_routes.h"

namespace {

using Kind = kvremote::RackRoute::Kind;

kvrack::Rack TestRack() {
    return *kvrack::ParseRack(R"({"units": [
        {"alias": "main-l", "port": "/dev/ttyUSB0", "groups": ["mains"]},
        {"alias": "main-r", "port": "/dev/ttyUSB1", "groups": ["mains"]},
        {"alias": "sub", "port": "/dev/ttyUSB2"}]})");
}

TEST(RackRoutes, FrontOneUnitOrAGroup) {
    const kvrack::Rack rack = TestRack();
    const struct {
        const char* method;
        const char* path;
        Kind kind;
        const char* aliases;  // joined by ","
        const char* worker_path;
        int status;  // of a refusal
    } cases[] = {
        {"GET", "/", Kind::kFront, "", "", 0},
        {"GET", "/api/v1/ws", Kind::kFront, "", "", 0},
        {"GET", "/api/v1/units", Kind::kUnits, "", "", 0},
        {"POST", "/api/v1/units", Kind::kRefused, "", "", 405},
        {"PATCH", "/api/v1/units/main-r/program", Kind::kProxy, "main-r", "/api/v1/program", 0},
        {"GET", "/api/v1/units/sub/settings/out3.gain", Kind::kProxy, "sub", "/api/v1/settings/out3.gain", 0},
        {"GET", "/api/v1/units/nobody/unit", Kind::kRefused, "", "", 404},
        {"POST", "/api/v1/groups/mains/mute-all", Kind::kFanOut, "main-l,main-r", "/api/v1/mute-all", 0},
        {"POST", "/api/v1/groups/mains/memories/4/recall", Kind::kFanOut, "main-l,main-r",
         "/api/v1/memories/4/recall", 0},
        {"PATCH", "/api/v1/groups/mains/program", Kind::kFanOut, "main-l,main-r", "/api/v1/program", 0},
        {"GET", "/api/v1/groups/mains/mute-all", Kind::kRefused, "", "", 404},
        {"POST", "/api/v1/groups/nobody/mute-all", Kind::kRefused, "", "", 404},
        {"GET", "/api/v1/program", Kind::kRefused, "", "", 404},
    };
    for (const auto& c : cases) {
        kvremote::Request r;
        r.method = c.method;
        r.path = c.path;
        const kvremote::RackRoute route = kvremote::RouteOnRack(rack, r);
        EXPECT_EQ(route.kind, c.kind) << c.method << " " << c.path;
        std::string aliases;
        for (const auto& a : route.aliases) aliases += (aliases.empty() ? "" : ",") + a;
        EXPECT_EQ(aliases, c.aliases) << c.path;
        EXPECT_EQ(route.path, c.worker_path) << c.path;
        if (c.status) EXPECT_EQ(route.refused.status, c.status) << c.path;
    }
}

TEST(RackRoutes, OscByAliasOrGroup) {
    const kvrack::Rack rack = TestRack();
    const struct {
        const char* address;
        const char* aliases;  // "" : names nothing of the rack
        const char* inner;
    } cases[] = {{"/kv/main-l/out/3/mute", "main-l", "/kv/out/3/mute"},
                 {"/kv/mains/mute_all", "main-l,main-r", "/kv/mute_all"},
                 {"/kv/sub/memory/recall", "sub", "/kv/memory/recall"},
                 {"/kv/out/3/mute", "", ""},
                 {"/kv/nobody/mute_all", "", ""},
                 {"/other/sub/x", "", ""}};
    for (const auto& c : cases) {
        const auto target = kvremote::OscOnRack(rack, c.address);
        std::string aliases;
        if (target)
            for (const auto& a : target->aliases) aliases += (aliases.empty() ? "" : ",") + a;
        EXPECT_EQ(aliases, c.aliases) << c.address;
        if (target) EXPECT_EQ(target->address, c.inner) << c.address;
    }
}

TEST(RackRoutes, AFanOutAnswersWithTheWorstStatus) {
    const auto r = kvremote::FanOutResponse({{"main-l", kvremote::JsonResponse(200, {{"out1.mute", true}})},
                                             {"main-r", kvremote::ErrorResponse(503, "", "the unit is not connected")}});
    EXPECT_EQ(r.status, 503);
    const auto body = nlohmann::json::parse(r.body);
    EXPECT_EQ(body["units"]["main-l"]["status"], 200);
    EXPECT_EQ(body["units"]["main-r"]["body"]["error"]["reason"], "the unit is not connected");
}

// The front's copy of a unit's program follows the unit's changes, so a
// client that connects later starts from the program as it is.
TEST(RackRoutes, TheFrontsProgramFollowsTheChanges) {
    using ojson = nlohmann::ordered_json;
    auto program = ojson::parse(R"({"name": "SHOW", "out3": {"gain": 0, "mute": true,
        "eq": [{"freq": 100}, {"freq": 200}, {"freq": 300}]}})");
    struct Case {
        const char* path;
        ojson value;
        const char* read;  // JSON pointer of what to compare
        ojson expect;
    };
    const Case cases[] = {
        {"out3.mute", false, "/out3/mute", false},
        {"out3.gain", -2.4, "/out3/gain", -2.4},
        {"name", "LATE", "/name", "LATE"},
        {"out3.hp", ojson{{"freq", "Out"}}, "/out3/hp", ojson{{"freq", "Out"}}},
        {"out3.eq1.freq", 125, "/out3/eq/0/freq", 125},
        {"out3.eq3", nullptr, "/out3/eq", ojson::parse(R"([{"freq": 125}, {"freq": 200}])")},
        // The last filter may be told gone before the one in front of it.
        {"out3.eq2", nullptr, "/out3/eq", ojson::parse(R"([{"freq": 125}])")},
        {"out4.eq2", ojson{{"freq", 50}}, "/out4/eq", ojson::parse(R"([null, {"freq": 50}])")},
        // Paths that name nothing change nothing.
        {"out3.eq0", 1, "/out3/eq", ojson::parse(R"([{"freq": 125}])")},
        {"out3.eq999", 1, "/out3/eq", ojson::parse(R"([{"freq": 125}])")},
        {"out3..gain", 1, "/out3/gain", -2.4},
    };
    for (const Case& c : cases) {
        kvremote::ApplyChange(program, c.path, c.value);
        EXPECT_EQ(program.at(nlohmann::ordered_json::json_pointer(c.read)), c.expect) << c.path;
    }
    // A unit whose server has not told its program yet keeps none.
    ojson none;
    kvremote::ApplyChange(none, "out1.mute", true);
    EXPECT_TRUE(none.is_null());
}

}  // namespace
