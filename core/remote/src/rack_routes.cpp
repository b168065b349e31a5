#include "kvremote/rack_routes.h"

#include <algorithm>

namespace kvremote {

namespace {

std::vector<std::string> Segments(const std::string& path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path + "/") {
        if (c == '/') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    return parts;
}

std::string Joined(std::vector<std::string>::const_iterator from, std::vector<std::string>::const_iterator to) {
    std::string out;
    for (auto it = from; it != to; ++it) out += "/" + *it;
    return out;
}

RackRoute Refused(int status, const std::string& path, const std::string& reason) {
    RackRoute r;
    r.kind = RackRoute::Kind::kRefused;
    r.refused = ErrorResponse(status, path, reason);
    return r;
}

}  // namespace

RackRoute RouteOnRack(const kvrack::Rack& rack, const Request& request) {
    const std::vector<std::string> s = Segments(request.path);
    if (s.size() < 3 || s[0] != "api" || s[1] != "v1") return {};
    if (s.size() == 3 && (s[2] == "ws" || s[2] == "openapi.json")) return {};
    RackRoute route;
    if (s[2] == "units") {
        if (s.size() == 3) {
            if (request.method != "GET") return Refused(405, request.path, "GET");
            route.kind = RackRoute::Kind::kUnits;
            return route;
        }
        if (!rack.Find(s[3])) return Refused(404, s[3], "the rack has no such unit");
        route.kind = RackRoute::Kind::kProxy;
        route.aliases = {s[3]};
        route.path = "/api/v1" + Joined(s.begin() + 4, s.end());
        return route;
    }
    if (s[2] == "groups") {
        if (s.size() < 5) return Refused(404, request.path, "/api/v1/groups/{group}/mute-all, unmute-all, "
                                                            "memories/{n}/recall or program");
        const std::string& group = s[3];
        for (const kvrack::RackUnit& u : rack.units)
            if (u.InGroup(group)) route.aliases.push_back(u.alias);
        if (route.aliases.empty()) return Refused(404, group, "the rack has no such group");
        const std::string rest = Joined(s.begin() + 4, s.end());
        const bool post = request.method == "POST";
        const bool fans = (post && (rest == "/mute-all" || rest == "/unmute-all")) ||
                          (post && s.size() == 7 && s[4] == "memories" && s[6] == "recall") ||
                          (request.method == "PATCH" && rest == "/program");
        if (!fans) return Refused(404, request.path, "a group takes mute-all, unmute-all, memories/{n}/recall "
                                                     "(POST) and program (PATCH)");
        route.kind = RackRoute::Kind::kFanOut;
        route.path = "/api/v1" + rest;
        return route;
    }
    return Refused(404, request.path, "a rack is served under /api/v1/units/{alias}/... and /api/v1/groups/...");
}

std::optional<RackOscTarget> OscOnRack(const kvrack::Rack& rack, const std::string& address) {
    constexpr std::string_view kRoot = "/kv/";
    if (address.compare(0, kRoot.size(), kRoot) != 0) return std::nullopt;
    const auto slash = address.find('/', kRoot.size());
    if (slash == std::string::npos) return std::nullopt;
    const std::string name = address.substr(kRoot.size(), slash - kRoot.size());
    RackOscTarget target;
    target.address = "/kv" + address.substr(slash);
    if (rack.Find(name)) {
        target.aliases = {name};
    } else {
        for (const kvrack::RackUnit& u : rack.units)
            if (u.InGroup(name)) target.aliases.push_back(u.alias);
    }
    if (target.aliases.empty()) return std::nullopt;
    return target;
}

Response FanOutResponse(const std::vector<UnitAnswer>& answers) {
    nlohmann::ordered_json units = nlohmann::ordered_json::object();
    int worst = 200;
    for (const UnitAnswer& a : answers) {
        worst = std::max(worst, a.response.status);
        const auto body = nlohmann::ordered_json::parse(a.response.body, nullptr, false);
        units[a.alias] = {{"status", a.response.status}, {"body", body.is_discarded() ? nullptr : body}};
    }
    return JsonResponse(worst, {{"units", units}});
}

void ApplyChange(nlohmann::ordered_json& program, const std::string& path, const nlohmann::ordered_json& value) {
    // A channel has 10 EQ slots; a path that names none beyond a few more
    // never grows the list without bound.
    constexpr std::size_t kMostEqSlots = 16;
    struct Part {
        std::string key;
        std::size_t index = 0;
        bool in_list = false;
    };
    std::vector<Part> parts;
    std::string cur;
    for (char c : path + ".") {
        if (c != '.') {
            cur += c;
            continue;
        }
        if (cur.empty()) return;
        const bool eq = cur.size() > 2 && cur.compare(0, 2, "eq") == 0 &&
                        std::all_of(cur.begin() + 2, cur.end(), [](char d) { return d >= '0' && d <= '9'; });
        if (eq) {
            const std::size_t slot = cur.size() > 4 ? 0 : std::stoul(cur.substr(2));
            if (slot < 1 || slot > kMostEqSlots) return;
            parts.push_back({"eq", 0, false});
            parts.push_back({"", slot - 1, true});
        } else {
            parts.push_back({cur, 0, false});
        }
        cur.clear();
    }
    if (parts.empty() || !program.is_object()) return;
    nlohmann::ordered_json* node = &program;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Part& p = parts[i];
        const bool last = i + 1 == parts.size();
        nlohmann::ordered_json* next;
        if (p.in_list) {
            if (!node->is_array()) *node = nlohmann::ordered_json::array();
            while (node->size() <= p.index) node->push_back(nullptr);
            next = &(*node)[p.index];
        } else {
            if (!node->is_object()) *node = nlohmann::ordered_json::object();
            next = &(*node)[p.key];
        }
        if (last) {
            *next = value;
            // The list ends at its last filter.
            if (p.in_list)
                while (!node->empty() && node->back().is_null()) node->erase(node->size() - 1);
            return;
        }
        node = next;
    }
}

}  // namespace kvremote
