// One unit of a rack in a window of its own: the program's options that
// choose it (758 --unit ALIAS, or --port PATH, with --rack FILE), which
// unit and port they name, and the unit's name in titles and messages.
// Several units are edited side by side as several processes, one unit
// each; started without these options the program is for the stored port.
#pragma once

#include <kvcore/refusal.h>

#include <functional>
#include <string>
#include <vector>

#include "kvrack/rack.h"

namespace kvrack {

struct UnitOptions {
    std::string unit;               // --unit ALIAS
    std::string port;               // --port PATH (or COM1..COM4)
    std::string rack_file;          // --rack FILE; empty: the default
    std::vector<std::string> rest;  // everything else, in order (a file to open)

    bool ForOneUnit() const { return !unit.empty() || !port.empty(); }
};

// The options taken out of a command line (without the program's name):
// "--unit A" or "--unit=A", the same for --port and --rack; "--" ends the
// options. Refused: an option without its value or given twice, --unit
// with --port, and --rack without --unit or --port.
kvcore::Result<UnitOptions> TakeUnitOptions(const std::vector<std::string>& args);

// The unit a window is for: its alias ("" when the rack does not list the
// port) and its port as the rack or the command line writes it.
struct UnitTarget {
    std::string alias;
    std::string port;
};

// Reads a rack file (ReadRack; tests hand in their own).
using RackReader = std::function<kvcore::Result<Rack>(const std::string& path)>;
// The device a port leads to, to tell two names of one port alike.
using PortKey = std::function<std::string(const std::string& port)>;

// The unit the options name. --unit: the rack's unit of that alias; a rack
// that cannot be read or is refused, and an alias it does not list, are
// refused with the rack file's place and reason. --port: that port, with
// the alias of the rack's unit on the same device, when the rack (the
// default one, or --rack) lists one; only a rack named with --rack is
// refused when it cannot be read.
kvcore::Result<UnitTarget> ResolveUnit(const UnitOptions& options, const std::string& default_rack,
                                       const RackReader& read_rack, const PortKey& port_key);

// "main-l (/dev/ttyUSB0)", or the port alone when it has no alias.
std::string UnitTitle(const UnitTarget& unit);

}  // namespace kvrack
