// The API as a client meets it: every request passes the same checks, a
// refused body changes nothing, and the answers carry the values as the
// unit holds them.
#include <gtest/gtest.h>

#include <functional>

#include "fake_host.h"
#include "kvremote/request.h"

namespace {

using kvremote::Request;
using kvremote::Response;

struct Unit {
    bool connected = true;
    const char* busy = "";
    int pending = 0;
};

struct Case {
    const char* what;
    const char* method;
    const char* target;  // path and query
    std::string body;
    int status;
    const char* says;       // part of the answer
    const char* applied;    // settings sent, joined by ", "
    Unit unit = {};
    std::vector<std::pair<std::string, std::string>> headers = {};
    bool allow_reset = false;
};

Response Ask(kvtest::FakeHost& host, const kvremote::AccessPolicy& policy, const Case& c) {
    Request r;
    r.method = c.method;
    const std::string target = c.target;
    const auto q = target.find('?');
    r.path = target.substr(0, q);
    if (q != std::string::npos) r.query = target.substr(q + 1);
    r.headers["host"] = "127.0.0.1:8758";
    for (const auto& [name, value] : c.headers) r.headers[name] = value;
    r.body = c.body;
    kvremote::RequestHandler handler(host, policy, [](std::string_view path) -> std::optional<kvremote::Asset> {
        if (path == "/index.html") return kvremote::Asset{"text/html", "<!doctype html>"};
        return std::nullopt;
    });
    Response got;
    int answers = 0;
    handler.Handle(r, [&](Response response) {
        got = std::move(response);
        ++answers;
    });
    EXPECT_EQ(answers, 1) << c.what << ": answered once";
    return got;
}

std::string Joined(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v) out += (out.empty() ? "" : ", ") + s;
    return out;
}

