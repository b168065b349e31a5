// Which ports are offered, in what order, under which stable names, and how
// a remembered path is matched to a port.
#include <gtest/gtest.h>

#include "fake_system.h"
#include "kvports/ports.h"

namespace {

using kvports::RawPort;
using kvports::Transport;

RawPort Port(const std::string& path, Transport t, const std::string& product = {}) {
    RawPort r;
    r.path = path;
    r.transport = t;
    r.product = product;
    return r;
}

class ListPorts : public ::testing::Test {
protected:
    void SetUp() override {
        sys.ports = {Port("/dev/ttyS10", Transport::kNative), Port("/dev/ttyUSB1", Transport::kUsb),
                     Port("/dev/ttyS1", Transport::kNative),  Port("/dev/rfcomm0", Transport::kBluetooth),
                     Port("/dev/ttyS0", Transport::kNative),  Port("/dev/ttyUSB0", Transport::kUsb, "FT232R USB UART"),
                     Port("/dev/ttyACM0", Transport::kUsb)};
        sys.uarts_present = {"/dev/ttyS0", "/dev/ttyS10"};  // ttyS1 has no hardware
        sys.links = {{"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "/dev/ttyUSB0"},
                     {"/dev/serial/by-id/usb-Acme_Gone-if00", ""},  // a link whose device went away
                     {"/dev/serial/by-id/usb-Arduino_Uno_123-if00", "/dev/ttyACM0"},
                     {"/dev/serial/by-id/usb-Arduino_Uno_123-alias", "/dev/ttyACM0"}};
        sys.AddDevice("/dev/ttyUSB0", 0xBC00);
        sys.AddDevice("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", 0xBC00, "dialout", "/dev/ttyUSB0");
        sys.AddDevice("/dev/kalvore", 0xBC00, "dialout", "/dev/ttyUSB0");  // a udev rule's own name
    }
    kvtest::FakePortSystem sys;
};

TEST_F(ListPorts, UsbFirstThenNaturalOrderWithoutUartsThatAreNotThere) {
    std::vector<std::string> paths;
    for (const kvports::PortInfo& p : kvports::ListPorts(sys)) paths.push_back(p.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/rfcomm0",
                                               "/dev/ttyS0", "/dev/ttyS10"}));
}

TEST_F(ListPorts, StableNamesAndTheNameToRemember) {
    const std::vector<kvports::PortInfo> ports = kvports::ListPorts(sys);
    struct Case {
        std::size_t index;
        const char* stable;
        const char* remembered;
    };
    const Case cases[] = {
        {0, "/dev/serial/by-id/usb-Arduino_Uno_123-alias",
         "/dev/serial/by-id/usb-Arduino_Uno_123-alias"},  // first by name
        {1, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
        {2, "", "/dev/ttyUSB1"},  // no stable name: the device itself
        {4, "", "/dev/ttyS0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ports[c.index].path);
        EXPECT_EQ(ports[c.index].stable_path, c.stable);
        EXPECT_EQ(ports[c.index].RememberedPath(), c.remembered);
    }
}

TEST_F(ListPorts, StablePathOfAPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
        {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
        {"/dev/kalvore", "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
        {"/dev/serial/by-id/usb-Acme_Gone-if00", ""},  // leads nowhere
        {"/dev/ttyUSB1", ""},
        {"/dev/pts/3", ""},
    };
    for (const auto& [path, stable] : cases) EXPECT_EQ(kvports::StablePathOf(sys, path), stable) << path;
}

TEST_F(ListPorts, FindPortByDeviceStableNameOrAnotherLink) {
    const std::vector<kvports::PortInfo> ports = kvports::ListPorts(sys);
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "/dev/ttyUSB0"},
        {"/dev/kalvore", "/dev/ttyUSB0"},
        {"/dev/serial/by-id/usb-Acme_Gone-if00", nullptr},
        {"/dev/ttyS1", nullptr},  // not offered
        {"", nullptr},
    };
    for (const auto& [path, found] : cases) {
        const kvports::PortInfo* p = kvports::FindPort(sys, ports, path);
        if (found == nullptr) {
            EXPECT_EQ(p, nullptr) << path;
        } else {
            ASSERT_NE(p, nullptr) << path;
            EXPECT_EQ(p->path, found);
        }
    }
}

TEST(DescribePort, ProductMakerSerialDriverWithoutRepeats) {
    kvports::PortInfo usb;
    usb.description = "FT232R USB UART - A600";
    usb.product = "FT232R USB UART";
    usb.manufacturer = "FTDI";
    usb.serial = "A600";
    usb.driver = "ftdi_sio";
    EXPECT_EQ(kvports::Describe(usb), "FT232R USB UART, FTDI, serial A600, ftdi_sio");
    kvports::PortInfo uart;
    uart.description = "ttyS0";
    uart.driver = "serial8250";
    EXPECT_EQ(kvports::Describe(uart), "ttyS0, serial8250");
    kvports::PortInfo twice;
    twice.product = "CP2102";
    twice.manufacturer = "CP2102";
    EXPECT_EQ(kvports::Describe(twice), "CP2102");
}

}  // namespace
