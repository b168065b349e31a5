// kvctl over a rack of units: --units main-l,main-r, --group mains or --all
// (units from the rack file) run the command on each unit in its own
// process (kvctl starting itself with --port), all at once, and say each
// unit's lines prefixed by its alias; --json gives one document with an
// entry per unit. A unit that fails never stops the others; the exit code
// is the worst of theirs.
#pragma once

#include <string>
#include <vector>

namespace kvctl {

// The rack options of a command line: present when any of --units, --group
// or --all is, with the rest of the line for the units.
struct RackCall {
    std::string rack_file;  // --rack; empty: the default
    std::string units;      // --units a,b
    std::string group;      // --group g
    bool all = false;
    std::vector<std::string> rest;  // everything else, in order
};

// The rack options taken out of argv, or nothing when there are none (the
// command runs on one unit as ever). Throws Failure (usage) for a rack
// option without its value.
bool TakeRackCall(int argc, char** argv, RackCall& call);

// Runs the call on the chosen units; returns the exit code.
int RunOnRack(const RackCall& call);

}  // namespace kvctl
