// kvctl as a user runs it, for the tests that run the real program: the
// program with its arguments and what it printed, and a simulated unit on
// its own pseudo-terminal.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pty_server.h"

extern char** environ;

namespace kvtest {

struct Result {
    int code = -1;
    std::string out, err;
};

// A kvctl started and not yet waited for.
struct Running {
    pid_t pid = -1;
    int out = -1, err = -1;
};

// Starts kvctl with `args` as a user's shell would, but with stdin closed
// and without a terminal (a session of its own).
inline Running Start(const std::vector<std::string>& args) {
    std::vector<std::string> all = {KVCTL_BIN};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        return {};
    }
    return {pid, out[0], err[0]};
}

// Collects what a started kvctl prints until it ends.
inline Result Finish(const Running& running) {
    Result run;
    if (running.pid < 0) return run;
    pollfd fds[2] = {{running.out, POLLIN, 0}, {running.err, POLLIN, 0}};
    std::string* into[2] = {&run.out, &run.err};
    int open = 2;
    while (open > 0 && ::poll(fds, 2, 60000) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                into[i]->append(buf, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    ::waitpid(running.pid, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// Runs kvctl with `args` and collects what it prints.
inline Result Kvctl(const std::vector<std::string>& args) { return Finish(Start(args)); }

inline std::string Described(const Result& r) {
    return "exit " + std::to_string(r.code) + "\nout: " + r.out + "\nerr: " + r.err;
}

// A simulated unit on its own pseudo-terminal.
class SimUnit {
public:
    SimUnit() : server_(device_, Options()) { path_ = server_.Start(); }
    ~SimUnit() { server_.Stop(); }
    const std::string& path() const { return path_; }
    template <typename F>
    void With(F f) {
        server_.WithDevice([&](kvsim::Device& d) { f(d); });
    }
    kvfiles::BankTable State() {
        kvfiles::BankTable t;
        With([&](kvsim::Device& d) { t = d.ExportState(); });
        return t;
    }
    // Waits up to two seconds for `holds(device)`: what a command sent last
    // may still be on its way through the pseudo-terminal when it exits.
    template <typename F>
    bool Eventually(F holds) {
        for (int i = 0; i < 200; ++i) {
            bool yes = false;
            With([&](kvsim::Device& d) { yes = holds(d); });
            if (yes) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // Keeps every message the unit receives from now on (instead of a log).
    void Record() {
        With([this](kvsim::Device& d) {
            d.SetObserver([this](const kvsim::Bytes& bytes, const std::string& note) {
                std::lock_guard lock(recorded_mutex_);
                if (note.empty()) recorded_.push_back(bytes);
            });
        });
    }
    std::vector<kvsim::Bytes> Recorded() {
        std::lock_guard lock(recorded_mutex_);
        return recorded_;
    }

private:
    static kvsim::PtyOptions Options() {
        kvsim::PtyOptions o;
        o.line_rate = false;
        return o;
    }
    kvsim::Device device_;
    kvsim::PtyServer server_;
    std::string path_;
    std::mutex recorded_mutex_;
    std::vector<kvsim::Bytes> recorded_;
};

inline std::string TempFile(const char* name) {
    return ::testing::TempDir() + "kvctl_line_" + std::to_string(getpid()) + name;
}

}  // namespace kvtest
