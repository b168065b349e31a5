#include "kvrack/unit_start.h"

namespace kvrack {

namespace {

kvcore::Refusal Refused(std::string place, std::string reason) { return {std::move(place), std::move(reason)}; }

}  // namespace

kvcore::Result<UnitOptions> TakeUnitOptions(const std::vector<std::string>& args) {
    UnitOptions options;
    bool options_end = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options_end) {
            options.rest.push_back(a);
            continue;
        }
        if (a == "--") {
            options_end = true;
            continue;
        }
        struct Option {
            const char* name;
            std::string* value;
        };
        const Option known[] = {{"--unit", &options.unit}, {"--port", &options.port}, {"--rack", &options.rack_file}};
        bool taken = false;
        for (const Option& o : known) {
            const std::string name = o.name;
            std::string value;
            if (a == name) {
                if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1].rfind("--", 0) == 0)
                    return Refused(name, "needs a value");
                value = args[++i];
            } else if (a.rfind(name + "=", 0) == 0) {
                value = a.substr(name.size() + 1);
                if (value.empty()) return Refused(name, "needs a value");
            } else {
                continue;
            }
            if (!o.value->empty()) return Refused(name, "is given twice");
            *o.value = value;
            taken = true;
            break;
        }
        if (!taken) options.rest.push_back(a);
    }
    if (!options.unit.empty() && !options.port.empty())
        return Refused("--unit", "and --port cannot go together: the rack names the unit's port");
    if (!options.rack_file.empty() && !options.ForOneUnit())
        return Refused("--rack", "chooses a unit only with --unit ALIAS (or --port PATH)");
    return options;
}

kvcore::Result<UnitTarget> ResolveUnit(const UnitOptions& options, const std::string& default_rack,
                                       const RackReader& read_rack, const PortKey& port_key) {
    const std::string rack_path = options.rack_file.empty() ? default_rack : options.rack_file;
    if (!options.unit.empty()) {
        if (rack_path.empty()) return Refused("--unit", "there is no rack file (name one with --rack FILE)");
        const auto rack = read_rack(rack_path);
        if (!rack) return rack.refusal();
        const RackUnit* unit = rack->Find(options.unit);
        if (!unit) {
            std::string known;
            for (const RackUnit& u : rack->units) known += (known.empty() ? "" : ", ") + u.alias;
            return Refused(rack_path, "the rack has no unit '" + options.unit + "'" +
                                          (known.empty() ? " (it names none)" : " (its units: " + known + ")"));
        }
        return UnitTarget{unit->alias, unit->port};
    }
    UnitTarget target{"", options.port};
    if (rack_path.empty()) return target;
    const auto rack = read_rack(rack_path);
    if (!rack) {
        // The default rack only lends a name: without it the port is enough.
        if (options.rack_file.empty()) return target;
        return rack.refusal();
    }
    const std::string key = port_key(options.port);
    for (const RackUnit& u : rack->units)
        if (u.port == options.port || port_key(u.port) == key) return UnitTarget{u.alias, options.port};
    return target;
}

std::string UnitTitle(const UnitTarget& unit) {
    return unit.alias.empty() ? unit.port : unit.alias + " (" + unit.port + ")";
}

}  // namespace kvrack
