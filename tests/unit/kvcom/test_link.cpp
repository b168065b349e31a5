// The serial link over a real pseudo-terminal: the test holds the device end.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>
#include <stdlib.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "hex.h"
#include "link_error.h"
#include "pty_pair.h"
#include "reception.h"
#include "serial_port.h"
#include "wire_recorder.h"

namespace {

using kvtest::Bytes;
using kvtest::Hex;
using kvtest::Inverted;
using Clock = std::chrono::steady_clock;

// Waits (really) until cond holds or two seconds have passed.
template <typename Cond>
bool Eventually(Cond cond) {
    const auto end = Clock::now() + std::chrono::seconds(2);
    while (!cond()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class Link : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        pty.AttachAsCom(1);
        rs232_port = 1;
        kvcom::rev_mode.store(kvcom::REV_IDLE);
        kvcom::rev_busy.store(0);
        ASSERT_EQ(CreateTTYInfo(), 1);
    }
    void TearDown() override {
        DestroyTTYInfo();
        kvcom::rev_mode.store(kvcom::REV_IDLE);
        kvcom::rev_busy.store(0);
    }
    kvtest::PtyPair pty;
    CDSDATA model;
};

TEST_F(Link, EveryByteOnTheLineIsTheInverse) {
    ASSERT_NE(OpenConnection(), 0);
    const Bytes msg = Hex("F0 00 20 18 7F 00 F7");
    model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0);
    EXPECT_EQ(pty.Receive(7, 2000), Hex("0F FF DF E7 80 FF 08"));

    // The raw block writer inverts too, and never writes more than 200 bytes.
    const Bytes block(300, 0x10);
    EXPECT_EQ(WriteCommBlock(block.data(), static_cast<unsigned>(block.size())), 1);
    EXPECT_EQ(pty.Receive(300, 300), Bytes(200, 0xEF));
}

TEST_F(Link, LongMessageReachesTheLineWhole) {
    ASSERT_NE(OpenConnection(), 0);
    Bytes msg(KV_IMAGE_MAX);
    for (std::size_t i = 0; i < msg.size(); ++i) msg[i] = static_cast<std::uint8_t>(i * 7);
    // More than the pty holds at once: the writer must wait for room, not drop.
    Bytes got;
    std::thread device([&] { got = pty.Receive(msg.size(), 5000); });
    model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0);
    device.join();
    EXPECT_EQ(got, Inverted(msg));
}

TEST_F(Link, WriterGivesWayToAReplyForAtMost100ms) {
    kvtest::WireRecorder rec;
    const Bytes msg = Hex("F0 00 20 18 00 06 01 F7");
    kvcom::rev_busy.store(1);
    model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0);
    EXPECT_GE(rec.nap_us, 100'000);
    EXPECT_LE(rec.nap_us, 100'250);
    ASSERT_EQ(rec.Messages().size(), 1u);
    EXPECT_EQ(rec.Messages()[0], msg);

    rec.Clear();
    kvcom::rev_busy.store(0);
    model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0);
    EXPECT_EQ(rec.nap_us, 0);
    EXPECT_EQ(rec.Messages().size(), 1u);
}

TEST_F(Link, OpensClosesAndReopens) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_NE(OpenConnection(), 0);
        EXPECT_EQ(npTTYInfo->connected.load(), 1);
        EXPECT_EQ(npTTYInfo->port_number, 1);
        EXPECT_EQ(npTTYInfo->baud_rate, 19200u);
        EXPECT_GE(npTTYInfo->port_handle, 0);
        // The line settings as the port holds them: 19200 baud, 8N1.
        termios line{};
        ASSERT_EQ(tcgetattr(npTTYInfo->port_handle, &line), 0);
        EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));
        EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B19200));
        EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), 0u);

        // The reader is alive: an identity reply split over two writes is
        // recognised.
        kvcom::rev_busy.store(1);
        kvcom::rev_mode.store(kvcom::REV_EDIT_ACK);
        ASSERT_TRUE(pty.Send(Hex("F0 00 20 18 00 06")));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(pty.Send(Hex("02 03 00 06 F7")));
        EXPECT_TRUE(Eventually([] { return kvcom::rev_busy.load(std::memory_order_acquire) == 0; }));
        EXPECT_EQ(kvcom::rev_mode.load(), kvcom::REV_EDIT_IMAGE);
        kvcom::rev_mode.store(kvcom::REV_IDLE);

        EXPECT_EQ(CloseConnection(), 1);
        EXPECT_EQ(npTTYInfo->connected.load(), 0);
        EXPECT_EQ(npTTYInfo->reader_thread_id.load(), 0u);
        EXPECT_EQ(npTTYInfo->port_handle, -1);
    }
}

