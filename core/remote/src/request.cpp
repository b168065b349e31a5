// The checks every request passes and the routing to the answers.
#include "kvremote/request.h"

#include <algorithm>
#include <cctype>

#include "kvprog/program_json.h"
#include "kvprog/setting_json.h"

namespace kvremote {

namespace {

using json = nlohmann::json;
using ojson = nlohmann::ordered_json;

bool Modifies(const std::string& method) { return method != "GET" && method != "HEAD"; }

std::vector<std::string> Segments(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 1;
    while (start <= path.size()) {
        const auto slash = path.find('/', start);
        const std::string_view part = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (!part.empty()) parts.emplace_back(part);
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return parts;
}

std::optional<int> Number(const std::string& text, int lo, int hi) {
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(c); }))
        return std::nullopt;
    const int n = std::stoi(text);
    if (n < lo || n > hi) return std::nullopt;
    return n;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecoded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i] == '+' ? ' ' : s[i];
        }
    }
    return out;
}

// Nesting deeper than the limit is refused before the parser sees it.
int JsonDepth(std::string_view text) {
    int depth = 0, deepest = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\') ++i;
            else if (c == '"') in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

std::optional<Response> ConnectedRefusal(const UnitState& unit) {
    if (unit.connected) return std::nullopt;
    std::string reason = "the unit is not connected";
    if (!unit.reason.empty()) {
        std::string why = unit.reason;  // the library's sentence, as a clause
        while (!why.empty() && why.back() == '.') why.pop_back();
        reason += " (" + why + ")";
    }
    return ErrorResponse(503, "", reason + "; nothing was sent");
}

Response DoneResponse(const std::optional<kvcore::Refusal>& refused, const ojson& body) {
    if (!refused) return JsonResponse(200, body);
    return ErrorResponse(502, refused->place, refused->reason);
}

}  // namespace

std::string Request::Header(std::string_view name) const {
    const auto it = headers.find(std::string(name));
    return it == headers.end() ? std::string() : it->second;
}

std::optional<std::string> Request::Query(std::string_view name) const {
    std::string_view rest = query;
    while (!rest.empty()) {
        const auto amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view{} : rest.substr(amp + 1);
        const auto eq = pair.find('=');
        if (PercentDecoded(pair.substr(0, eq)) == name)
            return eq == std::string_view::npos ? std::string() : PercentDecoded(pair.substr(eq + 1));
    }
    return std::nullopt;
}

Response ErrorResponse(int status, const std::string& path, const std::string& reason) {
    return JsonResponse(status, ojson{{"error", {{"path", path}, {"reason", reason}}}});
}

Response JsonResponse(int status, const ojson& body) {
    Response r;
    r.status = status;
    // Replaced, never thrown: a name read from a unit is always shown.
    r.body = body.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
    return r;
}

std::optional<json> ParseBody(std::string_view body, Response* refused) {
    if (body.size() > kMaxBodyBytes) {
        *refused = ErrorResponse(413, "", "the body is longer than 64 KiB");
        return std::nullopt;
    }
    if (body.find_first_not_of(" \t\r\n") == std::string_view::npos) return json::object();
    if (JsonDepth(body) > kMaxJsonDepth) {
        *refused = ErrorResponse(400, "", "the body is nested deeper than " + std::to_string(kMaxJsonDepth));
        return std::nullopt;
    }
    try {
        return json::parse(body.begin(), body.end());
    } catch (const json::parse_error& e) {
        const kvcore::Refusal r = kvprog::JsonSyntaxRefusal(body, e.byte, e.what());
        *refused = ErrorResponse(400, r.place, r.reason);
    } catch (const json::exception& e) {
        *refused = ErrorResponse(400, "", std::string("not a JSON document: ") + e.what());
    }
    return std::nullopt;
}

Response PageResponse(const Request& request, Access access, const AssetSource& assets) {
    if (request.method != "GET") return ErrorResponse(405, request.path, "only GET here");
    // Opening the page once with ?token= leaves the token in a cookie and
    // the address bar clean.
    if (request.Query("token") && access != Access::kNone) {
        Response r;
        r.status = 303;
        r.content_type = "text/plain";
        r.headers = {{"Location", request.path.empty() ? "/" : request.path},
                     {"Set-Cookie", std::string(kTokenCookie) + "=" + *request.Query("token") +
                                        "; Path=/; HttpOnly; SameSite=Strict"}};
        return r;
    }
    const std::string file = request.path == "/" || request.path.empty() ? "/index.html" : request.path;
    if (assets) {
        if (auto asset = assets(file)) {
            Response r;
            r.content_type = asset->content_type;
            r.body = std::move(asset->bytes);
            r.headers = {{"Cache-Control", "no-cache"}};
            return r;
        }
    }
    return ErrorResponse(404, request.path, "no such page");
}

