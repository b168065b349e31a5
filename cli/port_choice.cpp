#include "port_choice.h"

#include <kvcom/kvcom.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

namespace kvctl {

namespace {

std::string Trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return "";
    const auto last = s.find_last_not_of(" \t\r");
    return std::string(s.substr(first, last - first + 1));
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::optional<PortChoice> ParsePortArgument(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text.size() == 4 && (text[0] == 'C' || text[0] == 'c') && (text[1] == 'O' || text[1] == 'o') &&
        (text[2] == 'M' || text[2] == 'm')) {
        if (text[3] >= '1' && text[3] <= '4') return PortChoice{text[3] - '0', ""};
        return std::nullopt;
    }
    if (text.find('/') != std::string_view::npos) return PortChoice{0, std::string(text)};
    // A bare name: the stable by-id name of an adapter first, then /dev.
    const std::string by_id = "/dev/serial/by-id/" + std::string(text);
    if (Exists(by_id)) return PortChoice{0, by_id};
    return PortChoice{0, "/dev/" + std::string(text)};
}

int StoredComPort(std::istream& in) {
    bool in_settings = false;
    int port = 1;
    for (std::string line; std::getline(in, line);) {
        const std::string t = Trimmed(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t.front() == '[') {
            in_settings = t == "[Settings]";
            continue;
        }
        const auto eq = t.find('=');
        if (!in_settings || eq == std::string::npos || Trimmed(t.substr(0, eq)) != "RS232Port") continue;
        const std::string value = Trimmed(t.substr(eq + 1));
        if (value.size() == 1 && value[0] >= '1' && value[0] <= '4') port = value[0] - '0';
    }
    return port;
}

int StoredComPort() {
    std::string dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        dir = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        dir = std::string(home) + "/.config";
    else
        return 1;
    std::ifstream file(dir + "/KALVORE/KALVORE.conf");
    return file ? StoredComPort(file) : 1;
}

std::string PortName(const PortChoice& port) {
    if (port.com == 0) return port.path;
    char path[4096] = {0};
    PortDevicePath(port.com, path, sizeof path);
    return "COM" + std::to_string(port.com) + " (" + path + ")";
}

}  // namespace kvctl
