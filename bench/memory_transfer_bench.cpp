// Measures the two long transfers against the simulator at line rate: the
// fetch of the working program (RecallToPC) and the listing of 60 used
// memories (MemRefresh). For each run it prints the wall time, the time the
// exchanged bytes need on a 19200-baud line, the ratio of wall time to that
// wire time plus the protocol's own fixed waits, and the CPU time this
// process used meanwhile (the simulator runs as a separate process).
//
// Then the paced sends: a Download (StoreFromPC), the store of one memory
// (StoreMEMCur) and 100 linked parameter edits. For each it prints the sum
// of the pauses the protocol asks for, the wall time, how much longer than
// those pauses it took (in all, and the least and most of any one pause:
// never below 0, so no pause is shortened), and the CPU share.
//
//   memory_transfer_bench [runs]        (default 3)
#include <kvcom/kvcom.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "device.h"
#include "kvproto/messages.h"
#include "kvproto/system_block.h"
#include "pacing.h"
#include "state_file.h"

extern char** environ;

namespace {

constexpr double kBitsPerByte = 10.0;  // start, 8 data bits, stop
constexpr double kBaud = 19200.0;
// The writer gives way for 100 ms to the reply armed just before the
// identity request, and the fetch opens with a 100 us gap.
constexpr double kRecallFixedMs = 100.1;
constexpr double kRefreshFixedMs = 100.0;
constexpr int kIdentityReplyBytes = 11;

// What the two operations send: the identity request and one request.
std::size_t RecallSentBytes() {
    unsigned char buf[16];
    return kvcom::message::PutIdentityRequest(buf, 0) + kvcom::message::PutImageRequest(buf, 0, 0);
}

std::size_t RefreshSentBytes() {
    unsigned char buf[16];
    return kvcom::message::PutIdentityRequest(buf, 0x7F) + kvcom::message::PutDumpRequest(buf, 0x7F);
}

double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double WireMs(std::size_t bytes) { return bytes * kBitsPerByte / kBaud * 1e3; }

// Sixty used memories with a few EQ filters each, as a bank file the
// simulator loads.
bool WriteState(const std::string& path) {
    kvsim::Device device;
    for (int m = 1; m <= 60; ++m) {
        CDSDATA program;
        program.out_gain[m % 6] = m - 30;
        const int filters = m % 5;
        for (int j = 0; j < filters; ++j) {
            program.eq_owner[j] = (m + j) % 6;
            program.out_eq_slot[(m + j) % 6][0] = j;
            program.eq_freq[j] = 40 + 3 * m;
            program.eq_dsp[j] = 0;
        }
        program.eq_used = filters;
        device.StoreMemory(m, program, "MEM" + std::to_string(m));
    }
    return !kvsim::SaveStateFile(path, device);
}

struct Simulator {
    pid_t pid = -1;
    std::string pty;
};

Simulator StartSimulator(const std::string& state) {
    Simulator sim;
    int out[2];
    if (pipe(out) != 0) return sim;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* argv[] = {KVSIM_PROGRAM, "--state", state.c_str(), "--line-rate", nullptr};
    if (posix_spawn(&sim.pid, KVSIM_PROGRAM, &actions, nullptr, const_cast<char**>(argv), environ) != 0) sim.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char c;
    while (sim.pid > 0 && read(out[0], &c, 1) == 1 && c != '\n') sim.pty += c;
    close(out[0]);
    return sim;
}

void StopSimulator(const Simulator& sim) {
    if (sim.pid <= 0) return;
    kill(sim.pid, SIGTERM);
    waitpid(sim.pid, nullptr, 0);
}

struct Run {
    int ok;
    double wall_ms;
    double cpu_ms;
};

template <typename Op>
Run Measure(Op op) {
    const double cpu0 = CpuMs();
    const auto t0 = std::chrono::steady_clock::now();
    const int ok = op();
    const auto t1 = std::chrono::steady_clock::now();
    return {ok, std::chrono::duration<double, std::milli>(t1 - t0).count(), CpuMs() - cpu0};
}

void Print(const char* name, const Run& r, std::size_t sent, std::size_t received, double fixed_ms) {
    const std::size_t bytes = sent + received;
    const double wire = WireMs(bytes);
    std::printf("%-16s %3s %7zu %9.1f %8.1f %9.1f %7.3f %8.1f %7.2f%%\n", name, r.ok ? "ok" : "ERR", bytes, wire,
                fixed_ms, r.wall_ms, r.wall_ms / (wire + fixed_ms), r.cpu_ms, 100.0 * r.cpu_ms / r.wall_ms);
}

// The real clock, with every pause the protocol asks for added up and each
// one timed: how long it was asked to be, and how much longer it took.
class PauseMeter final : public kvcom::Pacing {
public:
    explicit PauseMeter(kvcom::Pacing& real) : real_(real) {}
    std::int64_t NowUs() override { return real_.NowUs(); }
    void SleepMs(unsigned ms) override {
        const std::int64_t t0 = Now();
        real_.SleepMs(ms);
        Count(ms * 1000.0, t0);
    }
    void SpinUs(unsigned us) override {
        const std::int64_t t0 = Now();
        real_.SpinUs(us);
        Count(us, t0);
    }
    void SleepMsUnless(unsigned ms, const std::atomic<unsigned>& word, bool (*stop)()) override {
        const std::int64_t t0 = Now();
        real_.SleepMsUnless(ms, word, stop);
        Count(ms * 1000.0, t0);
    }
    void Nap() override { real_.Nap(); }
    void NapUntilChanged(const std::atomic<unsigned>& word, unsigned seen) override {
        real_.NapUntilChanged(word, seen);
    }

