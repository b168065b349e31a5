#include "kvports/port_choice.h"

#include <sys/stat.h>

#include <QFile>
#include <QSettings>
#include <cstdlib>

namespace kvports {

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::optional<PortChoice> ParsePortArgument(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text.size() == 4 && (text[0] == 'C' || text[0] == 'c') && (text[1] == 'O' || text[1] == 'o') &&
        (text[2] == 'M' || text[2] == 'm')) {
        if (text[3] >= '1' && text[3] <= '0' + kComPorts) return PortChoice{text[3] - '0', ""};
        return std::nullopt;
    }
    if (text.find('/') != std::string_view::npos) return PortChoice{0, std::string(text)};
    // A bare name: the stable by-id name of an adapter first, then /dev.
    const std::string by_id = "/dev/serial/by-id/" + std::string(text);
    if (Exists(by_id)) return PortChoice{0, by_id};
    return PortChoice{0, "/dev/" + std::string(text)};
}

std::string SettingsFilePath() {
    std::string dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        dir = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        dir = std::string(home) + "/.config";
    else
        return {};
    return dir + "/KALVORE/KALVORE.conf";
}

StoredPorts ReadStoredPorts(const std::string& settings_file) {
    StoredPorts stored;
    if (settings_file.empty()) return stored;
    // 758 keeps its settings with QSettings in the INI format; reading them
    // with the same reader takes its quoting and escapes as it wrote them.
    const QSettings settings(QFile::decodeName(settings_file.c_str()), QSettings::IniFormat);
    bool ok = false;
    const int com = settings.value(QStringLiteral("Settings/RS232Port")).toInt(&ok);
    stored.stored_com = ok ? com : 1;
    if (ok && com >= 1 && com <= kComPorts) stored.com = com;
    for (int n = 1; n <= kComPorts; ++n) {
        const QString device = settings.value(QStringLiteral("Settings/RS232Device%1").arg(n)).toString();
        stored.devices[static_cast<std::size_t>(n - 1)] = QFile::encodeName(device).toStdString();
    }
    return stored;
}

}  // namespace kvports
