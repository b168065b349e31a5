// Commands that read programs in words: show and diff.
#include <memory>

#include "commands.h"
#include "failure.h"
#include "file_io.h"
#include "kvprog/describe.h"
#include "kvprog/setting_json.h"
#include "kvprog/program_json.h"
#include "program_source.h"

namespace kvctl {

namespace {

using json = nlohmann::ordered_json;

void ShowBank(Session& session, const std::string& path) {
    const auto bank = ReadBankFile(session, path);
    json memories = json::array();
    std::string text = path + ": " + std::to_string(kvfiles::UsedMemories(bank)) +
                       (kvfiles::UsedMemories(bank) == 1 ? " memory" : " memories") + ", current " +
                       std::to_string(bank.current) + ", working program '" + Trimmed(bank.entries[0].name) + "'\n";
    for (int m = 1; m < kvfiles::kBankEntries; ++m) {
        const auto& e = bank.entries[m];
        if (!e.used) continue;
        memories.push_back({{"number", m}, {"name", Trimmed(e.name)}});
        char line[48];
        std::snprintf(line, sizeof line, "%3d  %s\n", m, Trimmed(e.name).c_str());
        text += line;
    }
    session.Print(
        {{"file", path}, {"current", bank.current}, {"working", Trimmed(bank.entries[0].name)}, {"memories", memories}},
        text);
}

void AddShow(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand("show", "Show a program in words, or the memories a bank file holds");
    auto what = std::make_shared<std::string>();
    cmd->add_option("PROGRAM", *what,
                    "FILE.syx, FILE.json, FILE.ay (lists its memories), FILE.ay:N (memory N, 0 the working "
                    "program), unit (its working program) or memory:N (one memory, read alone)")
        ->required();
    cmd->callback([&session, what] {
        const ProgramSpec spec = CheckedProgramSpec(*what);
        if (spec.kind == ProgramSpec::Kind::BankFile && !spec.entry) return ShowBank(session, spec.path);
        const CDSDATA program = LoadProgram(session, spec);
        session.Print(kvprog::ProgramToJson(program), kvprog::DescribeText(program));
    });
}

void AddDiff(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand("diff", "Show the settings in which two programs differ");
    auto a = std::make_shared<std::string>(), b = std::make_shared<std::string>();
    cmd->add_option("A", *a, kProgramSpecHelp)->required();
    cmd->add_option("B", *b, "The same kinds as A")->required();
    cmd->callback([&session, a, b] {
        const ProgramSpec spec_a = CheckedProgramSpec(*a), spec_b = CheckedProgramSpec(*b);
        // A file is read before the unit is asked: one that cannot be read
        // is refused before the line is touched.
        const bool b_first = spec_a.OnUnit() && !spec_b.OnUnit();
        const CDSDATA first = LoadProgram(session, b_first ? spec_b : spec_a);
        const CDSDATA second = LoadProgram(session, b_first ? spec_a : spec_b);
        const CDSDATA& program_a = b_first ? second : first;
        const CDSDATA& program_b = b_first ? first : second;
        const auto diffs = kvprog::Diff(program_a, program_b);
        json list = json::array();
        for (const auto& d : diffs) {
            json entry = {{"path", d.path},
                          {"channel", d.channel},
                          {"a", kvprog::SettingValue(program_a, d.ref)},
                          {"b", kvprog::SettingValue(program_b, d.ref)}};
            if (const std::string unit = kvprog::SettingUnit(d.ref); !unit.empty()) entry["unit"] = unit;
            entry["a_text"] = d.a;
            entry["b_text"] = d.b;
            list.push_back(std::move(entry));
        }
        session.Print({{"a", *a}, {"b", *b}, {"differences", list}},
                      "--- " + *a + "\n+++ " + *b + "\n" + kvprog::DiffText(diffs));
    });
}

}  // namespace

void AddFileCommands(CLI::App& app, Session& session) {
    AddShow(app, session);
    AddDiff(app, session);
}

}  // namespace kvctl
