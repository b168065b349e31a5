// kvsim: plays the processor on a pseudo-terminal. Prints the terminal's
// path on its first line, then serves until SIGINT or SIGTERM.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "pty_server.h"
#include "state_file.h"

namespace {

void Usage(std::FILE* to) {
    std::fputs(
        "usage: kvsim [options]\n"
        "Simulates the processor on a pseudo-terminal; prints its path on the first line.\n"
        "  --state FILE         load the memories from FILE (a .ay bank file) and keep them there\n"
        "  --line-rate          pace replies at 19200 baud (the default)\n"
        "  --no-line-rate       send replies as fast as the terminal takes them\n"
        "  --log FILE           write every message both ways in words, with a timestamp in\n"
        "                       microseconds (RX from the PC, TX to the PC)\n"
        "fault switches, for tests:\n"
        "  --drop-replies N     do not send the next N replies\n"
        "  --wrong-device       answer identity requests with a wrong device byte\n"
        "  --cut-dump           stop every dump before the working program\n"
        "  --random-chunks[=S]  write replies in chunks of random size (seed S)\n"
        "  --corrupt-replies N  change one byte in each of the next N replies\n",
        to);
}

bool ParseCount(const char* text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0 || v > 1'000'000) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    kvsim::Device device;
    kvsim::PtyOptions options;
    std::string state_path;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kvsim: %s needs %s\n", arg.c_str(), what);
                std::exit(2);
            }
            return argv[++i];
        };
        auto count = [&](int& out) {
            if (!ParseCount(value("a count"), out)) {
                std::fprintf(stderr, "kvsim: %s needs a count\n", arg.c_str());
                std::exit(2);
            }
        };
        if (arg == "--state")
            state_path = value("a file name");
        else if (arg == "--line-rate")
            options.line_rate = true;
        else if (arg == "--no-line-rate")
            options.line_rate = false;
        else if (arg == "--log") {
            options.log_path = value("a file name");
            options.log_in_words = true;
        } else if (arg == "--drop-replies")
            count(device.faults().drop_replies);
        else if (arg == "--wrong-device")
            device.faults().wrong_device_byte = true;
        else if (arg == "--cut-dump")
            device.faults().cut_dump = true;
        else if (arg == "--corrupt-replies")
            count(device.faults().corrupt_replies);
        else if (arg == "--random-chunks")
            options.random_chunks = true;
        else if (arg.rfind("--random-chunks=", 0) == 0) {
            // A seed that is no number would quietly be seed 0.
            int seed = 0;
            if (!ParseCount(arg.c_str() + 16, seed)) {
                std::fprintf(stderr, "kvsim: %s: the seed must be a number from 0 to 1000000\n", arg.c_str());
                return 2;
            }
            options.random_chunks = true;
            options.seed = static_cast<unsigned>(seed);
        } else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "kvsim: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
    }

    // A state file that does not exist yet is made on the first store.
    std::error_code exists_error;
    if (!state_path.empty() && std::filesystem::exists(state_path, exists_error)) {
        // A state file that is refused is left as it is: the simulator would
        // otherwise write its empty memories over it at the first store.
        if (auto refused = kvsim::LoadStateFile(state_path, device)) {
            std::fprintf(stderr, "kvsim: the state file is refused: %s\n", refused->Message().c_str());
            return 1;
        }
    }

    // The serving threads must not take the stop signals: main waits for them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    kvsim::PtyServer server(device, options);
    if (!state_path.empty()) {
        server.on_state_change = [&] {
            server.WithDevice([&](kvsim::Device& d) { kvsim::SaveStateFile(state_path, d); });
        };
    }
    const std::string path = server.Start();
    if (path.empty()) {
        std::fprintf(stderr, "kvsim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&stop, &sig);
    server.Stop();
    if (!state_path.empty()) {
        if (auto refused = kvsim::SaveStateFile(state_path, device)) {
            std::fprintf(stderr, "kvsim: cannot write %s\n", refused->Message().c_str());
            return 1;
        }
    }
    return 0;
}
