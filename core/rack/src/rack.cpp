#include "kvrack/rack.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "kvports/port_choice.h"
#include <sstream>

namespace kvrack {

namespace {

using json = nlohmann::json;
using ojson = nlohmann::ordered_json;

constexpr std::size_t kMaxFileBytes = 1 << 20;
constexpr std::size_t kMaxAliasLength = 32;

kvcore::Refusal Refused(std::string place, std::string reason) { return {std::move(place), std::move(reason)}; }

}  // namespace

bool RackUnit::InGroup(std::string_view group) const {
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

const RackUnit* Rack::Find(std::string_view alias) const {
    const auto it = std::find_if(units.begin(), units.end(), [alias](const RackUnit& u) { return u.alias == alias; });
    return it == units.end() ? nullptr : &*it;
}

std::vector<std::string> Rack::Groups() const {
    std::vector<std::string> groups;
    for (const RackUnit& u : units)
        for (const std::string& g : u.groups)
            if (std::find(groups.begin(), groups.end(), g) == groups.end()) groups.push_back(g);
    return groups;
}

bool ValidAlias(std::string_view alias) {
    return !alias.empty() && alias.size() <= kMaxAliasLength &&
           std::all_of(alias.begin(), alias.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; });
}

kvcore::Result<Rack> ParseRack(std::string_view text) {
    json doc;
    try {
        doc = json::parse(text.begin(), text.end());
    } catch (const json::exception& e) {
        return Refused("", std::string("not a JSON document: ") + e.what());
    }
    if (!doc.is_object()) return Refused("", "expected an object with \"units\"");
    for (const auto& item : doc.items())
        if (item.key() != "units") return Refused(item.key(), "unknown key");
    const auto units = doc.find("units");
    if (units == doc.end() || !units->is_array()) return Refused("units", "expected a list of units");
    Rack rack;
    for (std::size_t i = 0; i < units->size(); ++i) {
        const json& u = (*units)[i];
        const std::string place = "units[" + std::to_string(i) + "]";
        if (!u.is_object()) return Refused(place, "expected an object with \"alias\" and \"port\"");
        for (const auto& item : u.items())
            if (item.key() != "alias" && item.key() != "port" && item.key() != "groups")
                return Refused(place + "." + item.key(), "unknown key");
        RackUnit unit;
        const auto alias = u.find("alias");
        if (alias == u.end() || !alias->is_string()) return Refused(place + ".alias", "expected the unit's alias");
        unit.alias = alias->get<std::string>();
        if (!ValidAlias(unit.alias))
            return Refused(place + ".alias", "'" + unit.alias + "' is not an alias: up to 32 letters, digits, - and _");
        if (rack.Find(unit.alias)) return Refused(place + ".alias", "'" + unit.alias + "' names two units");
        const auto port = u.find("port");
        if (port == u.end() || !port->is_string() || port->get<std::string>().empty())
            return Refused(place + ".port", "expected the unit's serial port");
        unit.port = port->get<std::string>();
        for (const RackUnit& other : rack.units)
            if (other.port == unit.port)
                return Refused(place + ".port", unit.port + " is listed already, for " + other.alias);
        if (const auto groups = u.find("groups"); groups != u.end()) {
            if (!groups->is_array()) return Refused(place + ".groups", "expected a list of group names");
            for (std::size_t g = 0; g < groups->size(); ++g) {
                const json& name = (*groups)[g];
                const std::string gplace = place + ".groups[" + std::to_string(g) + "]";
                if (!name.is_string() || !ValidAlias(name.get<std::string>()))
                    return Refused(gplace, "a group is named with up to 32 letters, digits, - and _");
                if (!unit.InGroup(name.get<std::string>())) unit.groups.push_back(name.get<std::string>());
            }
        }
        rack.units.push_back(std::move(unit));
    }
    for (const std::string& g : rack.Groups())
        if (rack.Find(g)) return Refused("units", "'" + g + "' names both a unit and a group");
    return rack;
}

kvcore::Result<Rack> ReadRack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Refused(path, "cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    if (s.size() > kMaxFileBytes) return Refused(path, "longer than a rack file can be");
    auto rack = ParseRack(s);
    if (!rack) {
        const kvcore::Refusal& r = rack.refusal();
        return Refused(path + (r.place.empty() ? "" : ": " + r.place), r.reason);
    }
    return rack;
}

std::string EncodeRack(const Rack& rack) {
    ojson units = ojson::array();
    for (const RackUnit& u : rack.units) units.push_back({{"alias", u.alias}, {"port", u.port}, {"groups", u.groups}});
    return ojson{{"units", units}}.dump(2) + "\n";
}

std::string DefaultRackPath() {
    const std::string settings = kvports::SettingsFilePath();
    if (settings.empty()) return {};
    return settings.substr(0, settings.rfind('/') + 1) + "rack.json";
}

kvcore::Result<std::vector<RackUnit>> Select(const Rack& rack, const Selection& selection) {
    std::vector<RackUnit> chosen;
    if (selection.all) {
        chosen = rack.units;
    } else if (!selection.group.empty()) {
        for (const RackUnit& u : rack.units)
            if (u.InGroup(selection.group)) chosen.push_back(u);
        if (chosen.empty()) return Refused("--group " + selection.group, "no unit of the rack is in that group");
    } else {
        for (const std::string& alias : selection.aliases) {
            const RackUnit* u = rack.Find(alias);
            if (!u) return Refused("--units", "the rack has no unit '" + alias + "'");
            if (std::none_of(chosen.begin(), chosen.end(), [&](const RackUnit& c) { return c.alias == alias; }))
                chosen.push_back(*u);
        }
    }
    if (chosen.empty()) return Refused("", "the rack names no unit");
    return chosen;
}

std::string AliasFromPort(std::string_view port, const std::vector<std::string>& taken) {
    std::string name(port.substr(port.find_last_of('/') + 1));
    // A by-id name: the adapter's serial number is what tells units apart.
    if (port.find("/by-id/") != std::string_view::npos) {
        std::string base = name;
        if (const auto ifpos = base.rfind("-if"); ifpos != std::string::npos) base = base.substr(0, ifpos);
        if (const auto us = base.rfind('_'); us != std::string::npos) base = base.substr(us + 1);
        name = base;
    }
    std::string alias;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            alias += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if ((c == '-' || c == '_') && !alias.empty())
            alias += '-';
    }
    if (alias.empty()) alias = "unit";
    alias = alias.substr(0, kMaxAliasLength - 3);
    std::string unique = alias;
    for (int n = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++n)
        unique = alias + "-" + std::to_string(n);
    return unique;
}

}  // namespace kvrack
