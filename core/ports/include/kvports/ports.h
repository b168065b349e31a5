// The serial ports of the machine, what state each is in, and whether a
// path the user typed can be a serial port. No window system: shared by the
// program 758 and the command-line tool.
#pragma once

#include <kvcore/refusal.h>

#include <optional>
#include <string>
#include <vector>

#include "kvports/port_system.h"

namespace kvports {

struct PortInfo {
    std::string path;         // /dev/ttyUSB0
    std::string stable_path;  // its /dev/serial/by-id/ name, empty when it has none
    Transport transport = Transport::kNative;
    std::string description;
    int usb_vid = -1;
    int usb_pid = -1;
    std::string manufacturer;
    std::string product;
    std::string serial;
    std::string driver;

    // The name to remember the port by: the stable one when there is one,
    // so the choice survives replugging into another USB socket.
    const std::string& RememberedPath() const { return stable_path.empty() ? path : stable_path; }
};

// Every serial port that can be used: USB and Bluetooth ports, and built-in
// UARTs with hardware behind them. USB ports come first, then by name in
// natural order (ttyS2 before ttyS10).
std::vector<PortInfo> ListPorts(PortSystem& sys);

// The /dev/serial/by-id/ name of the device at path (which may itself be
// such a name), or "" when it has none.
std::string StablePathOf(PortSystem& sys, const std::string& path);

// The port in `ports` that path names (its device, its stable name or a
// link to either), or nullptr.
const PortInfo* FindPort(PortSystem& sys, const std::vector<PortInfo>& ports, const std::string& path);

// "FT232R USB UART, FTDI, serial A600, ftdi_sio": what the port is.
std::string Describe(const PortInfo& port);

enum class Condition {
    kFree,          // may be opened now
    kBusy,          // another program (or this one's link) holds it
    kNoPermission,  // this user may not open it
    kMissing,       // not there: a remembered adapter that is not plugged in
    kUnusable,      // there, but no serial port (error tells why)
};

struct PortState {
    Condition condition = Condition::kMissing;
    std::vector<Holder> holders;  // kBusy: who holds it, where the system shows it
    std::string group;            // kNoPermission: the group owning the device
    int error = 0;                // the errno behind the condition, 0 for kFree
};

PortState CheckPort(PortSystem& sys, const std::string& path);
// As above, but the device `held_by_link` names (this program's own open
// link; "" for none) is never looked at: opening it, even for a moment,
// could disturb the link. It is busy, held by this program.
PortState CheckPort(PortSystem& sys, const std::string& path, const std::string& held_by_link);

// Whether paths a and b name the same device (a device, its stable name or
// a link to either).
bool SameDevice(PortSystem& sys, const std::string& a, const std::string& b);

// A few words for a list: "free", "busy: minicom (PID 4242)", "no
// permission (group dialout)", "missing: not plugged in".
std::string StateText(const PortState& state);
// What the user can do about it, or "" when there is nothing to do: for
// kNoPermission the exact command, "sudo usermod -aG dialout $USER", and
// to log out and in.
std::string StateAdvice(const PortState& state);

// Why path cannot be stored as a serial device (for example "it is a
// folder, not a device" or "it is not a serial port"; place: the path), or
// nothing when it may be. A device that is busy or that this user may not
// open yet is acceptable: that is a state, not a wrong path.
std::optional<kvcore::Refusal> DevicePathProblem(PortSystem& sys, const std::string& path);

}  // namespace kvports
