// The remote-control API as plain requests and responses: routing, the
// checks every request passes (who may do what, Host and Origin, size and
// shape of the body, the state of the unit) and the answers, over a Host.
// No network here: the server (kvremote/server.h) carries requests to it
// over HTTP, and tests call it directly.
//
//   GET   /api/v1/unit                    the unit and the program's name
//   GET   /api/v1/program                 the program (program JSON)
//   PATCH /api/v1/program                 {"out3.gain": -2.4, "out1.mute": true, ...}
//   PUT   /api/v1/program                 a whole program: a Download (needs allow_reset)
//   GET   /api/v1/settings/{path}         one setting {"path","value","unit","text"}
//   PUT   /api/v1/settings/{path}         its new value (or {"value": ...})
//   GET   /api/v1/memories[?refresh=1]    the last list (or a new one)
//   POST  /api/v1/memories/{n}/recall
//   POST  /api/v1/memories/{n}/store      {"name": "SHOW3"} (needs allow_reset)
//   POST  /api/v1/outputs/{n}/mute        {"on": true} (or ?on=1)
//   POST  /api/v1/outputs/{n}/mute/toggle
//   POST  /api/v1/mute-all, /api/v1/unmute-all
//   GET   /api/v1/openapi.json
//   GET   /api/v1/ws[?client=web]         WebSocket: a snapshot, then every change;
//                                         {"type": "patch", "settings": {...}} changes
//                                         settings as PATCH does
//   GET   /, /app.js, ...                 the page
//
// Refusals are {"error": {"path", "reason"}} with 400 (refused input), 401
// (no token), 403 (wrong token, read-only token, Host or Origin, an
// operation not enabled), 404, 405, 409 (an operation is running), 413
// (body over 64 KiB), 429 (the line is full), 503 (the unit is not
// connected).
#pragma once

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kvremote/access.h"
#include "kvremote/host.h"

namespace kvremote {

// The one address of the WebSocket (the snapshot, then every change).
inline constexpr const char* kWebSocketPath = "/api/v1/ws";
inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;
inline constexpr int kMaxJsonDepth = 32;
// Parameter sends waiting for the line beyond which a client is told to
// slow down (429) instead of queuing more.
inline constexpr int kMaxPendingSends = 256;

struct Request {
    std::string method;                          // "GET", "PATCH", ...
    std::string path;                            // "/api/v1/program", without the query
    std::string query;                           // "refresh=1&token=..." as sent
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;

    std::string Header(std::string_view name) const;
    // One parameter of the query, percent-decoded; nullopt when absent.
    std::optional<std::string> Query(std::string_view name) const;
};

struct Response {
    int status = 200;
    std::string content_type = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// A file of the page: its type and bytes.
struct Asset {
    std::string content_type;
    std::string bytes;
};
using AssetSource = std::function<std::optional<Asset>(std::string_view path)>;

// {"error": {"path": ..., "reason": ...}} with a status.
Response ErrorResponse(int status, const std::string& path, const std::string& reason);
Response JsonResponse(int status, const nlohmann::ordered_json& body);

class RequestHandler {
public:
    RequestHandler(Host& host, AccessPolicy policy, AssetSource assets = {});

    // Answers `request` through `respond`, exactly once: at once, or (a
    // recall, a list, a store) when the host has done it.
    void Handle(const Request& request, const std::function<void(Response)>& respond);

    // The checks of a WebSocket upgrade (Host, Origin, token): nullopt when
    // it may connect, else the refusal to answer with.
    std::optional<Response> CheckUpgrade(const Request& request, Access* access) const;

    // What a WebSocket client gets first: {"type": "snapshot", "unit",
    // "program", "memories"}.
    nlohmann::ordered_json Snapshot();
    nlohmann::ordered_json UnitJson();
    nlohmann::ordered_json MemoriesJson();

    // Changes settings as PATCH /api/v1/program does ({"out3.gain": -2.4}),
    // and mutes or opens every output: for OSC and the tests.
    Response Patch(const nlohmann::json& body, Source source);
    Response MuteAll(bool mute, Source source);

    const AccessPolicy& policy() const { return policy_; }
    void SetPolicy(AccessPolicy policy) { policy_ = std::move(policy); }

private:
    std::optional<Response> CheckAccess(const Request& request, Access& access) const;
    Response Route(const Request& request, Access access, Source source,
                   const std::function<void(Response)>& respond, bool& later);

    Response PutSetting(const std::string& path, const nlohmann::json& body, Source source);
    Response Mute(int output, std::optional<bool> on, Source source);
    // The checks before a change: busy (409), not connected (503), the
    // line full (429).
    std::optional<Response> CheckCanChange() const;

    Host& host_;
    AccessPolicy policy_;
    AssetSource assets_;
};

// The checks every request passes (Host, Origin, token): nullopt when it may
// go on, with its access in *access.
std::optional<Response> CheckRequestAccess(const AccessPolicy& policy, const Request& request, Access& access);

// A request outside /api/: the page and its files, and the cookie that
// opening the page with ?token= leaves.
Response PageResponse(const Request& request, Access access, const AssetSource& assets);

// The body parsed as JSON within the limits: nullopt and the refusal (400,
// 413) in *refused otherwise. An empty body is an empty object.
std::optional<nlohmann::json> ParseBody(std::string_view body, Response* refused);

// The OpenAPI description of the routes above.
const std::string& OpenApiDocument();

}  // namespace kvremote
