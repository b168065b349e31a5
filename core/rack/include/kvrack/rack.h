// A rack of units: the small JSON file that names each unit of a venue or a
// touring rack, its serial port and its groups,
//
//   {"units": [{"alias": "main-l", "port": "/dev/serial/by-id/usb-...", "groups": ["mains"]},
//              {"alias": "sub", "port": "/dev/ttyUSB2", "groups": ["subs"]}]}
//
// read from --rack FILE or else rack.json beside the program's settings
// file. An alias is what users type and what URLs and OSC addresses carry:
// letters, digits, '-' and '_'. Aliases are unique and a port is listed
// once; a file that breaks a rule is refused with the place and the reason.
#pragma once

#include <kvcore/refusal.h>

#include <string>
#include <string_view>
#include <vector>

namespace kvrack {

struct RackUnit {
    std::string alias;
    std::string port;
    std::vector<std::string> groups;

    bool InGroup(std::string_view group) const;
};

struct Rack {
    std::vector<RackUnit> units;

    const RackUnit* Find(std::string_view alias) const;
    // Every group named, in the order of first mention.
    std::vector<std::string> Groups() const;
};

// The rack a document holds, or why not (place: "units[2].alias").
kvcore::Result<Rack> ParseRack(std::string_view text);
// The file at `path` (place of a refusal: "<path>: units[2].alias").
kvcore::Result<Rack> ReadRack(const std::string& path);
// The document, two-space indented, with a final newline.
std::string EncodeRack(const Rack& rack);

// rack.json beside the program's settings file (~/.config/KALVORE/).
std::string DefaultRackPath();

// Whether `alias` may name a unit.
bool ValidAlias(std::string_view alias);

// The units a command runs on: those named (in the order named), the
// members of a group, or all. Unknown names and empty groups are refused.
struct Selection {
    std::vector<std::string> aliases;
    std::string group;
    bool all = false;

    bool Empty() const { return aliases.empty() && group.empty() && !all; }
};
kvcore::Result<std::vector<RackUnit>> Select(const Rack& rack, const Selection& selection);

// A unit's alias made from its port for a file that `rack init` writes
// ("/dev/serial/by-id/usb-FTDI_FT232R_A600-if00-port0" gives "a600",
// "/dev/ttyUSB0" gives "ttyusb0"), made unique against `taken`.
std::string AliasFromPort(std::string_view port, const std::vector<std::string>& taken);

}  // namespace kvrack
