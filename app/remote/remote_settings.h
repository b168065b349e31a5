// The remote-control server's settings in 758's settings file, section
// [Remote]: on or off, the address, the ports, the two tokens and whether
// operations that reset the unit may be asked over the network. The tokens
// are passwords: they live only in the user's own settings file, and that
// file is the user's alone (mode 0600) before a token is written into it.
#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <optional>

#include "kvremote/server.h"

namespace remote {

// "all" in the settings: every address of the machine.
inline constexpr const char* kAllAddresses = "all";

struct RemoteSettings {
    bool enabled = false;
    QString address = QStringLiteral("127.0.0.1");  // an IP address, or "all"
    quint16 http_port = 8758;
    quint16 osc_port = 9758;  // 0: no OSC
    QString token;            // may change the unit; empty: none
    QString read_only_token;  // may only watch; empty: none
    bool allow_reset = false;

    bool operator==(const RemoteSettings&) const = default;
};

RemoteSettings ReadRemoteSettings();
// Writes them. A settings file that holds a token is made the user's alone
// first; false, with the reason, when that fails (nothing is written then).
bool WriteRemoteSettings(const RemoteSettings& settings, QString* why);

// Whether the settings file may be read by the user alone; makes it so
// (creating it when it is not there). False with the reason otherwise.
bool SettingsFileIsPrivate();
bool MakeSettingsFilePrivate(QString* why);

// The address to listen on: "all" is every address, IPv4 and IPv6.
QHostAddress ListenAddress(const QString& address);
bool IsLoopbackSetting(const QString& address);

// Why the server may not start with these settings (a token is needed off
// the loopback, the address is not this machine's, a port is the other's),
// in the user's words; nullopt when it may.
std::optional<QString> StartProblem(const RemoteSettings& settings);

// The server's options from the settings, with the names the machine is
// known by on the network accepted in the Host header.
kvremote::ServerOptions OptionsOf(const RemoteSettings& settings);

// The addresses a server may listen on: the loopback first, then the
// machine's own (without link-local IPv6), as text.
QStringList MachineAddresses();

// The page's address for a browser on another machine: the listening
// address, or for "all" the machine's first address on the network;
// `token` added as ?token= when not empty.
QString PageAddress(const RemoteSettings& settings, quint16 http_port, const QString& token);

}  // namespace remote
