// Which serial port the program talks on: a port named by the user
// ("COM3", "/dev/ttyUSB0", a /dev/serial/by-id name), and the choice 758
// keeps in its settings file, read by 758 and kvctl through ReadStoredPorts
// so that both open the same device.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kvports {

inline constexpr int kComPorts = 4;

struct PortChoice {
    int com = 0;       // 1..4 for "COMn", else 0
    std::string path;  // a device path, when not a COM number
};

// "COM1".."COM4" (any case), a device path ("/dev/ttyUSB0"), a name under
// /dev/serial/by-id/ or a device name under /dev ("ttyUSB0"). nullopt when
// the text names no port at all (an empty text, "COM7").
std::optional<PortChoice> ParsePortArgument(std::string_view text);

// The program's settings file: $XDG_CONFIG_HOME (or ~/.config), then
// KALVORE/KALVORE.conf; empty when neither is known.
std::string SettingsFilePath();

// What the settings file holds in its [Settings] section: RS232Port (the
// COM port, 1..4; 1 when missing or out of range) and RS232Device1 to
// RS232Device4 (the device chosen for each, empty for none). Read with the
// same INI reader 758 writes it with, so quoting and escapes agree.
struct StoredPorts {
    int com = 1;
    int stored_com = 1;  // RS232Port as written, out of range too (1 when missing)
    std::array<std::string, kComPorts> devices;  // [0] is COM1's

    const std::string& DeviceOf(int com_port) const { return devices[static_cast<std::size_t>(com_port - 1)]; }
};
StoredPorts ReadStoredPorts(const std::string& settings_file);

}  // namespace kvports
