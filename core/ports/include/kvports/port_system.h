// The machine as port discovery sees it: the serial ports its enumeration
// reports, the device nodes, the stable names under /dev/serial/by-id and
// the processes holding a device. Everything the port rules ask the system
// goes through this interface, so the rules run against a fake in tests.
#pragma once

#include <string>
#include <vector>

namespace kvports {

enum class Transport { kNative, kUsb, kBluetooth };

// One port as the enumeration reports it.
struct RawPort {
    std::string path;  // /dev/ttyUSB0
    Transport transport = Transport::kNative;
    std::string description;  // the enumeration's one-line description
    int usb_vid = -1;         // -1 when not known
    int usb_pid = -1;
    std::string manufacturer;
    std::string product;
    std::string serial;
    std::string driver;  // kernel driver: ftdi_sio, cdc_acm, serial8250...
};

// A symbolic link in /dev/serial/by-id and the device it leads to.
struct StableLink {
    std::string link;    // /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A600-if00-port0
    std::string target;  // /dev/ttyUSB0, empty when the link leads nowhere
};

// What a path in the file system is.
struct NodeInfo {
    enum class Kind { kMissing, kCharDevice, kDirectory, kOther };
    Kind kind = Kind::kMissing;
    bool is_link = false;         // the path itself is a symbolic link
    std::string link_target;      // where that link points, as written in it
    std::string resolved;         // the path with every link followed, when it exists
    unsigned long long rdev = 0;  // device number of a character device
    std::string group;            // name of the group owning the node
};

// A process with a device open.
struct Holder {
    int pid = 0;
    std::string name;   // its command name
    bool self = false;  // this very process
};

class PortSystem {
public:
    virtual ~PortSystem() = default;
    virtual std::vector<RawPort> EnumeratePorts() = 0;
    // Whether a built-in UART has hardware behind it (the kernel creates
    // nodes for UARTs that are not there).
    virtual bool UartPresent(const std::string& path) = 0;
    virtual std::vector<StableLink> StableLinks() = 0;
    virtual NodeInfo Inspect(const std::string& path) = 0;
    // 0 when this user may read and write path, else the errno (EACCES...).
    virtual int Access(const std::string& path) = 0;
    // The processes that have character device rdev open, as far as /proc
    // lets this user see.
    virtual std::vector<Holder> Holders(unsigned long long rdev) = 0;
    // The processes holding the flock of path (the system's lock table).
    virtual std::vector<int> FlockHolders(const std::string& path) {
        (void)path;
        return {};
    }
    // Opens path for a moment, without becoming its controlling terminal or
    // waiting for a carrier: 0 when it is a terminal nobody locks, else
    // ENOTTY (no terminal), EBUSY (locked or exclusive), EACCES, EIO...
    virtual int TryOpen(const std::string& path) = 0;
};

// The machine this program runs on.
PortSystem& HostSystem();

}  // namespace kvports