TEST_F(Link, ClosingALinkThatNeverOpenedReturnsAtOnce) {
    ::setenv("KVCOM_COM9", "/nonexistent/kvcom-port", 1);
    rs232_port = 9;
    EXPECT_EQ(OpenConnection(), 0);
    const auto start = Clock::now();
    EXPECT_EQ(CloseConnection(), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(npTTYInfo->connected.load(), 0);
    ::unsetenv("KVCOM_COM9");

    // A device that is not a terminal is refused as well.
    ::setenv("KVCOM_COM9", "/dev/null", 1);
    EXPECT_EQ(OpenConnection(), 0);
    ::unsetenv("KVCOM_COM9");

    DestroyTTYInfo();
    EXPECT_EQ(npTTYInfo, nullptr);
    EXPECT_EQ(CloseConnection(), 1);  // no record at all
    EXPECT_EQ(OpenConnection(), 0);
}

TEST_F(Link, SecondOpenOfTheSamePortIsRefused) {
    ASSERT_NE(OpenConnection(), 0);
    EXPECT_EQ(kvcom::SerialPort::Open(pty.slave_path().c_str()), nullptr);
    CloseConnection();
    EXPECT_NE(kvcom::SerialPort::Open(pty.slave_path().c_str()), nullptr);
}

TEST_F(Link, DeviceVanishingEndsTheReaderAndLeavesAReopenableLink) {
    ASSERT_NE(OpenConnection(), 0);
    pty.CloseMaster();
    // The reader notices the hang-up and stops instead of spinning on it.
    EXPECT_TRUE(Eventually([] { return npTTYInfo->reader_thread_id.load() == 0; }));
    EXPECT_EQ(npTTYInfo->connected.load(), 0);
    unsigned char buf[16];
    EXPECT_EQ(ReadCommBlock(buf, sizeof buf), 0);
    // Writes to the vanished device fail at once, and say so.
    const Bytes msg = Hex("F0 00 20 18 00 06 01 F7");
    EXPECT_EQ(model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0), 0);

    const auto start = Clock::now();
    EXPECT_EQ(CloseConnection(), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));

    kvtest::PtyPair replacement;
    ASSERT_TRUE(replacement.ok());
    replacement.AttachAsCom(1);
    ASSERT_NE(OpenConnection(), 0);
    model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0);
    EXPECT_EQ(replacement.Receive(msg.size(), 2000), Inverted(msg));
    CloseConnection();
}

// The reason of a failed open stays readable until the next open.
TEST_F(Link, FailedOpenKeepsItsReason) {
    struct Case {
        const char* path;  // nullptr: the test's own pty
        bool held;         // another opener holds the port
        int error;
    };
    const Case cases[] = {
        {"/nonexistent/kvcom-port", false, ENOENT},
        {"/dev/null", false, ENOTTY},
        {nullptr, true, EBUSY},
        {nullptr, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        ::setenv("KVCOM_COM1", c.path != nullptr ? c.path : pty.slave_path().c_str(), 1);
        std::unique_ptr<kvcom::SerialPort> other;
        if (c.held) other = kvcom::SerialPort::Open(pty.slave_path().c_str());
        EXPECT_EQ(OpenConnection() != 0, c.error == 0);
        EXPECT_EQ(LinkLastError(), c.error);
        EXPECT_EQ(CloseConnection(), 1);
        EXPECT_EQ(LinkLastError(), c.error);  // closing tells nothing new
    }

    DestroyTTYInfo();
    EXPECT_EQ(OpenConnection(), 0);
    EXPECT_EQ(LinkLastError(), EBADF);
}

TEST_F(Link, HangUpOfTheDeviceIsTheLinksLastError) {
    ASSERT_NE(OpenConnection(), 0);
    EXPECT_EQ(LinkLastError(), 0);
    pty.CloseMaster();
    EXPECT_TRUE(Eventually([] { return npTTYInfo->connected.load() == 0; }));
    EXPECT_EQ(LinkLastError(), EIO);

    // A write to the vanished device tells the same.
    kvcom::SetLinkError(0);
    const Bytes msg = Hex("C0 04");
    model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0);
    EXPECT_EQ(LinkLastError(), EIO);
    CloseConnection();
}

