// Commands on the unit's 60 memories and on bank files.
#include <csignal>
#include <cstring>
#include <memory>

#include <unistd.h>

#include <atomic>

#include "commands.h"
#include "failure.h"
#include "file_io.h"
#include "kvprog/describe.h"
#include "program_source.h"
#include "progress.h"

namespace kvctl {

namespace {

using json = nlohmann::ordered_json;

// Store at the unit's pace: figuration, request, image, name, store, change.
constexpr double kStoreSeconds = 7.4;
// Store All: three opening messages, then a second for every image.
constexpr double kStoreAllOpening = 1.8;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

std::string Memories(int n) { return std::to_string(n) + (n == 1 ? " memory" : " memories"); }

std::string Trimmed(const std::string& s) {
    std::string t = s;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
}

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
        {
            Progress progress(unit.quiet(), "recalling memory " + std::to_string(m), 1.5);
            if (unit.model().MEMRECALLFROMMCU(static_cast<unsigned char>(m)) != 1)
                unit.NoAnswer("memory " + std::to_string(m) + " did not come; is it used?");
        }
        unit.CheckLink();
        const std::string name = ProgramName(unit.model());
        session.Report({{"memory", m}, {"program", name}},
                       "Recalled memory " + std::to_string(m) + " " + Quoted(name) + ".\n");
    });
}

