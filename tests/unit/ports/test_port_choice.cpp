// Port names on the command line, the port choice 758 keeps in its settings
// file, who holds a busy port, and the sentence on a port that cannot be
// opened.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kvports/port_choice.h"
#include "kvports/port_problem.h"
#include "pty_pair.h"

namespace {

TEST(PortArgument, ComNumbersPathsAndNames) {
    struct Case {
        const char* text;
        int com;           // -1: names no port
        const char* path;  // when com == 0
    };
    const Case cases[] = {
        {"COM1", 1, ""},
        {"com4", 4, ""},
        {"Com2", 2, ""},
        {"COM0", -1, ""},
        {"COM5", -1, ""},
        {"", -1, ""},
        {"/dev/ttyUSB0", 0, "/dev/ttyUSB0"},
        {"./pty", 0, "./pty"},
        {"ttyUSB7", 0, "/dev/ttyUSB7"},  // no such by-id name here: a name under /dev
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto port = kvports::ParsePortArgument(c.text);
        if (c.com < 0) {
            EXPECT_FALSE(port);
            continue;
        }
        ASSERT_TRUE(port);
        EXPECT_EQ(port->com, c.com);
        EXPECT_EQ(port->path, c.path);
    }
}

TEST(StoredPorts, ReadsTheSettingsSectionAsTheProgramWritesIt) {
    const std::string file = ::testing::TempDir() + "kv_stored_ports_" + std::to_string(getpid()) + ".conf";
    struct Case {
        const char* text;
        int com;
        const char* device2;
    };
    const Case cases[] = {
        {"[Settings]\nRS232Port=3\nRS232PortString=COM3\n", 3, ""},
        {"[Settings]\r\nRS232Port = 2\r\nRS232Device2=/dev/serial/by-id/usb-FTDI_A600-if00-port0\r\n", 2,
         "/dev/serial/by-id/usb-FTDI_A600-if00-port0"},
        {"[General]\nRS232Port=4\n[Settings]\nOther=1\n", 1, ""},  // another section's value
        {"[Settings]\nRS232Port=7\n", 1, ""},                      // out of range
        {"[Settings]\nRS232Port=\n", 1, ""},
        {"", 1, ""},
        {"; comment\n[Settings]\nRS232Port=4\n", 4, ""},
        // The writer quotes what would otherwise read differently.
        {"[Settings]\nRS232Device2=\"/dev/my adapter, left\"\n", 1, "/dev/my adapter, left"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream(file, std::ios::trunc) << c.text;
        const kvports::StoredPorts stored = kvports::ReadStoredPorts(file);
        EXPECT_EQ(stored.com, c.com);
        EXPECT_EQ(stored.DeviceOf(2), c.device2);
        EXPECT_EQ(stored.DeviceOf(1), "");
    }
    std::remove(file.c_str());
    EXPECT_EQ(kvports::ReadStoredPorts(file).com, 1) << "no file: COM1";
}

TEST(StoredPorts, SettingsFileFollowsTheConfigFolder) {
    const char* old_xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old_xdg ? old_xdg : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/kvconf", 1);
    EXPECT_EQ(kvports::SettingsFilePath(), "/tmp/kvconf/KALVORE/KALVORE.conf");
    ::unsetenv("XDG_CONFIG_HOME");
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    if (!home.empty()) {
        EXPECT_EQ(kvports::SettingsFilePath(), home + "/.config/KALVORE/KALVORE.conf");
    }
    if (old_xdg) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST(PortHolders, LockTableLinesOfTheDeviceOnly) {
    const dev_t dev = makedev(0, 0x1a);
    std::istringstream locks(
        "1: FLOCK  ADVISORY  WRITE 4152 00:1a:4 0 EOF\n"
        "1: -> FLOCK  ADVISORY  WRITE 5000 00:1a:4 0 EOF\n"  // waiting, holds nothing
        "2: POSIX  ADVISORY  WRITE 4200 00:1a:4 0 EOF\n"     // not a flock
        "3: FLOCK  ADVISORY  WRITE 4300 00:1a:5 0 EOF\n"     // another inode
        "4: FLOCK  ADVISORY  WRITE 4400 00:1b:4 0 EOF\n"     // another file system
        "garbage\n");
    EXPECT_EQ(kvports::ParseFlockHolders(locks, dev, 4), std::vector<int>{4152});
}

TEST(PortHolders, NamesTheProgramHoldingTheLock) {
    kvtest::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const int fd = ::open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const kvports::OpenFailure busy = kvports::DiagnoseOpenFailure(kvports::HostSystem(), pty.slave_path(), EBUSY);
    const std::string text = kvports::OpenFailureText(busy, "busy");
    EXPECT_NE(text.find("in use by this program (PID " + std::to_string(::getpid()) + ")"), std::string::npos)
        << text;
    ::close(fd);
}

TEST(PortProblem, OneSentenceOnWhatIsWrongAndWhatToDo) {
    using Kind = kvports::NodeInfo::Kind;
    struct Case {
        const char* what;
        kvports::OpenFailure failure;
        const char* text;
    };
    const kvports::Holder minicom{4242, "minicom", false};
    const Case cases[] = {
        {"no failure", {"/dev/ttyS0", 0, "", {}, Kind::kCharDevice}, ""},
        {"missing", {"/dev/ttyUSB9", ENOENT, "", {}, Kind::kMissing},
         "There is no device /dev/ttyUSB9. Check the cable or adapter, or choose another port."},
        {"no permission, a group to join", {"/dev/ttyUSB0", EACCES, "dialout", {}, Kind::kCharDevice},
         "You have no permission to use /dev/ttyUSB0, which belongs to the group \"dialout\". Run: sudo usermod "
         "-aG dialout $USER, then log out and in again."},
        {"no permission, owned by root", {"/dev/ttyS0", EPERM, "root", {}, Kind::kCharDevice},
         "You have no permission to use /dev/ttyS0."},
        {"busy, holder known", {"/dev/ttyUSB0", EBUSY, "", {minicom}, Kind::kCharDevice},
         "/dev/ttyUSB0 is in use by minicom (PID 4242)."},
        {"busy, nobody seen: the library's words", {"/dev/ttyS0", EBUSY, "", {}, Kind::kCharDevice},
         "/dev/ttyS0: the library's words"},
        {"a folder", {"/tmp", ENOTTY, "", {}, Kind::kDirectory}, "/tmp is a folder, not a serial port."},
        {"no terminal", {"/dev/null", ENOTTY, "", {}, Kind::kCharDevice}, "/dev/null is not a serial port."},
        {"nothing behind the node",
         {"/dev/ttyUSB0", ENXIO, "", {}, Kind::kCharDevice},
         "There is no device behind /dev/ttyUSB0. Check the cable or adapter, or choose another port."},
        {"the terminal of a program without one",
         {"/dev/tty", ENXIO, "", {}, Kind::kCharDevice},
         "/dev/tty stands for the terminal of the program that opens it, not a serial port."},
        {"anything else", {"/dev/ttyS0", EIO, "", {}, Kind::kCharDevice}, "/dev/ttyS0: the library's words"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kvports::OpenFailureText(c.failure, "the library's words"), c.text) << c.what;
}

}  // namespace
