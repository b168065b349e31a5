// The command groups of kvctl, each adding its subcommands to the app.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "session.h"

namespace kvctl {

// identify, upload, download, get, set, mute-all, unmute-all
void AddProgramCommands(CLI::App& app, Session& session);
// list, recall, store, backup, restore
void AddMemoryCommands(CLI::App& app, Session& session);
// show, diff
void AddFileCommands(CLI::App& app, Session& session);
// ports, ports --find
void AddPortCommands(CLI::App& app, Session& session);
// response
void AddResponseCommand(CLI::App& app, Session& session);
// serve
void AddServeCommand(CLI::App& app, Session& session);
// rack init
void AddRackCommand(CLI::App& app, Session& session);

// A memory or program name as the unit's display can show it: trailing
// blanks dropped, empty as "KALVORE", at most 8 letters, digits, blanks and
// ! # & - = ~. Throws Failure (usage) naming what is wrong.
std::string CheckedMemoryName(const std::string& name);

// Names the program and entry `entry` of the memory table as the memory
// manager does: the table's 8 characters blank-filled, then the name.
void NameProgram(CDSDATA& m, int entry, const std::string& name);

// The program's name without the blanks that pad it.
std::string ProgramName(const CDSDATA& m);

// A name of the memory table or a bank without the blanks that pad it.
std::string Trimmed(const std::string& name);

}  // namespace kvctl