void AddStore(CLI::App& app, Session& session) {
    auto* cmd =
        app.add_subcommand("store", "Store the unit's working program (or a program file) into memory N under NAME");
    struct Args {
        int n = 0;
        std::string name, from;
        bool yes = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("N", args->n, "The memory, 1 to 60")->required();
    cmd->add_option("NAME", args->name, "Its name: up to 8 letters, digits, blanks and ! # & - = ~")->required();
    cmd->add_option("--from", args->from,
                    "Store this program file (.syx) instead; the unit plays it as its working program too");
    cmd->add_flag("--yes,-y", args->yes, "Overwrite a used memory");
    cmd->callback([&session, args] {
        const int m = CheckedMemoryNumber(args->n);
        const std::string name = CheckedMemoryName(args->name);
        std::optional<CDSDATA> file_program;
        if (!args->from.empty()) file_program = ReadProgramFile(session, args->from, session.factory());
        Unit& unit = session.unit();
        unit.ListMemories();
        if (data_memoryb[m] && !args->yes)
            throw Failure(kExitUsage, "memory " + std::to_string(m) + " holds " + Quoted(Trimmed(data_name[m])) +
                                          "; add --yes to overwrite it");
        if (file_program)
            unit.model() = *file_program;
        else
            unit.FetchWorking();
        CDSDATA& model = unit.model();
        model.mem_num = static_cast<char>(m);
        NameProgram(model, m, name);
        data_memoryb[m] = 1;
        const CDSDATA expected = model;
        {
            Progress progress(unit.quiet(), "storing memory " + std::to_string(m), kStoreSeconds);
            unit.Sent(model.StoreMEMCur(static_cast<unsigned char>(m)), "memory " + std::to_string(m));
        }
        // The store ends with a recall of the memory: the working program is now what it holds.
        unit.FetchWorking();
        const auto diffs = kvprog::Diff(expected, unit.model());
        if (!diffs.empty())
            throw Failure(kExitLine, "memory " + std::to_string(m) + " does not hold what was sent (" +
                                         diffs.front().path + ": " + diffs.front().b + ")");
        session.Report({{"memory", m}, {"name", name}},
                       "Stored memory " + std::to_string(m) + " " + Quoted(name) + ".\n");
    });
}

void AddBackup(CLI::App& app, Session& session) {
    auto* cmd =
        app.add_subcommand("backup", "Save all the unit's memories and its working program to a bank file (.ay)");
    auto file = std::make_shared<std::string>();
    cmd->add_option("FILE", *file, "The bank file to write")->required();
    cmd->callback([&session, file] {
        FileWriter out(*file);
        Unit& unit = session.unit();
        unit.ListMemories();
        if (prog_len[0] < 5) unit.FetchWorking();  // a dump without the working program
        kvfiles::BankTable bank = kvfiles::BankFromMemoryTable(unit.model().mem_num);
        bank.entries[0].used = true;
        out.Commit(kvfiles::EncodeBank(bank));
        const int used = kvfiles::UsedMemories(bank);
        session.Report({{"file", *file}, {"memories", used}, {"current", bank.current}},
                       "Saved " + Memories(used) + " and the working program to " + *file + ".\n");
    });
}

// What an interrupted restore had done, for the Ctrl+C handler (which may
// only read these and write).
struct RestoreState {
    std::atomic<int> begun{0};
    std::atomic<int> memory{-1};
    int total = 0;
    char file[1024] = {0};
    bool terminal = false;
};
RestoreState g_restore;

void PutNumber(char*& at, int n) {
    char digits[12];
    int k = 0;
    do digits[k++] = static_cast<char>('0' + n % 10);
    while ((n /= 10) > 0);
    while (k > 0) *at++ = digits[--k];
}

void PutText(char*& at, const char* text) {
    while (*text) *at++ = *text++;
}

extern "C" void RestoreInterrupted(int) {
    char message[1400];
    char* at = message;
    if (g_restore.terminal) PutText(at, "\r\033[K");
    PutText(at, "kvctl: restore of ");
    PutText(at, g_restore.file);
    PutText(at, " interrupted after ");
    PutNumber(at, g_restore.begun.load());
    PutText(at, " of ");
    PutNumber(at, g_restore.total);
    PutText(at, " images");
    const int m = g_restore.memory.load();
    if (m > 0) {
        PutText(at, " (memories 60 down to ");
        PutNumber(at, m);
        PutText(at, "; memory ");
        PutNumber(at, m);
        PutText(at, " may be incomplete)");
    } else if (m == 0) {
        PutText(at, " (all memories; the working program may be incomplete)");
    }
    PutText(at, "; the unit holds a partial restore\n");
    (void)!::write(STDERR_FILENO, message, static_cast<std::size_t>(at - message));
    ::_exit(kExitLine);
}

void AddRestore(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand(
        "restore", "Write a bank file (.ay) to the unit: its memories and its working program (Store All)");
    struct Args {
        std::string file;
        bool yes = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("FILE", args->file, "The bank file to send")->required();
    cmd->add_flag("--yes,-y", args->yes, "Do not ask before writing to the unit");
    cmd->callback([&session, args] {
        const kvfiles::BankTable bank = ReadBankFile(session, args->file, BankUse::kRestore);
        const int used = kvfiles::UsedMemories(bank);
        session.Confirm("Restore writes " + Memories(used) + " of " + args->file + " and its working program " +
                            Quoted(Trimmed(bank.entries[0].name)) +
                            " to the unit, over what it holds under those numbers.",
                        args->yes);
        Unit& unit = session.unit();
        unit.FetchWorking();  // the unit is there before a minute of sending begins
        kvfiles::BankToMemoryTable(bank, kvfiles::MissingWorkingProgram::kKeep);

        g_restore.total = used + 1;
        std::strncpy(g_restore.file, args->file.c_str(), sizeof g_restore.file - 1);
        g_restore.terminal = ::isatty(STDERR_FILENO) == 1 && !unit.quiet();
        Progress progress(unit.quiet(), "restoring " + args->file, kStoreAllOpening + used + 1);
        struct Context {
            Progress* progress;
            int total;
        } context{&progress, used + 1};
        SetMemStoreAllProgress(
            [](int memory, void* c) {
                auto* ctx = static_cast<Context*>(c);
                const int begun = g_restore.begun.load() + 1;
                g_restore.memory = memory;
                g_restore.begun = begun;
                ctx->progress->Step(begun - 1, ctx->total,
                                    memory == 0 ? "working program" : "memory " + std::to_string(memory));
            },
            &context);
        // Ctrl+C reports how far it got; a SIGINT the caller ignores (a job
        // in the background of a script) stays ignored.
        struct sigaction on_interrupt {
        }, before{};
        on_interrupt.sa_handler = RestoreInterrupted;
        sigemptyset(&on_interrupt.sa_mask);
        sigaction(SIGINT, nullptr, &before);
        if (before.sa_handler != SIG_IGN) sigaction(SIGINT, &on_interrupt, nullptr);
        const int sent = unit.model().SendMEMStoreAll();
        sigaction(SIGINT, &before, nullptr);
        SetMemStoreAllProgress(nullptr, nullptr);
        progress.Finish();
        unit.Sent(sent, "the restore of " + args->file + " (" + std::to_string(g_restore.begun.load()) + " of " +
                            std::to_string(g_restore.total) + " images begun)");
        session.Report({{"file", args->file}, {"memories", used}},
                       "Wrote " + Memories(used) + " and the working program of " + args->file + " to the unit.\n");
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
