#include "rack_run.h"

#include "session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <kvcom/kvcom.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>

#include "failure.h"
#include "kvfiles/atomic_file.h"
#include "kvprog/program_json.h"
#include "kvprog/setting_json.h"
#include "kvrack/rack.h"

extern char** environ;

namespace kvctl {

namespace {

using json = nlohmann::ordered_json;

// One unit's run: its process, what it printed, how it ended.
struct Run {
    kvrack::RackUnit unit;
    std::vector<std::string> args;
    pid_t pid = -1;
    int out = -1, err = -1;
    std::string out_text, err_text, out_line, err_line;
    int code = -1;
};

volatile sig_atomic_t g_stop_signal = 0;
void OnStop(int sig) { g_stop_signal = sig; }

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : list + ",") {
        if (c == ',') {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
        } else if (c != ' ') {
            cur += c;
        }
    }
    return out;
}

bool Start(Run& run) {
    std::vector<std::string> all = {"/proc/self/exe", "--port", run.unit.port};
    all.insert(all.end(), run.args.begin(), run.args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    const int spawned = posix_spawn(&run.pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    run.out = out[0];
    run.err = err[0];
    return spawned == 0;
}

// Prints whole lines as they come, each after the unit's alias.
void Relay(Run& run, const char* data, std::size_t n, bool is_err, bool quiet_out) {
    std::string& line = is_err ? run.err_line : run.out_line;
    (is_err ? run.err_text : run.out_text).append(data, n);
    if (quiet_out && !is_err) return;
    line.append(data, n);
    std::size_t nl;
    while ((nl = line.find('\n')) != std::string::npos) {
        (is_err ? std::cerr : std::cout) << run.unit.alias << ": " << line.substr(0, nl) << '\n';
        line.erase(0, nl + 1);
    }
}

// Runs every unit at once and waits for all; Ctrl+C goes on to them, so
// each ends as an interrupted run of its own says.
void RunAll(std::vector<Run>& runs, bool json_out) {
    struct sigaction action {}, old_int {}, old_term {};
    action.sa_handler = OnStop;
    ::sigaction(SIGINT, &action, &old_int);
    ::sigaction(SIGTERM, &action, &old_term);
    for (Run& r : runs)
        if (!Start(r)) r.code = kExitPort;
    bool forwarded = false;
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<std::pair<Run*, bool>> owner;
        for (Run& r : runs)
            for (int* fd : {&r.out, &r.err})
                if (*fd >= 0) {
                    fds.push_back({*fd, POLLIN, 0});
                    owner.push_back({&r, fd == &r.err});
                }
        if (fds.empty()) break;
        if (g_stop_signal && !forwarded) {
            for (Run& r : runs)
                if (r.pid > 0) ::kill(r.pid, g_stop_signal);
            forwarded = true;
        }
        if (::poll(fds.data(), fds.size(), 200) <= 0) continue;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            Run& r = *owner[i].first;
            if (n > 0) {
                Relay(r, buf, std::size_t(n), owner[i].second, json_out);
            } else {
                ::close(fds[i].fd);
                (owner[i].second ? r.err : r.out) = -1;
            }
        }
    }
    for (Run& r : runs) {
        if (r.pid <= 0) continue;
        int status = 0;
        ::waitpid(r.pid, &status, 0);
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : kExitLine;
        for (bool is_err : {false, true}) {
            std::string& rest = is_err ? r.err_line : r.out_line;
            if (!rest.empty() && !(json_out && !is_err))
                (is_err ? std::cerr : std::cout) << r.unit.alias << ": " << rest << '\n';
            rest.clear();
        }
    }
    ::sigaction(SIGINT, &old_int, nullptr);
    ::sigaction(SIGTERM, &old_term, nullptr);
}

std::string LastLine(const std::string& text) {
    std::string t = text;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    const auto nl = t.rfind('\n');
    std::string last = nl == std::string::npos ? t : t.substr(nl + 1);
    if (last.rfind("kvctl: ", 0) == 0) last.erase(0, 7);
    return last;
}

