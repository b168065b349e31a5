// The routes of a server over a rack of units, as plain decisions: each
// unit has a worker (a `kvctl serve` of its own on loopback), and a request
// to the front is answered there, passed to one worker, or fanned out to
// the workers of a group:
//
//   GET   /api/v1/units                         the units and their state
//   ANY   /api/v1/units/{alias}/<route>         every route of one unit
//   POST  /api/v1/groups/{group}/mute-all       and unmute-all
//   POST  /api/v1/groups/{group}/memories/{n}/recall
//   PATCH /api/v1/groups/{group}/program        the same settings on each unit
//
// and an OSC message /kv/{alias}/out/3/mute (or /kv/{group}/...) goes to the
// worker of that unit (or of each unit of the group) as /kv/out/3/mute.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kvrack/rack.h"
#include "kvremote/request.h"

namespace kvremote {

struct RackRoute {
    enum class Kind { kFront, kUnits, kProxy, kFanOut, kRefused };
    Kind kind = Kind::kFront;         // kFront: the page, openapi.json, the WebSocket
    std::vector<std::string> aliases;  // kProxy: one; kFanOut: the group's
    std::string path;                  // the route at the worker: "/api/v1/mute-all"
    Response refused;                  // kRefused
};

RackRoute RouteOnRack(const kvrack::Rack& rack, const Request& request);

// The units an OSC address names and the address at their workers, or
// nullopt (the address names no unit or group of the rack).
struct RackOscTarget {
    std::vector<std::string> aliases;
    std::string address;  // "/kv/out/3/mute"
};
std::optional<RackOscTarget> OscOnRack(const kvrack::Rack& rack, const std::string& address);

// The answer of a fan-out: {"units": {"main-l": {"status", "body"}, ...}}
// with the worst of the units' statuses.
struct UnitAnswer {
    std::string alias;
    Response response;
};
Response FanOutResponse(const std::vector<UnitAnswer>& answers);

// What the front keeps of a unit's program between its snapshots, so a
// client that connects later starts from the program as it is: a change
// {"path": "out3.eq2.freq", "value"} set at its place in the program JSON.
// A channel's EQ filters are its "eq" list in slot order; a filter that goes
// is null, and the list ends at its last filter (as the page's model does).
void ApplyChange(nlohmann::ordered_json& program, const std::string& path, const nlohmann::ordered_json& value);

}  // namespace kvremote