TEST(RemoteRequests, ChecksRoutesAndAnswers) {
    const std::string deep = std::string(40, '[') + std::string(40, ']');
    const Case cases[] = {
        {"the unit", "GET", "/api/v1/unit", "", 200, "\"connected\":true", ""},
        {"the program", "GET", "/api/v1/program", "", 200, "\"format\":\"kalvore-program\"", ""},
        {"one setting", "GET", "/api/v1/settings/out3.gain", "", 200, "\"unit\":\"dB\"", ""},
        {"no such setting", "GET", "/api/v1/settings/out9.gain", "", 404, "no such setting", ""},
        {"no such route", "GET", "/api/v1/nothing", "", 404, "no such route", ""},
        {"the page", "GET", "/", "", 200, "<!doctype html>", ""},
        {"no such page", "GET", "/../etc/passwd", "", 404, "no such page", ""},
        {"the API's description", "GET", "/api/v1/openapi.json", "", 200, "\"openapi\"", ""},
        {"a patch", "PATCH", "/api/v1/program", R"({"out3.gain": -2.39, "out1.mute": false, "ina.delay": "1.5ms"})",
         200, "\"out3.gain\":-2.4", "ina.delay (api), out1.mute (api), out3.gain (api)"},
        {"from the page", "PATCH", "/api/v1/program", R"({"out2.gain": 1})", 200, "", "out2.gain (web)", {}, {{"x-kv-client", "web"}}},
        {"one bad value refuses all", "PATCH", "/api/v1/program", R"({"out1.mute": true, "out3.gain": 99})", 400,
         "\"path\":\"out3.gain\"", ""},
        {"wrong type", "PATCH", "/api/v1/program", R"({"out1.mute": "sometimes"})", 400, "out1.mute", ""},
        {"unknown path", "PATCH", "/api/v1/program", R"({"out7.gain": 1})", 400, "no such setting", ""},
        {"not an object", "PATCH", "/api/v1/program", "[1, 2]", 400, "expected an object", ""},
        {"malformed", "PATCH", "/api/v1/program", "{\"out1.mute\": tru", 400, "line 1, column", ""},
        {"invalid UTF-8", "PATCH", "/api/v1/program", "{\"out1.name\": \"\xC3\"}", 400, "not a JSON document", ""},
        {"huge number", "PATCH", "/api/v1/program", R"({"out3.gain": 1e308})", 400, "out of range", ""},
        {"too deep", "PATCH", "/api/v1/program", deep, 400, "nested deeper", ""},
        {"too long", "PATCH", "/api/v1/program", std::string(70000, ' '), 413, "64 KiB", ""},
        {"a name travels only in a program", "PATCH", "/api/v1/program", R"({"name": "X"})", 400, "whole program", ""},
        {"configuration not enabled", "PATCH", "/api/v1/program", R"({"config": "Mono"})", 403, "resets", ""},
        {"configuration enabled", "PATCH", "/api/v1/program", R"({"config": "Mono"})", 200, "", "config (api)", {}, {},
         true},
        {"not connected", "PATCH", "/api/v1/program", R"({"out1.mute": true})", 503, "nothing was sent", "",
         {false, "", 0}},
        {"an operation runs", "PATCH", "/api/v1/program", R"({"out1.mute": true})", 409, "a recall is running", "",
         {true, "a recall", 0}},
        {"the line is full", "PATCH", "/api/v1/program", R"({"out1.mute": true})", 429, "the line is full", "",
         {true, "", kvremote::kMaxPendingSends + 1}},
        {"put one setting", "PUT", "/api/v1/settings/out2.hp", R"({"freq": 80, "type": "L-R 24"})", 200,
         "\"text\":\"79.4 Hz, L-R 24\"", "out2.hp (api)"},
        {"put as GET gives it", "PUT", "/api/v1/settings/out3.gain", R"({"value": -6})", 200, "\"value\":-6.0",
         "out3.gain (api)"},
        {"mute one", "POST", "/api/v1/outputs/3/mute", R"({"on": true})", 200, "\"out3.mute\":true", "out3.mute (api)"},
        {"mute one by query", "POST", "/api/v1/outputs/2/mute?on=0", "", 200, "\"out2.mute\":false", "out2.mute (api)"},
        {"mute needs on", "POST", "/api/v1/outputs/2/mute", "", 400, "\"on\"", ""},
        {"toggle", "POST", "/api/v1/outputs/6/mute/toggle", "", 200, "\"out6.mute\":false", "out6.mute (api)"},
        {"no output 7", "POST", "/api/v1/outputs/7/mute/toggle", "", 404, "1 to 6", ""},
        {"mute all", "POST", "/api/v1/mute-all", "", 200, "\"out6.mute\":true",
         "out1.mute (api), out2.mute (api), out3.mute (api), out4.mute (api), out5.mute (api), out6.mute (api)"},
        {"wrong method", "GET", "/api/v1/mute-all", "", 405, "POST", ""},
        {"recall", "POST", "/api/v1/memories/5/recall", "", 200, "\"memory\":5", ""},
        {"no memory 61", "POST", "/api/v1/memories/61/recall", "", 404, "1 to 60", ""},
        {"recall while unplugged", "POST", "/api/v1/memories/5/recall", "", 503, "not connected", "", {false, "", 0}},
        {"store not enabled", "POST", "/api/v1/memories/5/store", R"({"name": "SHOW"})", 403, "overwrites", ""},
        {"store enabled", "POST", "/api/v1/memories/5/store", R"({"name": "SHOW"})", 200, "\"name\":\"SHOW\"", "", {}, {},
         true},
        {"store a name the unit cannot show", "POST", "/api/v1/memories/5/store", R"({"name": "ÄÖÜ"})", 400, "name", "",
         {}, {}, true},
        {"download not enabled", "PUT", "/api/v1/program", R"({"format": "kalvore-program", "version": 1})", 403,
         "Download", ""},
        {"list again", "GET", "/api/v1/memories?refresh=1", "", 200, "\"memories\"", ""},
        {"the last list", "GET", "/api/v1/memories", "", 200, "\"memories\"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDSDATA factory;
        kvtest::FakeHost host(factory);
        host.unit.connected = c.unit.connected;
        host.unit.busy = c.unit.busy;
        host.unit.pending_sends = c.unit.pending;
        kvremote::AccessPolicy policy;
        policy.allow_reset = c.allow_reset;
        const CDSDATA before(host.Program());
        const Response r = Ask(host, policy, c);
        EXPECT_EQ(r.status, c.status) << r.body;
        EXPECT_NE(r.body.find(c.says), std::string::npos) << r.body;
        EXPECT_EQ(Joined(host.applied), c.applied);
        if (r.status >= 400)
            EXPECT_EQ(std::memcmp(&before.out_gain, &host.Program().out_gain, sizeof before.out_gain), 0)
                << "a refused request changed the program";
    }
}

TEST(RemoteRequests, WhoMayDoWhat) {
    kvremote::AccessPolicy policy;
    policy.token = "0123456789abcdef0123456789abcdef";
    policy.read_only_token = "fedcba9876543210fedcba9876543210";
    const std::string full = "Bearer " + policy.token, read = "Bearer " + policy.read_only_token;
    const Case cases[] = {
        {"no token", "GET", "/api/v1/unit", "", 401, "needs its token", ""},
        {"wrong token", "GET", "/api/v1/unit", "", 403, "not this server's", "", {}, {{"authorization", "Bearer nope"}}},
        {"full token", "PATCH", "/api/v1/program", R"({"out1.mute": true})", 200, "", "out1.mute (api)", {},
         {{"authorization", full}}},
        {"read-only token watches", "GET", "/api/v1/program", "", 200, "kalvore-program", "", {},
         {{"authorization", read}}},
        {"read-only token changes nothing", "PATCH", "/api/v1/program", R"({"out1.mute": true})", 403, "only watch", "",
         {}, {{"authorization", read}}},
        {"token in the cookie", "GET", "/api/v1/unit", "", 200, "connected", "", {},
         {{"cookie", "theme=dark; kv_token=" + policy.token}}},
        {"opening the page with the token sets the cookie", "GET", "/?token=0123456789abcdef0123456789abcdef", "",
         303, "", ""},
        {"another site's host", "GET", "/api/v1/unit", "", 403, "Host", "", {},
         {{"authorization", full}, {"host", "evil.example:8758"}}},
        {"another site's page", "PATCH", "/api/v1/program", R"({"out1.mute": true})", 403, "another site", "", {},
         {{"authorization", full}, {"origin", "http://evil.example"}}},
        {"the page itself", "PATCH", "/api/v1/program", R"({"out1.mute": true})", 200, "", "out1.mute (api)", {},
         {{"authorization", full}, {"origin", "http://127.0.0.1:8758"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDSDATA factory;
        kvtest::FakeHost host(factory);
        host.unit.connected = true;
        const Response r = Ask(host, policy, c);
        EXPECT_EQ(r.status, c.status) << r.body;
        EXPECT_NE(r.body.find(c.says), std::string::npos) << r.body;
        EXPECT_EQ(Joined(host.applied), c.applied);
        if (r.status == 303) {
            ASSERT_EQ(r.headers.size(), 2u);
            EXPECT_EQ(r.headers[1].second, "kv_token=" + policy.token + "; Path=/; HttpOnly; SameSite=Strict");
            EXPECT_EQ(r.headers[0].second, "/");
        }
    }
}

TEST(RemoteRequests, LongOperationsAnswerWhenTheHostHasDone) {
    CDSDATA factory;
    kvtest::FakeHost host(factory);
    host.unit.connected = true;
    host.answer = kvcore::Refusal{"", "the unit did not answer the recall of memory 5"};
    const Response r = Ask(host, {}, {"recall fails", "POST", "/api/v1/memories/5/recall", "", 502, "did not answer", ""});
    EXPECT_EQ(r.status, 502);
    EXPECT_EQ(host.operations, std::vector<std::string>{"recall 5"});
}

}  // namespace