// A write that fails closes the link just as a hang-up does: connected
// drops, the reader ends, the reason is kept; the port opens again.
TEST_F(Link, FailedWriteClosesTheLinkLikeAHangUp) {
    ASSERT_NE(OpenConnection(), 0);
    const Bytes msg = Hex("C0 04");
    {
        kvtest::WireRecorder line;  // stands in front of the port, and fails
        line.unplug_at_write = 1;
        EXPECT_EQ(model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0), 0);
    }
    EXPECT_EQ(npTTYInfo->connected.load(), 0);
    EXPECT_TRUE(Eventually([] { return npTTYInfo->reader_thread_id.load() == 0; }));
    EXPECT_EQ(LinkLastError(), EIO);
    // Nothing more goes out on the closed link, and that is said too.
    EXPECT_EQ(model.SendParam(PC_OUT_GAIN), 0);
    EXPECT_EQ(pty.Receive(1, 50), Bytes{});

    ASSERT_NE(OpenConnection(), 0);
    EXPECT_EQ(model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0), 1);
    EXPECT_EQ(pty.Receive(2, 2000), Hex("3F FB"));
}

TEST(LinkErrorMessage, FixedTextForEveryCode) {
    EXPECT_STREQ(LinkErrorMessage(0), "");
    const int codes[] = {ENOENT, EACCES, EBUSY, ENOTTY, EIO, EINVAL, EBADF, ETIMEDOUT};
    for (int code : codes) {
        SCOPED_TRACE(code);
        const char* text = LinkErrorMessage(code);
        EXPECT_GT(std::strlen(text), 0u);
        EXPECT_EQ(LinkErrorMessage(code), text);  // the same static text each time
        for (int other : codes) {
            if (other != code) {
                EXPECT_STRNE(LinkErrorMessage(other), text);
            }
        }
    }
    EXPECT_GT(std::strlen(LinkErrorMessage(-12345)), 0u);
}

TEST_F(Link, ReopeningAnOpenLinkReplacesIt) {
    ASSERT_NE(OpenConnection(), 0);
    ASSERT_NE(OpenConnection(), 0);  // closes the first opening before the second
    const Bytes msg = Hex("C0 04");
    model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0);
    EXPECT_EQ(pty.Receive(2, 2000), Hex("3F FB"));
}

TEST(PortDevicePath, EnvironmentFirstThenSerialDevice) {
    char path[64];
    ::setenv("KVCOM_COM3", "/dev/ttyUSB0", 1);
    EXPECT_EQ(PortDevicePath(3, path, sizeof path), 12);
    EXPECT_STREQ(path, "/dev/ttyUSB0");
    ::unsetenv("KVCOM_COM3");
    PortDevicePath(3, path, sizeof path);
    EXPECT_STREQ(path, "/dev/ttyS2");
    // A short buffer gets a cut, terminated path and the full length back.
    char small[6];
    EXPECT_EQ(PortDevicePath(1, small, sizeof small), 10);
    EXPECT_STREQ(small, "/dev/");
    EXPECT_EQ(PortDevicePath(1, nullptr, 0), 10);
}

const char* TestStrings(int id) {
    static const std::string kLong(700, 'L');
    switch (id) {
    case 1: return "KALVORE";
    case 2: return kLong.c_str();
    default: return nullptr;
    }
}

TEST(StringTable, EntriesComeBackInOneStaticBuffer) {
    TalsenRegisterRCStr(nullptr);
    EXPECT_STREQ(TalsenLoadRCStr(1), "");
    TalsenRegisterRCStr(TestStrings);
    char* first = TalsenLoadRCStr(1);
    EXPECT_STREQ(first, "KALVORE");
    char* second = TalsenLoadRCStr(2);
    EXPECT_EQ(first, second);  // each call overwrites the same buffer
    EXPECT_EQ(std::strlen(second), 511u);
    EXPECT_STREQ(TalsenLoadRCStr(99), "");
    TalsenRegisterRCStr(nullptr);
}

}  // namespace
