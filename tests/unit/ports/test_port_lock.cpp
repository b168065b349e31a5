// The lock of one port: two names of one device share it, two devices never
// do, and its name is always one file name.
#include <gtest/gtest.h>

#include <set>

#include "fake_system.h"
#include "kvports/port_lock.h"

namespace {

TEST(PortLock, KeyIsTheDeviceThePathLeadsTo) {
    kvtest::FakePortSystem sys;
    sys.AddDevice("/dev/ttyUSB0", 0x1880, "dialout");
    sys.AddDevice("/dev/serial/by-id/usb-FTDI_FT232R_A600-if00-port0", 0x1880, "dialout", "/dev/ttyUSB0");
    sys.AddDevice("/dev/ttyUSB1", 0x1881, "dialout");
    const struct {
        const char* path;
        const char* key;
    } cases[] = {
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/serial/by-id/usb-FTDI_FT232R_A600-if00-port0", "/dev/ttyUSB0"},
        {"/dev/ttyUSB1", "/dev/ttyUSB1"},
        // Not plugged in: the name as written still keeps a second window out.
        {"/dev/serial/by-id/usb-FTDI_FT232R_B700-if00-port0", "/dev/serial/by-id/usb-FTDI_FT232R_B700-if00-port0"},
    };
    for (const auto& c : cases) EXPECT_EQ(kvports::PortLockKey(sys, c.path), c.key) << c.path;
}

TEST(PortLock, NamesAreFileNamesAndNeverShared) {
    const struct {
        const char* key;
        const char* name;
    } cases[] = {
        {"/dev/ttyUSB0", "KALVORE@%2Fdev%2FttyUSB0"}, {"/dev/pts/12", "KALVORE@%2Fdev%2Fpts%2F12"},
        {"/dev/a_b", "KALVORE@%2Fdev%2Fa_b"},         {"/dev/a/b", "KALVORE@%2Fdev%2Fa%2Fb"},
        {"/dev/a%2Fb", "KALVORE@%2Fdev%2Fa%252Fb"},   {"/dev/tty USB", "KALVORE@%2Fdev%2Ftty%20USB"},
    };
    std::set<std::string> names;
    for (const auto& c : cases) {
        const std::string name = kvports::PortLockName("KALVORE", c.key);
        EXPECT_EQ(name, c.name) << c.key;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), std::size(cases));

    // Keys too long for a file name: cut, told apart by their digest.
    const std::string long_key = "/dev/serial/by-id/" + std::string(300, 'x');
    const std::string a = kvports::PortLockName("KALVORE", long_key + "1");
    const std::string b = kvports::PortLockName("KALVORE", long_key + "2");
    EXPECT_NE(a, b);
    EXPECT_EQ(a, kvports::PortLockName("KALVORE", long_key + "1"));
    for (const std::string& n : {a, b}) {
        EXPECT_LE(n.size() + 5, 255u) << n;  // with ".lock"
        EXPECT_EQ(n.find('/'), std::string::npos) << n;
        EXPECT_EQ(n.rfind("KALVORE@%2Fdev%2Fserial", 0), 0u) << n;
    }
}

}  // namespace