RequestHandler::RequestHandler(Host& host, AccessPolicy policy, AssetSource assets)
    : host_(host), policy_(std::move(policy)), assets_(std::move(assets)) {}

std::optional<Response> CheckRequestAccess(const AccessPolicy& policy, const Request& request, Access& access) {
    const std::string host = request.Header("host");
    if (!HostAllowed(policy, host)) return ErrorResponse(403, "", "the Host header names another server");
    if (!OriginAllowed(request.Header("origin"), host))
        return ErrorResponse(403, "", "a page of another site may not use this server");
    access = AccessOf(policy, request.Header("authorization"), request.Header("cookie"),
                      request.Query("token").value_or(""));
    if (access == Access::kNone) {
        const bool offered = !request.Header("authorization").empty() || !CookieToken(request.Header("cookie")).empty() ||
                             request.Query("token").has_value();
        return offered ? ErrorResponse(403, "", "the token is not this server's")
                       : ErrorResponse(401, "", "this server needs its token (Authorization: Bearer)");
    }
    if (access == Access::kRead && Modifies(request.method))
        return ErrorResponse(403, "", "the read-only token may only watch");
    return std::nullopt;
}

std::optional<Response> RequestHandler::CheckAccess(const Request& request, Access& access) const {
    return CheckRequestAccess(policy_, request, access);
}

std::optional<Response> RequestHandler::CheckUpgrade(const Request& request, Access* access) const {
    Access a = Access::kNone;
    if (auto refused = CheckAccess(request, a)) return refused;
    if (access) *access = a;
    return std::nullopt;
}

std::optional<Response> RequestHandler::CheckCanChange() const {
    const UnitState unit = host_.Unit();
    if (!unit.busy.empty()) return ErrorResponse(409, "", unit.busy + " is running; try again when it has ended");
    return ConnectedRefusal(unit);
}

void RequestHandler::Handle(const Request& request, const std::function<void(Response)>& respond) {
    Access access = Access::kNone;
    if (auto refused = CheckAccess(request, access)) return respond(*refused);
    const Source source = request.Header("x-kv-client") == "web" ? Source::kWeb : Source::kApi;
    bool later = false;
    Response response = Route(request, access, source, respond, later);
    if (!later) respond(std::move(response));
}

