// Programs named on the command line: a program file (FILE.syx), a JSON
// export (FILE.json), one entry of a bank (FILE.ay:N, N = 0 for its working
// program), the unit's working program (`unit`) or one of its memories
// (`memory:N`).
#pragma once

#include <kvcom/kvcom.h>

#include <optional>
#include <string>

#include "session.h"

namespace kvctl {

struct ProgramSpec {
    enum class Kind { ProgramFile, JsonFile, BankFile, Unit, Memory } kind;
    std::string path;          // of a file
    std::optional<int> entry;  // FILE.ay:N, memory:N

    // The unit's working program or one of its memories, read over the line.
    bool OnUnit() const { return kind == Kind::Unit || kind == Kind::Memory; }
};

// The forms, for help and messages.
inline constexpr const char* kProgramSpecHelp =
    "FILE.syx, FILE.json (as kvctl --json show writes it), FILE.ay (its working program), FILE.ay:N (memory N, 0 "
    "the working program), unit (its working program) or memory:N (the unit's memory N)";

// What a name means, by its form and extension. nullopt: it names nothing
// kvctl reads (the caller reports a usage error).
std::optional<ProgramSpec> ParseProgramSpec(const std::string& text);
// As ParseProgramSpec; a name of nothing throws Failure (usage) with the forms.
ProgramSpec CheckedProgramSpec(const std::string& text);

// Loads the program (a bank without :N gives its working program; a memory
// of the unit is read alone, without the list). Throws Failure: file
// problem for files, line or port problem for the unit.
CDSDATA LoadProgram(Session& session, const ProgramSpec& spec);

}  // namespace kvctl