// The settings in which the units' programs differ (or the one asked for).
int DiffAcross(std::vector<Run>& runs, const std::optional<std::string>& only, bool json_out) {
    std::vector<std::pair<std::string, CDSDATA>> programs;
    const CDSDATA factory;
    for (Run& r : runs) {
        if (r.code != 0) continue;
        CDSDATA program(factory);
        const auto doc = nlohmann::json::parse(r.out_text, nullptr, false);
        if (doc.is_discarded() || kvprog::ImportJsonDocument(program, doc)) {
            r.code = kExitLine;
            r.err_text += "kvctl: its program did not read back\n";
            continue;
        }
        programs.emplace_back(r.unit.alias, program);
    }
    std::vector<kvprog::SettingRef> refs;
    if (only) {
        const auto ref = kvprog::ParsePath(*only);
        if (!ref) throw Failure(kExitUsage, *only + ": no such setting (for example out3.gain, ina.delay, out2.hp)");
        refs.push_back(*ref);
    } else if (!programs.empty()) {
        refs = kvprog::SettingsOf(programs.front().second);
    }
    json differences = json::array();
    std::string text;
    for (const kvprog::SettingRef& ref : refs) {
        const bool same = std::all_of(programs.begin(), programs.end(), [&](const auto& p) {
            return kvprog::SameSetting(programs.front().second, p.second, ref);
        });
        if (same && !only) continue;
        json values = json::object();
        text += kvprog::PathOf(ref);
        for (const auto& [alias, program] : programs) {
            values[alias] = kvprog::SettingValue(program, ref);
            text += "  " + alias + " " + kvprog::ReadText(program, ref);
        }
        text += "\n";
        differences.push_back({{"path", kvprog::PathOf(ref)}, {"values", values}});
    }
    if (json_out) {
        std::cout << json{{"differences", differences}}.dump(2) << '\n';
    } else {
        std::cout << (text.empty() ? "The units' programs do not differ.\n" : text);
    }
    return 0;
}

}  // namespace

bool TakeRackCall(int argc, char** argv, RackCall& call) {
    bool selected = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const std::string& name) -> std::optional<std::string> {
            if (a == name) {
                if (i + 1 >= argc) throw Failure(kExitUsage, name + " needs a value");
                return std::string(argv[++i]);
            }
            if (a.rfind(name + "=", 0) == 0) return a.substr(name.size() + 1);
            return std::nullopt;
        };
        if (auto v = value("--units")) {
            call.units = *v;
            selected = true;
        } else if (auto g = value("--group")) {
            call.group = *g;
            selected = true;
        } else if (a == "--all") {
            call.all = true;
            selected = true;
        } else if (auto r = value("--rack")) {
            call.rack_file = *r;
        } else {
            call.rest.push_back(a);
        }
    }
    return selected;
}

