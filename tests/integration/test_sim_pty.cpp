// The simulator on a real pseudo-terminal: inverted bytes in, plain replies
// out, paced like the line or cut into random chunks.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "hex.h"
#include "pty_server.h"

namespace {

using kvtest::Bytes;
using kvtest::Hex;
using kvtest::ToHex;
using Clock = std::chrono::steady_clock;

class Line {
public:
    explicit Line(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
        termios tio{};
        if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Line() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    // Sends a message as the PC does: every byte inverted.
    void Send(const Bytes& message) {
        const Bytes line = kvtest::Inverted(message);
        ASSERT_EQ(::write(fd_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }

    // Reads until `n` bytes came or `timeout_ms` passed.
    Bytes Receive(size_t n, int timeout_ms) {
        Bytes out;
        const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (out.size() < n && Clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            uint8_t buf[4096];
            const ssize_t got = ::read(fd_, buf, sizeof buf);
            if (got <= 0) continue;
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }

private:
    int fd_;
};

TEST(SimPty, AnswersOnTheLineAtLineRate) {
    kvsim::Device device;
    const Bytes working = device.WorkingImage();
    kvsim::PtyServer server(device);  // line rate on by default
    const std::string path = server.Start();
    ASSERT_FALSE(path.empty());
    Line line(path);
    ASSERT_TRUE(line.ok());

    line.Send(Hex("F0 00 20 18 00 06 01 F7"));
    EXPECT_EQ(ToHex(line.Receive(11, 2000)), "F0 00 20 18 00 06 02 03 01 06 F7");

    // 490 bytes at 19200 baud take about 255 ms on the line.
    const auto start = Clock::now();
    line.Send(Hex("F0 00 20 18 00 02 00 F7"));
    const Bytes image = line.Receive(490, 5000);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(image, working);
    EXPECT_GE(took, 240);
    server.Stop();
}

TEST(SimPty, RandomChunksLogAndPromptStop) {
    const std::string log_path = ::testing::TempDir() + "kvsim_rt_" + std::to_string(getpid()) + ".log";
    kvsim::Device device;
    CDSDATA prog = device.Working();
    for (int m = 1; m <= 60; ++m) device.StoreMemory(m, prog, "M");
    const Bytes seventh = device.MemoryAt(7).image;
    kvsim::PtyOptions options;
    options.line_rate = false;
    options.random_chunks = true;
    options.seed = 7;
    options.log_path = log_path;
    kvsim::PtyServer server(device, options);
    Line line(server.Start());
    ASSERT_TRUE(line.ok());

    // However the pieces fall, the reply arrives whole and in order.
    line.Send(Hex("F0 00 20 18 00 02 07 F7"));
    EXPECT_EQ(line.Receive(490, 3000), seventh);

    server.WithDevice([](kvsim::Device& d) { d.faults().drop_replies = 1; });
    line.Send(Hex("F0 00 20 18 00 06 01 F7"));
    EXPECT_TRUE(line.Receive(1, 150).empty());

    line.Send(Hex("F0 00 20 18 7F 00 F7"));  // a long dump: stopping must not wait for it
    line.Receive(100, 1000);
    server.Stop();

    std::ifstream log(log_path);
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find(" RX F0 00 20 18 00 02 07 F7\n"), std::string::npos);
    EXPECT_NE(text.str().find("fault: reply dropped"), std::string::npos);
    EXPECT_NE(text.str().find(" RX F0 00 20 18 7F 00 F7\n"), std::string::npos);
    std::remove(log_path.c_str());
}

TEST(SimPty, LogInWordsSaysEachMessageBothWays) {
    const std::string log_path = ::testing::TempDir() + "kvsim_words_" + std::to_string(getpid()) + ".log";
    kvsim::Device device;
    kvsim::PtyOptions options;
    options.line_rate = false;
    options.log_path = log_path;
    options.log_in_words = true;
    kvsim::PtyServer server(device, options);
    Line line(server.Start());
    ASSERT_TRUE(line.ok());
    line.Send(Hex("F0 00 20 18 00 06 01 F7"));
    EXPECT_EQ(line.Receive(11, 1000).size(), 11u);
    line.Send(Hex("F0 00 20 18 00 2D 62 62 00 3F F7"));
    line.Send(Hex("F0 00 20 18 00 2D 63 62 00 3F F7"));
    line.Send(Hex("12 34"));
    // The last message is logged once the device has taken it.
    const auto end = Clock::now() + std::chrono::seconds(2);
    std::string text;
    while (text.find("ignored") == std::string::npos && Clock::now() < end) {
        std::ifstream log(log_path);
        std::stringstream s;
        s << log.rdbuf();
        text = s.str();
    }
    server.Stop();
    for (const char* line_end : {" RX identity request\n", " TX identity reply, unit 0\n", " RX Out 3 gain -2.4 dB\n",
                                 " RX Out 3&4 link repeat\n", ": unknown message 12 34\n"})
        EXPECT_NE(text.find(line_end), std::string::npos) << line_end << " in\n" << text;
    std::remove(log_path.c_str());
}

}  // namespace
