// Commands on the unit's working program.
#include <chrono>
#include <cstring>
#include <memory>

#include "commands.h"
#include "failure.h"
#include "file_io.h"
#include "kvprog/describe.h"
#include "kvprog/setting_json.h"
#include "kvfiles/program_file.h"
#include "program_source.h"
#include "progress.h"
#include "value_parser.h"

namespace kvctl {

namespace {

using json = nlohmann::ordered_json;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// Fetches the working program again and says where it differs from `expected`.
void VerifyWorking(Unit& unit, const CDSDATA& expected, const std::string& what) {
    unit.FetchWorking();
    const auto diffs = kvprog::Diff(expected, unit.model());
    if (!diffs.empty())
        throw Failure(kExitLine, what + ": the unit holds " + diffs.front().b + " for " + diffs.front().path +
                                     " instead of " + diffs.front().a +
                                     (diffs.size() > 1 ? " (and " + std::to_string(diffs.size() - 1) + " more)" : ""));
}

void AddIdentify(CLI::App& app, Session& session) {
    auto* cmd =
        app.add_subcommand("identify", "Check that the unit answers (identity exchange and its working program)");
    cmd->callback([&session] {
        const auto start = std::chrono::steady_clock::now();
        Unit& unit = session.unit();
        unit.FetchWorking();
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        const CDSDATA& m = unit.model();
        const std::string config = kvprog::ReadText(m, {kvprog::Field::Config});
        const std::string link = kvprog::ReadText(m, {kvprog::Field::Link});
        json doc = {{"port", unit.name()},       {"answered", true}, {"ms", ms},
                    {"program", ProgramName(m)}, {"config", config}, {"link", link}};
        session.Print(doc, "The unit answers on " + unit.name() + " (" + std::to_string(ms) + " ms): working program " +
                               Quoted(ProgramName(m)) + ", " + config + ", link " + link + ".\n");
    });
}

void AddUpload(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand("upload", "Fetch the unit's working program into a program file (.syx)");
    auto file = std::make_shared<std::string>();
    cmd->add_option("FILE", *file, "The program file to write")->required();
    cmd->callback([&session, file] {
        FileWriter out(*file);
        Unit& unit = session.unit();
        unit.FetchWorking();
        out.Commit(kvfiles::EncodeProgramFile(unit.model()));
        const std::string name = ProgramName(unit.model());
        session.Report({{"file", *file}, {"program", name}},
                       "Fetched the working program " + Quoted(name) + " into " + *file + ".\n");
    });
}

void AddDownload(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand(
        "download",
        "Send a program file (.syx) as the unit's working program; all six outputs arrive muted, and the unit stores "
        "it into memory 1 as well");
    struct Args {
        std::string file, name;
        bool yes = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("FILE", args->file, "The program file to send")->required();
    cmd->add_option("--name", args->name, "The name it gets on the unit (default: the name in the file)");
    cmd->add_flag("--yes,-y", args->yes, "Do not ask before sending");
    cmd->callback([&session, args] {
        CDSDATA program = ReadProgramFile(session, args->file, session.factory());
        const std::string name = CheckedMemoryName(args->name.empty() ? ProgramName(program) : args->name);
        session.Confirm("Download sends " + args->file + " (" + Quoted(name) +
                            ") as the unit's working program with ALL SIX OUTPUTS MUTED, and stores it into memory 1.",
                        args->yes);
        Unit& unit = session.unit();
        unit.FetchWorking();  // the unit is there before anything goes out
        CDSDATA& m = unit.model();
        m = program;
        m.mem_num = 0;
        for (int n = 0; n < KV_OUTPUTS; ++n) m.out_mute[n] = 1;
        NameProgram(m, 0, name);
        const CDSDATA expected = m;
        {
            Progress progress(unit.quiet(), "sending the program", 0.5);
            unit.Sent(m.StoreFromPC(), "the program");
        }
        VerifyWorking(unit, expected, "download");
        session.Report({{"file", args->file}, {"program", name}, {"muted", true}},
                       "Sent " + args->file + " as the working program " + Quoted(name) +
                           "; all outputs are muted (kvctl unmute-all opens them).\n");
    });
}

void AddGet(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand("get", "Read one setting of the unit's working program, e.g. out3.gain");
    auto path = std::make_shared<std::string>();
    cmd->add_option("PATH", *path, "The setting: name, config, link, ina.delay, out3.gain, out2.hp, out1.eq2.freq ...")
        ->required();
    cmd->callback([&session, path] {
        const auto ref = kvprog::ParsePath(*path);
        if (!ref) throw Failure(kExitUsage, *path + ": no such setting (for example out3.gain, ina.delay, out2.hp)");
        Unit& unit = session.unit();
        unit.FetchWorking();
        const std::string text = kvprog::ReadText(unit.model(), *ref);
        session.Print(kvprog::SettingDocument(unit.model(), *ref), kvprog::PathOf(*ref) + "  " + text + "\n");
    });
}

void AddSet(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand(
        "set", "Change one setting of the unit's working program, e.g. out3.gain -2.4dB, out2.hp 80Hz lr24");
    struct Args {
        std::string path, value;
        bool verify = false, yes = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("PATH", args->path, "The setting, as for get")->required();
    cmd->add_option("VALUE", args->value, "The value in the pages' units: -2.4dB, 1.5ms, 80Hz lr24, on, off ...")
        ->required();
    cmd->add_flag("--verify", args->verify, "Read the setting back from the unit afterwards");
    cmd->add_flag("--yes,-y", args->yes, "Do not ask before a change of config or link (it resets the program)");
    cmd->callback([&session, args] {
        Unit& unit = session.unit();
        unit.FetchWorking();  // link, configuration and EQ slots as the unit has them
        auto parsed = ParseSetting(unit.model(), args->path, args->value);
        if (auto* refused = std::get_if<kvprog::Refusal>(&parsed)) throw Failure(kExitUsage, refused->Message());
        SettingChange& change = std::get<SettingChange>(parsed);
        if (change.resets_program)
            session.Confirm("Setting " + change.path + " resets every other setting of the unit's working program.",
                            args->yes);
        kvprog::SendSetting(change.program, change.ref);
        unit.CheckLink();
        if (args->verify) {
            unit.FetchWorking();
            if (!kvprog::SameSetting(change.program, unit.model(), change.ref))
                throw Failure(kExitLine, change.path + ": the unit holds " +
                                             kvprog::ReadText(unit.model(), change.ref) + " instead of " + change.text);
        }
        json doc = kvprog::SettingDocument(change.program, change.ref);
        if (args->verify) doc["verified"] = true;
        session.Report(doc, change.path + "  " + change.text + (args->verify ? "  (verified)" : "") + "\n");
    });
}

void AddMuteAll(CLI::App& app, Session& session, const char* name, int mute) {
    auto* cmd = app.add_subcommand(name, mute ? "Mute all six outputs at once" : "Open all six outputs");
    cmd->callback([&session, mute] {
        Unit& unit = session.unit();
        // The mutes go out first; the fetch afterwards proves that they arrived.
        CDSDATA& m = unit.model();
        for (int n = 0; n < KV_OUTPUTS; ++n) {
            m.out_mute[n] = mute;
            m.cur_chan = n;
            unit.Sent(m.SendParam(PC_OUT_MUTE), "the mute of out" + std::to_string(n + 1));
        }
        unit.FetchWorking();
        for (int n = 0; n < KV_OUTPUTS; ++n)
            if (unit.model().out_mute[n] != mute)
                throw Failure(kExitLine, "out" + std::to_string(n + 1) + " is still " + (mute ? "open" : "muted"));
        session.Report({{"muted", mute != 0}}, mute ? "All outputs muted.\n" : "All outputs open.\n");
    });
}

}  // namespace

std::string ProgramName(const CDSDATA& m) {
    std::string name(m.prog_name, strnlen(m.prog_name, sizeof m.prog_name));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

void NameProgram(CDSDATA& m, int entry, const std::string& name) {
    std::memset(data_name[entry], ' ', 8);
    std::memcpy(data_name[entry], name.c_str(), name.size() + 1);
    std::memset(m.prog_name, 0, sizeof m.prog_name);
    std::memcpy(m.prog_name, name.c_str(), name.size());
}

std::string CheckedMemoryName(const std::string& typed) {
    std::string name = typed;
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.pop_back();
    if (name.empty()) return "KALVORE";
    if (name.size() > 8) throw Failure(kExitUsage, "the name " + Quoted(name) + " is longer than 8 characters");
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && !std::strchr(" !#&-=~", c))
            throw Failure(kExitUsage, "the unit cannot show " + Quoted(std::string(1, c)) +
                                          " in a name (letters, "
                                          "digits, blanks and ! # & - = ~)");
    return name;
}

void AddProgramCommands(CLI::App& app, Session& session) {
    AddIdentify(app, session);
    AddUpload(app, session);
    AddDownload(app, session);
    AddGet(app, session);
    AddSet(app, session);
    AddMuteAll(app, session, "mute-all", 1);
    AddMuteAll(app, session, "unmute-all", 0);
}

}  // namespace kvctl
