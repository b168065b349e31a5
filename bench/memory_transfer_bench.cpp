// Measures the two long transfers against the simulator at line rate: the
// fetch of the working program (RecallToPC) and the listing of 60 used
// memories (MemRefresh). For each run it prints the wall time, the time the
// exchanged bytes need on a 19200-baud line, the ratio of wall time to that
// wire time plus the protocol's own fixed waits, and the CPU time this
// process used meanwhile (the simulator runs as a separate process).
//
//   memory_transfer_bench [runs]        (default 3)
#include <kvcom/kvcom.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "device.h"
#include "kvproto/messages.h"
#include "kvproto/system_block.h"
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
    return kvsim::SaveStateFile(path, device);
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
    std::printf("ratio = wall / (wire + fixed waits); cpu = this process's CPU time / wall time\n");

    DestroyTTYInfo();
    StopSimulator(sim);
    std::remove(state.c_str());
    return 0;
}
