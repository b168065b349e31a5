// The library's side: which device a COM port names, and the probe that
// asks a device for the unit without touching the open link.
#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <kvcom/kvcom.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "hex.h"
#include "pty_pair.h"

namespace {

using kvtest::Bytes;
using kvtest::Hex;

std::string DevicePath(int port) {
    char path[4096];
    PortDevicePath(port, path, sizeof path);
    return path;
}

class PortDevice : public ::testing::Test {
protected:
    void TearDown() override {
        for (int p = 1; p <= 4; ++p) {
            SetPortDevicePath(p, nullptr);
            ::unsetenv(("KVCOM_COM" + std::to_string(p)).c_str());
        }
    }
};

TEST_F(PortDevice, EnvironmentThenStoredDeviceThenBuiltInPort) {
    const char* stable = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
    EXPECT_EQ(DevicePath(2), "/dev/ttyS1");
    EXPECT_EQ(SetPortDevicePath(2, stable), 1);
    EXPECT_EQ(DevicePath(2), stable);
    EXPECT_EQ(DevicePath(3), "/dev/ttyS2");  // the others keep theirs
    ::setenv("KVCOM_COM2", "/dev/pts/9", 1);
    EXPECT_EQ(DevicePath(2), "/dev/pts/9");  // scripts and tests win
    ::unsetenv("KVCOM_COM2");
    EXPECT_EQ(DevicePath(2), stable);
    EXPECT_EQ(SetPortDevicePath(2, ""), 1);
    EXPECT_EQ(DevicePath(2), "/dev/ttyS1");
}

TEST_F(PortDevice, RefusedWithoutChange) {
    ASSERT_EQ(SetPortDevicePath(1, "/dev/ttyUSB0"), 1);
    const std::string too_long(4096, 'x');
    const std::pair<int, const char*> refused[] = {
        {0, "/dev/ttyUSB1"}, {256, "/dev/ttyUSB1"}, {-1, "/dev/ttyUSB1"}, {1, too_long.c_str()}};
    for (const auto& [port, path] : refused) EXPECT_EQ(SetPortDevicePath(port, path), 0) << port;
    EXPECT_EQ(DevicePath(1), "/dev/ttyUSB0");
    EXPECT_EQ(SetPortDevicePath(255, "/dev/ttyUSB1"), 1);
    SetPortDevicePath(255, nullptr);
}

TEST_F(PortDevice, OpenConnectionUsesTheStoredDevice) {
    kvtest::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_EQ(SetPortDevicePath(3, pty.slave_path().c_str()), 1);
    CreateTTYInfo();
    const int kept = rs232_port;
    rs232_port = 3;
    EXPECT_NE(OpenConnection(), 0);
    CloseConnection();
    DestroyTTYInfo();
    rs232_port = kept;
}

// Plays the unit on the master end: reads the request, then sends `reply`.
std::thread Unit(kvtest::PtyPair& pty, Bytes* request, Bytes reply) {
    return std::thread([&pty, request, reply] {
        *request = pty.Receive(8, 2000);
        pty.Send(reply);
    });
}

TEST(ProbeUnit, SendsTheIdentityRequestAndKnowsTheReply) {
    kvtest::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    Bytes request;
    // Noise and a reply from another device come first; the search goes on.
    std::thread unit = Unit(pty, &request, Hex("55 F0 00 20 18 05 06 02 03 01 06 F7 F0 00 20 18 00 06 02 03 2A 06 F7"));
    EXPECT_EQ(ProbeUnit(pty.slave_path().c_str(), 2000), 1);
    unit.join();
    EXPECT_EQ(request, Hex("0F FF DF E7 FF F9 FE 08"));  // F0 00 20 18 00 06 01 F7, inverted like every write
}

TEST(ProbeUnit, LeavesTheOpenLinkAndItsErrorAlone) {
    kvtest::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    pty.AttachAsCom(1);
    CreateTTYInfo();
    const int kept = rs232_port;
    rs232_port = 1;
    ASSERT_NE(OpenConnection(), 0);
    EXPECT_EQ(ProbeUnit(pty.slave_path().c_str(), 1000), -EBUSY);  // held by the link: refused at once
    EXPECT_EQ(npTTYInfo->connected.load(), 1);
    EXPECT_EQ(LinkLastError(), 0);
    EXPECT_TRUE(pty.Receive(1, 50).empty());  // nothing went out on the link's line
    CloseConnection();
    DestroyTTYInfo();
    rs232_port = kept;
}

TEST(ProbeUnit, PathsThatAreNoPort) {
    const std::pair<const char*, int> cases[] = {
        {"/dev/null", -ENOTTY}, {"/nonexistent/ttyKV", -ENOENT}, {"", -ENOENT}, {nullptr, -ENOENT}};
    for (const auto& [path, result] : cases) EXPECT_EQ(ProbeUnit(path, 100), result) << (path ? path : "null");
}

}  // namespace
