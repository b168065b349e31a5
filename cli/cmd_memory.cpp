// Commands on the unit's 60 memories and on bank files.
#include <atomic>
#include <memory>
#include <vector>

#include "commands.h"
#include "failure.h"
#include "file_io.h"
#include "interruption.h"
#include "kvfiles/program_file.h"
#include "kvprog/describe.h"
#include "kvproto/timing.h"
#include "program_source.h"
#include "progress.h"

namespace kvctl {

namespace {

using json = nlohmann::ordered_json;
namespace timing = kvcom::timing;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

std::string Memories(int n) { return std::to_string(n) + (n == 1 ? " memory" : " memories"); }

std::string MemoryList(const kvfiles::BankTable& bank) {
    std::string text = "  #  name\n";
    for (int m = 1; m < kvfiles::kBankEntries; ++m) {
        const auto& e = bank.entries[m];
        char line[64];
        std::snprintf(line, sizeof line, "%c%2d  %s\n", m == bank.current ? '*' : ' ', m,
                      e.used ? Trimmed(e.name).c_str() : "-");
        text += line;
    }
    return text;
}

json MemoryJson(const kvfiles::BankTable& bank) {
    json memories = json::array();
    for (int m = 1; m < kvfiles::kBankEntries; ++m) {
        const auto& e = bank.entries[m];
        memories.push_back({{"number", m}, {"name", e.used ? Trimmed(e.name) : ""}, {"used", e.used}});
    }
    return memories;
}

void AddList(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand("list", "List the unit's 60 memories (number, name, used); * marks the current one");
    cmd->callback([&session] {
        Unit& unit = session.unit();
        unit.ListMemories();
        const auto bank = kvfiles::BankFromMemoryTable(unit.model().mem_num);
        session.Print({{"port", unit.name()}, {"current", bank.current}, {"memories", MemoryJson(bank)}},
                      MemoryList(bank));
    });
}

int CheckedMemoryNumber(int n) {
    if (n < 1 || n > 60) throw Failure(kExitUsage, "memory " + std::to_string(n) + " does not exist (1 to 60)");
    return n;
}

void AddRecall(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand("recall", "Recall memory N on the unit: it becomes the working program");
    auto n = std::make_shared<int>(0);
    cmd->add_option("N", *n, "The memory, 1 to 60")->required();
    cmd->callback([&session, n] {
        const int m = CheckedMemoryNumber(*n);
        Unit& unit = session.unit();
        SayOnInterrupt("memory " + std::to_string(m) + " may or may not have been recalled");
        unit.Recall(m);
        const std::string name = ProgramName(unit.model());
        session.Report({{"memory", m}, {"program", name}},
                       "Recalled memory " + std::to_string(m) + " " + Quoted(name) + ".\n");
    });
}

void AddStore(CLI::App& app, Session& session) {
    auto* cmd =
        app.add_subcommand("store", "Store the unit's working program (or another program) into memory N under NAME");
    struct Args {
        int n = 0;
        std::string name, from;
        bool yes = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("N", args->n, "The memory, 1 to 60")->required();
    cmd->add_option("NAME", args->name,
                    "Its name: up to 8 letters, digits, blanks and ! # & - = ~ (empty: KALVORE, the unit's default)")
        ->required();
    cmd->add_option("--from", args->from,
                    std::string("Store this program instead: ") + kProgramSpecHelp +
                        "; the unit plays it as its working program too");
    cmd->add_flag("--yes,-y", args->yes, "Overwrite a used memory (without --yes, memory N is read first)");
    cmd->callback([&session, args] {
        const int m = CheckedMemoryNumber(args->n);
        const std::string name = CheckedMemoryName(args->name);
        const bool default_name = Trimmed(args->name).empty();
        // A file is read, and a name of the unit checked, before the line is touched.
        std::optional<ProgramSpec> from;
        std::optional<CDSDATA> program;
        if (!args->from.empty()) {
            from = CheckedProgramSpec(args->from);
            if (!from->OnUnit()) program = LoadProgram(session, *from);
        }
        Unit& unit = session.unit();
        // Is memory N used? One image says so; the whole list is not read.
        if (!args->yes) {
            if (const auto held = unit.ReadMemory(m))
                throw Failure(kExitUsage, "memory " + std::to_string(m) + " holds " + Quoted(ProgramName(*held)) +
                                              "; add --yes to overwrite it");
        }
        if (from && !program) program = LoadProgram(session, *from);
        // The store's image goes out during its pauses; the read back takes it in again.
        const double fetch_s = program ? 0 : FetchSeconds(), store_s = timing::kStoreMs / 1000.0;
        Progress progress(unit.quiet(), "storing memory " + std::to_string(m), fetch_s + store_s + FetchSeconds());
        if (program) {
            unit.model() = *program;
        } else {
            progress.Step(0, fetch_s, "fetching the working program");
            unit.FetchWorking(&progress);
        }
        CDSDATA& model = unit.model();
        model.mem_num = static_cast<char>(m);
        NameProgram(model, m, name);
        data_memoryb[m] = 1;
        const CDSDATA expected = model;
        const double verify_s = FetchSeconds(ImageBytes(expected));
        progress.Replan(fetch_s + store_s + verify_s);
        progress.Step(fetch_s, store_s, "storing");
        SayOnInterrupt("memory " + std::to_string(m) + " may hold what it held, " + Quoted(name) +
                       " or part of it; the unit's working program may be " + Quoted(name));
        unit.Sent(model.StoreMEMCur(static_cast<unsigned char>(m)), "memory " + std::to_string(m));
        // The store ends with a recall of the memory: the working program is now what it holds.
        progress.Step(fetch_s + store_s, verify_s, "reading back");
        SayOnInterrupt("memory " + std::to_string(m) + " holds " + Quoted(name) + " (not yet read back)");
        unit.FetchWorking(&progress);
        const auto diffs = kvprog::Diff(expected, unit.model());
        if (!diffs.empty())
            throw Failure(kExitLine, "memory " + std::to_string(m) + " does not hold what was sent (" +
                                         diffs.front().path + ": " + diffs.front().b + ")");
        progress.Done();
        json doc = {{"memory", m}, {"name", name}};
        if (default_name) doc["default_name"] = true;
        session.Report(doc, "Stored memory " + std::to_string(m) + " " + Quoted(name) +
                                (default_name ? " (the unit's default name: NAME was empty)" : "") + ".\n");
    });
}

void AddBackup(CLI::App& app, Session& session) {
    auto* cmd =
        app.add_subcommand("backup", "Save all the unit's memories and its working program to a bank file (.ay)");
    auto file = std::make_shared<std::string>();
    cmd->add_option("FILE", *file, "The bank file to write")->required();
    cmd->callback([&session, file] {
        FileWriter out(*file);  // a place that cannot be written is refused before the line is touched
        const std::string unwritten = "nothing was written to " + *file;
        SayOnInterrupt(unwritten + "; the unit was only read");
        Unit& unit = session.unit();
        unit.ListMemories(unwritten);
        if (prog_len[0] < 5) unit.FetchWorking();  // a dump without the working program
        kvfiles::BankTable bank = kvfiles::BankFromMemoryTable(unit.model().mem_num);
        bank.entries[0].used = true;
        out.Commit(kvfiles::EncodeBank(bank));
        SayOnInterrupt(*file + " was written whole");
        const int used = kvfiles::UsedMemories(bank);
        session.Report({{"file", *file}, {"memories", used}, {"current", bank.current}},
                       "Saved " + Memories(used) + " and the working program to " + *file + ".\n");
    });
}

// "1, 3-16 and 18-59".
std::string NumberRanges(const std::vector<int>& numbers) {
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
        parts.push_back(j == i ? std::to_string(numbers[i])
                               : std::to_string(numbers[i]) + "-" + std::to_string(numbers[j]));
        i = j + 1;
    }
    std::string text;
    for (std::size_t k = 0; k < parts.size(); ++k)
        text += (k == 0 ? "" : (k + 1 == parts.size() ? " and " : ", ")) + parts[k];
    return text;
}

// "memory 5" or "memories 1, 3-16 and 18-59".
std::string MemoriesNamed(const std::vector<int>& numbers) {
    return (numbers.size() == 1 ? "memory " : "memories ") + NumberRanges(numbers);
}

// What a restore of a bank does to the unit, known before anything is sent.
struct RestorePlan {
    explicit RestorePlan(const CDSDATA& base) : working_program(base) {}
    std::vector<int> used, empty;  // the bank's memories with a program, and without
    int current = 1;               // the bank's current memory
    bool recall = false;           // it holds a program: a recall makes it current again
    bool resend = false;           // the working program is not what that memory holds: sent again after it
    std::string working;           // the working program's name
    CDSDATA working_program;
    // Its parts in seconds: the unit checked, the opening messages, the
    // images, the recall, the working program sent again, the read back.
    double check_s = 0, opening_s = 0, images_s = 0, recall_s = 0, resend_s = 0, verify_s = 0;
    double Seconds() const { return check_s + opening_s + images_s + recall_s + resend_s + verify_s; }
};

RestorePlan PlanRestore(const Session& session, const kvfiles::BankTable& bank) {
    RestorePlan plan(session.factory());
    for (int m = 1; m < kvfiles::kBankEntries; ++m) (bank.entries[m].used ? plan.used : plan.empty).push_back(m);
    plan.current = bank.current;
    plan.working = Trimmed(bank.entries[0].name);
    kvfiles::ReadImage(plan.working_program, bank.entries[0].image);
    plan.recall = plan.current >= 1 && plan.current <= 60 && bank.entries[plan.current].used;
    if (plan.recall) {
        CDSDATA current(session.factory());
        kvfiles::ReadImage(current, bank.entries[plan.current].image);
        plan.resend = !kvprog::Diff(plan.working_program, current).empty();
    }
    // The unit's program before the restore is not known; after it, it is the bank's.
    const std::size_t working_image = bank.entries[0].image.size();
    plan.check_s = FetchSeconds();
    plan.opening_s = 3 * timing::kStoreAllOpeningMs / 1000.0;
    plan.images_s = static_cast<double>(plan.used.size() + 1) * timing::kStoreAllImageMs / 1000.0;
    if (plan.recall)
        plan.recall_s = MemorySeconds(bank.entries[plan.current].image.size()) +
                        (timing::kRecallBeforeChangeMs + timing::kRecallAfterChangeMs) / 1000.0;
    if (plan.resend) plan.resend_s = timing::LineSeconds(working_image);
    plan.verify_s = FetchSeconds(working_image);
    return plan;
}

// What the unit holds after the restore besides what was written, or will:
// for the final line and the question.
std::string RestoreOutcome(const RestorePlan& plan, const std::string& file, bool done) {
    std::string text = "memory " + std::to_string(plan.current);
    if (plan.recall)
        text += done ? " is current again." : " becomes current again.";
    else if (plan.current == 1)
        text += done ? " is current, as in " + file + "." : " becomes current, as in " + file + ".";
    else
        text += ", current in " + file + ", is empty there: memory 1 " + (done ? "is" : "becomes") +
                " current instead, as after every Store All.";
    if (plan.empty.empty()) return text;
    return text + " Memories empty in " + file + " (" + NumberRanges(plan.empty) + ") " +
           (done ? "kept what the unit held there" : "keep what the unit holds there") +
           ": it has no message that empties a memory.";
}

// What an interrupted restore had done, told by the interruption thread.
struct RestoreState {
    std::atomic<int> begun{0};
    std::atomic<int> memory{-1};
    std::atomic<int> phase{0};  // 0 sending, 1 making the current memory current, 2 working program, 3 reading back
};

std::string Interrupted(const RestoreState& s, int total, int current, const std::string& file) {
    switch (s.phase.load()) {
    case 1:
        return "every memory and the working program of " + file + " were written; memory " + std::to_string(current) +
               " may not be current";
    case 2: return "every memory of " + file + " was written; the working program may be incomplete";
    case 3: return file + " was written to the unit; it was not read back";
    default: break;
    }
    const int begun = s.begun.load(), m = s.memory.load();
    std::string text = "the restore of " + file + " stopped after " + std::to_string(begun) + " of " +
                       std::to_string(total) + " images";
    if (m > 0)
        text += " (memories 60 down to " + std::to_string(m) + "; memory " + std::to_string(m) + " may be incomplete)";
    else if (m == 0)
        text += " (all memories; the working program may be incomplete)";
    return text + "; the unit holds a partial restore";
}

void AddRestore(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand(
        "restore",
        "Write a bank file (.ay) to the unit (Store All): its memories, its working program, and its current memory "
        "made current again; memories empty in the file keep what the unit holds (the unit cannot empty a memory)");
    struct Args {
        std::string file;
        bool yes = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("FILE", args->file, "The bank file to send")->required();
    cmd->add_flag("--yes,-y", args->yes, "Do not ask before writing to the unit");
    cmd->callback([&session, args] {
        const std::string& file = args->file;
        const kvfiles::BankTable bank = ReadBankFile(session, file, BankUse::kRestore);
        const RestorePlan plan = PlanRestore(session, bank);
        const std::string written = (plan.used.empty() ? "no memory" : MemoriesNamed(plan.used)) + " of " + file +
                                    " and its working program " + Quoted(plan.working);
        session.Confirm("Restore writes " + written + " to the unit; " + RestoreOutcome(plan, file, false), args->yes);

        Unit& unit = session.unit();
        Progress progress(unit.quiet(), "restoring " + file, plan.Seconds());
        progress.Step(0, plan.check_s, "checking the unit");
        unit.FetchWorking(&progress);  // the unit is there before a minute of sending begins
        kvfiles::BankToMemoryTable(bank, kvfiles::MissingWorkingProgram::kKeep);

        static RestoreState state;
        const int total = static_cast<int>(plan.used.size()) + 1;
        SayOnInterrupt([total, current = plan.current, file] { return Interrupted(state, total, current, file); });
        const double opening = plan.check_s + plan.opening_s;
        progress.Step(plan.check_s, plan.opening_s, "opening");
        struct Context {
            Progress* progress;
            double opening;
        } context{&progress, opening};
        SetMemStoreAllProgress(
            [](int memory, void* c) {
                auto* ctx = static_cast<Context*>(c);
                const int begun = state.begun.load();
                state.memory = memory;
                state.begun = begun + 1;
                ctx->progress->Step(ctx->opening + begun * timing::kStoreAllImageMs / 1000.0,
                                    timing::kStoreAllImageMs / 1000.0,
                                    memory == 0 ? "working program" : "memory " + std::to_string(memory));
            },
            &context);
        const int sent = unit.model().SendMEMStoreAll();
        SetMemStoreAllProgress(nullptr, nullptr);
        unit.Sent(sent, "the restore of " + file + " (" + std::to_string(state.begun.load()) + " of " +
                            std::to_string(total) + " images begun)");
        double done = opening + plan.images_s;

        // The current memory: a program change after the images makes it
        // current, and makes what it holds the working program.
        if (plan.recall) {
            state.phase = 1;
            progress.Step(done, plan.recall_s, "memory " + std::to_string(plan.current) + " current");
            unit.Recall(plan.current, &progress);
            done += plan.recall_s;
        }
        // A working program edited after that memory was recalled goes back
        // on top, as a download sends it but without storing it anywhere.
        if (plan.resend) {
            state.phase = 2;
            const auto& image = bank.entries[0].image;
            progress.Step(done, plan.resend_s, "working program");
            CDSDATA& m = unit.model();
            m = plan.working_program;
            unit.Sent(m.SendParam(PC_FIGURATION), "the working program");
            unit.Sent(m.SendMIDI(image.data(), static_cast<int>(image.size()), 0), "the working program");
            done += plan.resend_s;
        }
        state.phase = 3;
        progress.Step(done, plan.verify_s, "reading back");
        unit.FetchWorking(&progress);
        const auto diffs = kvprog::Diff(plan.working_program, unit.model());
        if (!diffs.empty())
            throw Failure(kExitLine, "the unit's working program is not the one of " + file + " (" +
                                         diffs.front().path + ": " + diffs.front().b + " instead of " +
                                         diffs.front().a + "); every memory of it was written");
        progress.Done();
        SayOnInterrupt(file + " was written to the unit");
        json doc = {{"file", file},
                    {"memories", static_cast<int>(plan.used.size())},
                    {"written", plan.used},
                    {"kept", plan.empty},
                    {"current", plan.recall ? plan.current : 1}};
        session.Report(doc, "Wrote " + written + " to the unit; " + RestoreOutcome(plan, file, true) + "\n");
    });
}

}  // namespace

void AddMemoryCommands(CLI::App& app, Session& session) {
    AddList(app, session);
    AddRecall(app, session);
    AddStore(app, session);
    AddBackup(app, session);
    AddRestore(app, session);
}

}  // namespace kvctl
