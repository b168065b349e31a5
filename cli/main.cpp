// kvctl: the Kalvore 758 unit from the command line.
//
// Exit codes: 0 success; 1 the unit did not answer, or the operation failed
// on the line or was interrupted (Ctrl+C, SIGTERM); 2 usage (a change not
// confirmed included); 3 port problem (missing, busy, no permission); 4 file
// problem (unreadable, refused, cannot write).
#include <CLI/CLI.hpp>

#include <iostream>

#include "commands.h"
#include "rack_run.h"
#include "failure.h"
#include "interruption.h"
#include "session.h"

namespace {

constexpr const char* kFooter =
    "Exit codes: 0 success, 1 the unit did not answer, or the operation failed on the line or was interrupted, 2 "
    "usage, 3 port problem (missing, busy, no permission), 4 file problem (unreadable, refused, cannot write).";

std::vector<CLI::App*> Commands(CLI::App& app) {
    return app.get_subcommands([](CLI::App*) { return true; });
}

// "kvctl frobnicate", or no command at all: what is wrong, and the commands.
std::string NoCommand(CLI::App& app) {
    if (!app.get_subcommands().empty()) return {};
    const std::vector<std::string> rest = app.remaining();
    if (!rest.empty() && !rest.front().empty() && rest.front().front() == '-') return {};
    std::string names;
    for (const CLI::App* command : Commands(app)) names += (names.empty() ? "" : ", ") + command->get_name();
    const std::string wrong = rest.empty() ? "no command given" : "unknown command '" + rest.front() + "'";
    return wrong + "; the commands are " + names + " (kvctl --help says what each does)";
}

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
    // Ctrl+C and SIGTERM end every command but the server (which serves until
    // them) as kvctl/interruption.h says, from the moment it begins.
    for (CLI::App* command : Commands(app))
        if (command->get_name() != "serve")
            command->preparse_callback([](std::size_t) { kvctl::WatchInterruptions(); });

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);  // --help, --version
    } catch (const CLI::ParseError& e) {
        if (const std::string wrong = NoCommand(app); !wrong.empty()) {
            std::cerr << "kvctl: " << wrong << '\n';
            return kvctl::kExitUsage;
        }
        app.exit(e);
        return kvctl::kExitUsage;
    } catch (const kvctl::Failure& e) {
        std::cerr << "kvctl: " << e.what() << '\n';
        return e.code();
    }
    return kvctl::kExitOk;
}