    void Reset() {
        count = 0;
        asked_us = 0;
        min_over_us = std::numeric_limits<double>::max();
        max_over_us = std::numeric_limits<double>::lowest();
    }
    int count = 0;
    double asked_us = 0;
    double min_over_us = 0;
    double max_over_us = 0;

private:
    static std::int64_t Now() {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
    }
    void Count(double asked, std::int64_t t0) {
        const double took = (Now() - t0) / 1e3;
        ++count;
        asked_us += asked;
        min_over_us = std::min(min_over_us, took - asked);
        max_over_us = std::max(max_over_us, took - asked);
    }
    kvcom::Pacing& real_;
};

void PrintPaced(const char* name, const Run& r, const PauseMeter& meter) {
    const double pauses_ms = meter.asked_us / 1e3;
    const double over_ms = r.wall_ms - pauses_ms;
    std::printf("%-18s %3s %6d %10.1f %9.1f %8.2f %7.0f %6.1f %6.0f %8.1f %7.2f%%\n", name, r.ok ? "ok" : "ERR",
                meter.count, pauses_ms, r.wall_ms, over_ms, 1e3 * over_ms / meter.count, meter.min_over_us,
                meter.max_over_us, r.cpu_ms, 100.0 * r.cpu_ms / r.wall_ms);
}

// Output gain edits on the left-hand outputs of "2 Channel 3 Way" with the
// link on: each goes to the output and is repeated to its partner.
int LinkedEdits(CDSDATA& model, int count) {
    model.figuration = 1;
    model.link_on = 1;
    int ok = 1;
    for (int i = 0; i < count; ++i) {
        model.cur_chan = 2 * (i % 3);
        model.out_gain[model.cur_chan] = i % 60 - 30;
        ok &= model.SendParam(PC_OUT_GAIN);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    const std::string state = "/tmp/kvcom_bench_" + std::to_string(getpid()) + ".ay";
    if (!WriteState(state)) {
        std::fprintf(stderr, "cannot write %s\n", state.c_str());
        return 1;
    }
    const Simulator sim = StartSimulator(state);
    if (sim.pid <= 0 || sim.pty.empty()) {
        std::fprintf(stderr, "cannot start %s\n", KVSIM_PROGRAM);
        std::remove(state.c_str());
        return 1;
    }
    setenv("KVCOM_COM1", sim.pty.c_str(), 1);
    rs232_port = 1;
    CreateTTYInfo();
    if (!OpenConnection()) {
        std::fprintf(stderr, "cannot open %s\n", sim.pty.c_str());
        StopSimulator(sim);
        std::remove(state.c_str());
        return 1;
    }
    std::printf("simulator on %s, 19200 baud, %d runs\n", sim.pty.c_str(), runs);
    std::printf("%-16s %3s %7s %9s %8s %9s %7s %8s %8s\n", "operation", "", "bytes", "wire ms", "fixed", "wall ms",
                "ratio", "cpu ms", "cpu");
    CDSDATA model;
    for (int i = 0; i < runs; ++i) {
        const Run recall = Measure([&] { return model.RecallToPC(); });
        Print("RecallToPC", recall, RecallSentBytes(), kIdentityReplyBytes + prog_len[0], kRecallFixedMs);

        const Run refresh = Measure([&] { return model.MemRefresh(); });
        std::size_t received = kIdentityReplyBytes + kvcom::kSystemBlockLength;
        int used = 0;
        for (int m = 0; m < KV_MEMORIES; ++m) {
            if (!data_memoryb[m]) continue;
            received += prog_len[m];
            used += m > 0;
        }
        char name[32];
        std::snprintf(name, sizeof name, "MemRefresh(%d)", used);
        Print(name, refresh, RefreshSentBytes(), received, kRefreshFixedMs);
    }
    std::printf("ratio = wall / (wire + fixed waits); cpu = this process's CPU time / wall time\n\n");

    PauseMeter meter(kvcom::pacing());
    kvcom::SetPacing(&meter);
    std::printf("%-18s %3s %6s %10s %9s %8s %7s %6s %6s %8s %8s\n", "operation", "", "pauses", "pauses ms", "wall ms",
                "over ms", "mean us", "min us", "max us", "cpu ms", "cpu");
    for (int i = 0; i < runs; ++i) {
        struct Paced {
            const char* name;
            int (*op)(CDSDATA&);
        };
        const Paced paced[] = {
            {"StoreFromPC",
             [](CDSDATA& m) {
                 m.mem_num = 0;
                 return m.StoreFromPC();
             }},
            {"StoreMEMCur",
             [](CDSDATA& m) {
                 m.mem_num = 5;
                 return m.StoreMEMCur(0);
             }},
            {"100 linked edits", [](CDSDATA& m) { return LinkedEdits(m, 100); }},
        };
        for (const Paced& p : paced) {
            CDSDATA m;
            meter.Reset();
            PrintPaced(p.name, Measure([&] { return p.op(m); }), meter);
        }
    }
    kvcom::SetPacing(nullptr);
    std::printf(
        "pauses = how many and how long the protocol asks for; over = wall - pauses, and per pause;\n"
        "min/max us = the least and most any one pause ran over; cpu = CPU time / wall time\n");

    DestroyTTYInfo();
    StopSimulator(sim);
    std::remove(state.c_str());
    return 0;
}
