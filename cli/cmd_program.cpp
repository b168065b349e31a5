// Commands on the unit's working program.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "commands.h"
#include "failure.h"
#include "file_io.h"
#include "interruption.h"
#include "kvprog/describe.h"
#include "kvprog/setting_json.h"
#include "kvproto/timing.h"
#include "kvfiles/program_file.h"
#include "program_source.h"
#include "progress.h"
#include "value_parser.h"

namespace kvctl {

namespace {

using json = nlohmann::ordered_json;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// Fetches the working program again and says where it differs from `expected`.
void VerifyWorking(Unit& unit, const CDSDATA& expected, const std::string& what, Progress* progress = nullptr) {
    unit.FetchWorking(progress);
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
        FileWriter out(*file);  // a place that cannot be written is refused before the line is touched
        SayOnInterrupt("nothing was written to " + *file + "; the unit was only read");
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
        "Send a program as the unit's working program; all six outputs arrive muted, and the unit stores it into "
        "memory 1 as well");
    struct Args {
        std::string file, name;
        bool yes = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("PROGRAM", args->file, kProgramSpecHelp)->required();
    cmd->add_option("--name", args->name, "The name it gets on the unit (default: the program's own name)");
    cmd->add_flag("--yes,-y", args->yes, "Do not ask before sending");
    cmd->callback([&session, args] {
        const ProgramSpec spec = CheckedProgramSpec(args->file);
        const CDSDATA program = LoadProgram(session, spec);
        const std::string typed = args->name.empty() ? ProgramName(program) : args->name;
        const std::string name = CheckedMemoryName(typed);
        const bool default_name = Trimmed(typed).empty();
        session.Confirm("Download sends " + args->file + " (" + Quoted(name) +
                            (default_name ? ", the unit's default name" : "") +
                            ") as the unit's working program with ALL SIX OUTPUTS MUTED, and stores it into memory 1.",
                        args->yes);
        Unit& unit = session.unit();
        // The image on the line, then taken in again by the read back.
        const double check_s = FetchSeconds(), send_s = kvcom::timing::LineSeconds(ImageBytes(program)),
                     verify_s = FetchSeconds(ImageBytes(program));
        Progress progress(unit.quiet(), "sending the program", check_s + send_s + verify_s);
        progress.Step(0, check_s, "checking the unit");
        unit.FetchWorking(&progress);  // the unit is there before anything goes out
        CDSDATA& m = unit.model();
        m = program;
        m.mem_num = 0;
        for (int n = 0; n < KV_OUTPUTS; ++n) m.out_mute[n] = 1;
        NameProgram(m, 0, name);
        const CDSDATA expected = m;
        progress.Step(check_s, send_s, "sending");
        SayOnInterrupt("the unit may hold part of " + args->file + " as its working program, muted");
        unit.Sent(m.StoreFromPC(), "the program");
        progress.Step(check_s + send_s, verify_s, "reading back");
        SayOnInterrupt("the unit's working program is " + Quoted(name) + ", all outputs muted (not read back)");
        VerifyWorking(unit, expected, "download", &progress);
        progress.Done();
        json doc = {{"file", args->file}, {"program", name}, {"muted", true}};
        if (default_name) doc["default_name"] = true;
        session.Report(doc, "Sent " + args->file + " as the working program " + Quoted(name) +
                                (default_name ? " (the unit's default name: the program has none)" : "") +
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
        "set", "Change one setting of the unit's working program, e.g. out3.gain -2.4dB, out2.hp \"80Hz lr24\"");
    struct Args {
        std::string path, value;
        bool verify = false, yes = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("PATH", args->path, "The setting, as for get")->required();
    cmd->add_option("VALUE", args->value,
                    "The value in the pages' units, one word for the shell: -2.4dB, 1.5ms, \"80Hz lr24\", on, off ...")
        ->required();
    cmd->add_flag("--verify", args->verify, "Read the setting back from the unit afterwards");
    cmd->add_flag("--yes,-y", args->yes, "Do not ask before a change of config or link (it resets the program)");
    cmd->callback([&session, args] {
        // What can be refused without the unit's program is refused before
        // the line is touched: a path that names nothing, and a value
        // outside what any program takes (EQ values need the unit's filters).
        const auto ref = kvprog::ParsePath(args->path);
        const bool eq = ref && (ref->field == kvprog::Field::EqType || ref->field == kvprog::Field::EqFreq ||
                                ref->field == kvprog::Field::EqGain || ref->field == kvprog::Field::EqWidth);
        if (!eq) {
            auto early = ParseSetting(session.factory(), args->path, args->value);
            if (auto* refused = std::get_if<kvprog::Refusal>(&early)) throw Failure(kExitUsage, refused->Message());
        }
        Unit& unit = session.unit();
        unit.FetchWorking();  // link, configuration and EQ slots as the unit has them
        auto parsed = ParseSetting(unit.model(), args->path, args->value);
        if (auto* refused = std::get_if<kvprog::Refusal>(&parsed)) throw Failure(kExitUsage, refused->Message());
        SettingChange& change = std::get<SettingChange>(parsed);
        if (change.resets_program)
            session.Confirm("Setting " + change.path + " resets every other setting of the unit's working program.",
                            args->yes);
        SayOnInterrupt(change.path + " " + change.text + " may or may not have reached the unit");
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
        static std::atomic<int> sent{0};
        SayOnInterrupt([mute] {
            return sent.load() == 0 ? std::string("nothing was sent to the unit")
                                    : "outputs 1 to " + std::to_string(sent.load()) +
                                          (mute ? " were muted" : " were opened") + "; the others are as they were";
        });
        for (int n = 0; n < KV_OUTPUTS; ++n) {
            m.out_mute[n] = mute;
            m.cur_chan = n;
            unit.Sent(m.SendParam(PC_OUT_MUTE), "the mute of out" + std::to_string(n + 1));
            sent = n + 1;
        }
        unit.FetchWorking();
        for (int n = 0; n < KV_OUTPUTS; ++n)
            if (unit.model().out_mute[n] != mute)
                throw Failure(kExitLine, "out" + std::to_string(n + 1) + " is still " + (mute ? "open" : "muted"));
        session.Report({{"muted", mute != 0}}, mute ? "All outputs muted.\n" : "All outputs open.\n");
    });
}

}  // namespace

std::string Trimmed(const std::string& name) {
    std::string t = name;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
}

std::string ProgramName(const CDSDATA& m) {
    return Trimmed(std::string(m.prog_name, strnlen(m.prog_name, sizeof m.prog_name)));
}

void NameProgram(CDSDATA& m, int entry, const std::string& name) {
    std::memset(data_name[entry], ' ', 8);
    std::memcpy(data_name[entry], name.c_str(), name.size() + 1);
    std::memset(m.prog_name, 0, sizeof m.prog_name);
    std::memcpy(m.prog_name, name.c_str(), name.size());
}

namespace {

// The character at byte `at` of UTF-8 text, whole; a byte that begins none
// as \xNN.
std::string CharacterAt(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x06 ? 2
                               : (lead >> 4) == 0x0E ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    bool whole = length > 0 && at + length <= text.size();
    for (std::size_t k = 1; whole && k < length; ++k) whole = (static_cast<unsigned char>(text[at + k]) & 0xC0) == 0x80;
    if (whole) return text.substr(at, length);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", lead);
    return escaped;
}

}  // namespace

std::string CheckedMemoryName(const std::string& typed) {
    std::string name = typed;
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.pop_back();
    if (name.empty()) return "KALVORE";
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && !std::strchr(" !#&-=~", c))
            throw Failure(kExitUsage, "the unit cannot show " + Quoted(CharacterAt(name, i)) +
                                          " in a name (letters, digits, blanks and ! # & - = ~)");
    }
    if (name.size() > 8) throw Failure(kExitUsage, "the name " + Quoted(name) + " is longer than 8 characters");
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
