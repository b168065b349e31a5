// Which serial port kvctl talks on: the --port argument, or the port the
// program 758 has stored (its settings file, read only).
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace kvctl {

struct PortChoice {
    int com = 0;       // 1..4 for "COMn", else 0
    std::string path;  // a device path, when not a COM number
};

// "COM1".."COM4" (any case), a device path ("/dev/ttyUSB0"), a name under
// /dev/serial/by-id/ or a device name under /dev ("ttyUSB0"). nullopt when
// the text names no port at all (an empty text, "COM7").
std::optional<PortChoice> ParsePortArgument(std::string_view text);

// The value RS232Port of section [Settings] of the program's settings file,
// 1..4; 1 when the file, the section or a valid value is missing.
int StoredComPort(std::istream& settings_file);
// The same from ~/.config/KALVORE/KALVORE.conf ($XDG_CONFIG_HOME honoured).
int StoredComPort();

// "COM3 (/dev/ttyS2)" or the path, for messages.
std::string PortName(const PortChoice& port);

}  // namespace kvctl
