// Port names on the command line, the program's stored port, and who holds
// a busy port.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

#include "port_choice.h"
#include "port_problem.h"
#include "pty_pair.h"

namespace {

using kvctl::ParsePortArgument;

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
        const auto port = ParsePortArgument(c.text);
        if (c.com < 0) {
            EXPECT_FALSE(port);
            continue;
        }
        ASSERT_TRUE(port);
        EXPECT_EQ(port->com, c.com);
        EXPECT_EQ(port->path, c.path);
    }
}

TEST(StoredPort, ReadsTheSettingsSectionOnly) {
    struct Case {
        const char* file;
        int port;
    };
    const Case cases[] = {
        {"[Settings]\nRS232Port=3\nRS232PortString=COM3\n", 3},
        {"[Settings]\r\nRS232Port = 2\r\n", 2},
        {"[General]\nRS232Port=4\n[Settings]\nOther=1\n", 1},  // another section's value
        {"[Settings]\nRS232Port=7\n", 1},                      // out of range
        {"[Settings]\nRS232Port=\n", 1},
        {"", 1},
        {"; comment\n[Settings]\n# RS232Port=2\nRS232Port=4\n", 4},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.file);
        EXPECT_EQ(kvctl::StoredComPort(in), c.port) << c.file;
    }
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
    EXPECT_EQ(kvctl::LockHolders(locks, dev, 4), std::vector<pid_t>{4152});
}

TEST(PortHolders, NamesTheProgramHoldingTheLock) {
    kvtest::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const int fd = ::open(pty.slave_path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const std::string text = kvctl::PortProblemText(pty.slave_path(), EBUSY);
    EXPECT_NE(text.find("in use by kvctl_tests (PID " + std::to_string(::getpid()) + ")"), std::string::npos) << text;
    ::close(fd);
}

TEST(PortProblem, SaysWhatToDo) {
    EXPECT_NE(kvctl::PortProblemText("/dev/ttyUSB9", ENOENT).find("no device /dev/ttyUSB9"), std::string::npos);
    EXPECT_NE(kvctl::PortProblemText("/dev/null", ENOTTY).find("/dev/null is not a serial port"), std::string::npos);
    EXPECT_NE(kvctl::PortProblemText("/dev/ttyS0", EACCES).find("no permission to use /dev/ttyS0"), std::string::npos);
}

}  // namespace