Response RequestHandler::Route(const Request& request, Access access, Source source,
                               const std::function<void(Response)>& respond, bool& later) {
    const std::string& method = request.method;
    const std::vector<std::string> s = Segments(request.path);
    const bool api = s.size() >= 2 && s[0] == "api" && s[1] == "v1";
    if (!api) return PageResponse(request, access, assets_);

    const std::vector<std::string> r(s.begin() + 2, s.end());
    auto body = [&request](Response* refused) { return ParseBody(request.body, refused); };
    Response refused;

    if (r.size() == 1 && r[0] == "openapi.json" && method == "GET") {
        Response doc;
        doc.body = OpenApiDocument();
        return doc;
    }
    if (r.size() == 1 && r[0] == "unit" && method == "GET") return JsonResponse(200, UnitJson());
    if (r.size() == 1 && r[0] == "program") {
        if (method == "GET") return JsonResponse(200, kvprog::ProgramToJson(host_.Program()));
        if (method != "PATCH" && method != "PUT") return ErrorResponse(405, request.path, "GET, PATCH or PUT");
        const auto doc = body(&refused);
        if (!doc) return refused;
        if (method == "PATCH") return Patch(*doc, source);
        if (!policy_.allow_reset)
            return ErrorResponse(403, "", "a Download resets the unit; the host has not enabled it over the network");
        CDSDATA program(host_.Program());
        if (auto bad = kvprog::ImportJsonDocument(program, *doc)) return ErrorResponse(400, bad->place, bad->reason);
        if (auto cannot = CheckCanChange()) return *cannot;
        later = true;
        host_.Download(program, [respond, program](std::optional<kvcore::Refusal> done) {
            respond(DoneResponse(done, {{"downloaded", kvprog::ReadText(program, {kvprog::Field::Name})},
                                        {"muted", true}}));
        });
        return {};
    }
    if (r.size() == 2 && r[0] == "settings") {
        const auto ref = kvprog::ParsePath(PercentDecoded(r[1]));
        if (!ref) return ErrorResponse(404, PercentDecoded(r[1]), "no such setting");
        if (method == "GET") return JsonResponse(200, kvprog::SettingDocument(host_.Program(), *ref));
        if (method != "PUT") return ErrorResponse(405, request.path, "GET or PUT");
        const auto doc = body(&refused);
        if (!doc) return refused;
        return PutSetting(kvprog::PathOf(*ref), *doc, source);
    }
    if (r.size() == 1 && r[0] == "memories") {
        if (method != "GET") return ErrorResponse(405, request.path, "GET");
        if (request.Query("refresh").value_or("0") == "0") return JsonResponse(200, MemoriesJson());
        if (auto cannot = CheckCanChange()) return *cannot;
        later = true;
        host_.RefreshMemories([this, respond](std::optional<kvcore::Refusal> done) {
            respond(DoneResponse(done, MemoriesJson()));
        });
        return {};
    }
    if (r.size() == 3 && r[0] == "memories" && (r[2] == "recall" || r[2] == "store")) {
        if (method != "POST") return ErrorResponse(405, request.path, "POST");
        const auto n = Number(r[1], 1, 60);
        if (!n) return ErrorResponse(404, request.path, "memories are numbered 1 to 60");
        if (r[2] == "store" && !policy_.allow_reset)
            return ErrorResponse(403, "", "a Store overwrites a memory; the host has not enabled it over the network");
        const auto doc = body(&refused);
        if (!doc) return refused;
        std::string name;
        if (r[2] == "store") {
            const auto it = doc->find("name");
            if (!doc->is_object() || it == doc->end() || !it->is_string())
                return ErrorResponse(400, "name", "a store needs the memory's name");
            name = it->get<std::string>();
            CDSDATA probe(host_.Program());
            if (auto bad = kvprog::WriteText(probe, {kvprog::Field::Name}, name))
                return ErrorResponse(400, "name", bad->reason);
        }
        if (auto cannot = CheckCanChange()) return *cannot;
        later = true;
        const int memory = *n;
        if (r[2] == "recall")
            host_.Recall(memory, source, [this, respond, memory](std::optional<kvcore::Refusal> done) {
                respond(DoneResponse(done, {{"memory", memory},
                                            {"program", kvprog::ReadText(host_.Program(), {kvprog::Field::Name})}}));
            });
        else
            host_.Store(memory, name, [respond, memory, name](std::optional<kvcore::Refusal> done) {
                respond(DoneResponse(done, {{"memory", memory}, {"name", name}}));
            });
        return {};
    }
    if (r.size() >= 3 && r.size() <= 4 && r[0] == "outputs" && r[2] == "mute") {
        if (method != "POST") return ErrorResponse(405, request.path, "POST");
        const auto n = Number(r[1], 1, KV_OUTPUTS);
        if (!n) return ErrorResponse(404, request.path, "outputs are numbered 1 to 6");
        if (r.size() == 4) {
            if (r[3] != "toggle") return ErrorResponse(404, request.path, "no such route");
            return Mute(*n - 1, std::nullopt, source);
        }
        const auto doc = body(&refused);
        if (!doc) return refused;
        std::optional<bool> on;
        if (const auto q = request.Query("on")) on = *q == "1" || *q == "true";
        if (doc->is_object() && doc->contains("on")) {
            if (!(*doc)["on"].is_boolean()) return ErrorResponse(400, "on", "wrong type: expected true or false");
            on = (*doc)["on"].get<bool>();
        }
        if (!on) return ErrorResponse(400, "on", "say {\"on\": true} or {\"on\": false}");
        return Mute(*n - 1, on, source);
    }
    if (r.size() == 1 && (r[0] == "mute-all" || r[0] == "unmute-all")) {
        if (method != "POST") return ErrorResponse(405, request.path, "POST");
        return MuteAll(r[0] == "mute-all", source);
    }
    return ErrorResponse(404, request.path, "no such route");
}

}  // namespace kvremote
