// kvctl: the Kalvore 758 unit from the command line.
//
// Exit codes: 0 success; 1 the unit did not answer or the operation failed
// on the line (an interrupted restore included); 2 usage (a change not
// confirmed included); 3 port problem (missing, busy, no permission); 4 file
// problem (unreadable, refused, cannot write).
#include <CLI/CLI.hpp>

#include <iostream>

#include "commands.h"
#include "rack_run.h"
#include "failure.h"
#include "session.h"

namespace {

constexpr const char* kFooter =
    "Exit codes: 0 success, 1 the unit did not answer or the operation failed on the line, 2 usage, 3 port problem "
    "(missing, busy, no permission), 4 file problem (unreadable, refused, cannot write).";

}  // namespace

int main(int argc, char** argv) {
    // A command for several units of the rack runs as one kvctl per unit.
    try {
        kvctl::RackCall rack;
        if (kvctl::TakeRackCall(argc, argv, rack)) return kvctl::RunOnRack(rack);
    } catch (const kvctl::Failure& e) {
        std::cerr << "kvctl: " << e.what() << '\n';
        return e.code();
    }

    kvctl::Options options;
    CLI::App app{"kvctl: the Kalvore 758 unit from the command line", "kvctl"};
    app.footer(kFooter);
    app.set_version_flag("--version", "kvctl " KV_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    app.add_option("--port,-p", options.port,
                   "COM1..COM4, a device path or a /dev/serial/by-id name (default: the port 758 uses)");
    app.add_flag("--json", options.json, "Print the result as one JSON document");
    app.add_flag("--quiet,-q", options.quiet, "No progress and no notes");
    // The rack's options: a choice of units runs the command on each of them
    // (see rack_run.h) before this parser is reached.
    std::string rack_units, rack_group;
    bool rack_all = false;
    app.add_option("--rack", options.rack_file, "The rack file (default: rack.json beside 758's settings)");
    app.add_option("--units", rack_units, "Run on these units of the rack, e.g. main-l,main-r");
    app.add_option("--group", rack_group, "Run on the units of this group of the rack");
    app.add_flag("--all", rack_all, "Run on every unit of the rack");

    kvctl::Session session(options);
    kvctl::AddProgramCommands(app, session);
    kvctl::AddMemoryCommands(app, session);
    kvctl::AddFileCommands(app, session);
    kvctl::AddResponseCommand(app, session);
    kvctl::AddPortCommands(app, session);
    kvctl::AddServeCommand(app, session);
    kvctl::AddRackCommand(app, session);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);  // --help, --version
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kvctl::kExitUsage;
    } catch (const kvctl::Failure& e) {
        std::cerr << "kvctl: " << e.what() << '\n';
        return e.code();
    }
    return kvctl::kExitOk;
}
