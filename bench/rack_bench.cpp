// A backup of a whole rack: 1, 2, 4 and 8 simulated units, each with 60
// used memories, at line rate, with `kvctl --all backup`. Prints the wall
// time and the CPU time of kvctl and its per-unit processes for each size:
// the wall time stays near one unit's while the machine's cores allow,
// since every unit has a process and a line of its own.
//
//   rack_bench [--units 1,2,4,8]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "pty_server.h"

namespace {

double ChildCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Unit {
    Unit() : server(device) {}
    kvsim::Device device;
    kvsim::PtyServer server;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {1, 2, 4, 8};
    if (argc == 3 && std::string(argv[1]) == "--units") {
        sizes.clear();
        for (const char* p = argv[2]; *p;) {
            sizes.push_back(std::atoi(p));
            p = std::strchr(p, ',');
            if (!p) break;
            ++p;
        }
    }
    const std::string dir = std::filesystem::temp_directory_path() / ("rack_bench_" + std::to_string(getpid()));
    std::printf("rack_bench: kvctl --all backup, 60 used memories a unit, replies at 19200 baud\n");
    std::printf("%6s %10s %10s %12s\n", "units", "wall s", "CPU s", "wall/one");
    double one = 0;
    for (int n : sizes) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::vector<std::unique_ptr<Unit>> units;
        std::string list;
        for (int i = 0; i < n; ++i) {
            auto& u = units.emplace_back(std::make_unique<Unit>());
            for (int m = 1; m <= 60; ++m) {
                CDSDATA p(u->device.Working());
                p.out_gain[m % 6] = m - 30;
                u->device.StoreMemory(m, p, "MEM" + std::to_string(m));
            }
            const std::string path = u->server.Start();
            list += std::string(i ? "," : "") + R"({"alias": "u)" + std::to_string(i) + R"(", "port": ")" + path + "\"}";
        }
        std::ofstream(dir + "/rack.json") << R"({"units": [)" << list << "]}";
        const double cpu_before = ChildCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            const std::string rack = dir + "/rack.json", out = dir + "/banks";
            execl(KVCTL_PROGRAM, "kvctl", "--rack", rack.c_str(), "--all", "--quiet", "backup", out.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = ChildCpuSeconds() - cpu_before;
        if (n == sizes.front()) one = wall;
        std::printf("%6d %10.1f %10.2f %12.2f%s\n", n, wall, cpu, wall / one,
                    WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "  (failed)");
        for (auto& u : units) u->server.Stop();
    }
    std::filesystem::remove_all(dir);
    return 0;
}