int RunOnRack(const RackCall& call) {
    const std::string rack_path = call.rack_file.empty() ? kvrack::DefaultRackPath() : call.rack_file;
    const auto rack = kvrack::ReadRack(rack_path);
    if (!rack) Refused(kExitFile, rack.refusal(), "the rack file is refused");
    kvrack::Selection selection{Split(call.units), call.group, call.all};
    const auto units = kvrack::Select(*rack, selection);
    if (!units) Refused(kExitUsage, units.refusal());

    // The command and its words, after the global options.
    std::vector<std::string> args = call.rest;
    bool json_out = false, yes = false;
    std::size_t command_at = args.size();
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port" || args[i] == "-p" || args[i].rfind("--port=", 0) == 0)
            throw Failure(kExitUsage, "--port and a choice of units from the rack cannot go together");
        if (args[i] == "--json") json_out = true;
        if (args[i] == "--yes" || args[i] == "-y") yes = true;
        if (command_at == args.size() && !args[i].empty() && args[i][0] != '-') command_at = i;
    }
    if (command_at == args.size()) throw Failure(kExitUsage, "a command is needed, e.g. kvctl --all identify");
    const std::string command = args[command_at];
    if (command == "ports" || command == "rack" || command == "serve")
        throw Failure(kExitUsage, command + " does not run per unit" +
                                      (command == "serve" ? "; kvctl --rack FILE serve serves the whole rack" : ""));
    auto positional = [&](std::size_t n) -> std::optional<std::string> {
        std::size_t seen = 0;
        for (std::size_t i = command_at + 1; i < args.size(); ++i)
            if (args[i][0] != '-' && seen++ == n) return args[i];
        return std::nullopt;
    };

    std::vector<Run> runs;
    for (const kvrack::RackUnit& u : *units) {
        Run run;
        run.unit = u;
        run.args = args;
        runs.push_back(std::move(run));
    }
    std::string names;
    for (const auto& u : *units) names += (names.empty() ? "" : ", ") + u.alias + " (" + u.port + ")";

    std::optional<std::string> diff_path;
    if (command == "backup" || command == "restore") {
        const auto dir = positional(0);
        if (!dir) throw Failure(kExitUsage, command + " needs a folder: one bank per unit, named by its alias");
        std::error_code ec;
        if (command == "backup") {
            std::filesystem::create_directories(*dir, ec);
            if (!std::filesystem::is_directory(*dir)) throw Failure(kExitFile, "cannot make the folder " + *dir);
        }
        for (Run& r : runs) {
            const std::string file = *dir + "/" + r.unit.alias + ".ay";
            if (command == "restore" && !std::filesystem::exists(file))
                throw Failure(kExitFile, "the folder " + *dir + " holds no bank for " + r.unit.alias + " (" + file + ")");
            std::replace(r.args.begin(), r.args.end(), *dir, file);
            if (command == "restore" && !yes) r.args.push_back("--yes");
        }
        if (command == "restore")
            Confirm("Restore writes each bank of " + *dir + " (<alias>.ay) to its unit: " + names +
                        ". Each unit's memories under the bank's numbers and its working program are overwritten.",
                    yes);
    } else if (command == "download") {
        const auto file = positional(0);
        Confirm("Download sends " + file.value_or("the program") + " to " + names +
                    ": each unit's working program and memory 1 are replaced, and every output is muted.",
                yes);
        if (!yes)
            for (Run& r : runs) r.args.push_back("--yes");
    } else if (command == "diff") {
        // The same program read from each unit, compared here.
        diff_path = positional(0);
        for (Run& r : runs) r.args = {"--json", "--quiet", "show", "unit"};
    }

    RunAll(runs, json_out || command == "diff");

    int worst = 0;
    std::string failed;
    int failures = 0;
    for (const Run& r : runs) {
        worst = std::max(worst, r.code);
        if (r.code != 0) {
            ++failures;
            failed += (failed.empty() ? "" : "; ") + r.unit.alias + " (exit " + std::to_string(r.code) + ": " +
                      LastLine(r.err_text) + ")";
        }
    }
    if (command == "diff") {
        DiffAcross(runs, diff_path, json_out);
        worst = 0;
        for (const Run& r : runs) worst = std::max(worst, r.code);
    } else if (json_out) {
        json doc = json::object();
        for (const Run& r : runs) {
            const auto output = json::parse(r.out_text, nullptr, false);
            doc[r.unit.alias] = {{"port", r.unit.port},
                                 {"exit", r.code},
                                 {"output", output.is_discarded() ? json(nullptr) : output},
                                 {"error", r.code == 0 ? json(nullptr) : json(LastLine(r.err_text))}};
        }
        std::cout << json{{"units", doc}}.dump(2) << '\n';
    }
    if (command == "backup") {
        // The index: when, and which port each bank came from.
        const auto dir = positional(0);
        char when[32];
        const std::time_t now = std::time(nullptr);
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S%z", std::localtime(&now));
        json list = json::array();
        for (const Run& r : runs)
            list.push_back({{"alias", r.unit.alias}, {"port", r.unit.port}, {"file", r.unit.alias + ".ay"},
                            {"written", r.code == 0}});
        const std::string index = json{{"time", when}, {"units", list}}.dump(2) + "\n";
        if (auto refused = kvfiles::WriteFileAtomically(*dir + "/index.json",
                                                        std::vector<std::uint8_t>(index.begin(), index.end())))
            throw Failure(kExitFile, "cannot write " + refused->Message());
    }
    if (failures > 0)
        std::cerr << "kvctl: " << failures << " of " << runs.size() << " units failed: " << failed << '\n';
    return worst;
}

}  // namespace kvctl
