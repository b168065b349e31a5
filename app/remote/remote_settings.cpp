#include "remote/remote_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QSettings>
#include <cerrno>
#include <cstring>

namespace remote {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("RemoteSettings", text); }

const QString kGroup = QStringLiteral("Remote");

QString SettingsPath() { return QSettings().fileName(); }

quint16 PortValue(const QSettings& s, const QString& key, quint16 fallback, int lowest) {
    bool ok = false;
    const int value = s.value(key).toInt(&ok);
    return ok && value >= lowest && value <= 65535 ? static_cast<quint16>(value) : fallback;
}

}  // namespace

RemoteSettings ReadRemoteSettings() {
    RemoteSettings r;
    QSettings s;
    s.beginGroup(kGroup);
    r.enabled = s.value(QStringLiteral("Enabled"), false).toBool();
    const QString address = s.value(QStringLiteral("Address"), r.address).toString().trimmed();
    if (address == QLatin1String(kAllAddresses) || !QHostAddress(address).isNull()) r.address = address;
    r.http_port = PortValue(s, QStringLiteral("HttpPort"), r.http_port, 1);
    r.osc_port = PortValue(s, QStringLiteral("OscPort"), r.osc_port, 0);
    r.token = s.value(QStringLiteral("Token")).toString();
    r.read_only_token = s.value(QStringLiteral("ReadOnlyToken")).toString();
    r.allow_reset = s.value(QStringLiteral("AllowReset"), false).toBool();
    return r;
}

bool SettingsFileIsPrivate() {
    struct stat st {};
    if (::stat(QFile::encodeName(SettingsPath()).constData(), &st) != 0) return false;
    return (st.st_mode & 077) == 0;
}

bool MakeSettingsFilePrivate(QString* why) {
    const QString path = SettingsPath();
    const QByteArray local = QFile::encodeName(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Made with no rights for others, so a token is never readable by them,
    // not even for a moment; an existing file keeps its content.
    const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::close(fd) != 0 || ::chmod(local.constData(), 0600) != 0) {
        if (why)
            *why = Tr("%1 cannot be made readable by you alone: %2")
                       .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

bool WriteRemoteSettings(const RemoteSettings& r, QString* why) {
    const bool secret = !r.token.isEmpty() || !r.read_only_token.isEmpty();
    if (secret && !MakeSettingsFilePrivate(why)) return false;
    {
        QSettings s;
        s.beginGroup(kGroup);
        s.setValue(QStringLiteral("Enabled"), r.enabled);
        s.setValue(QStringLiteral("Address"), r.address);
        s.setValue(QStringLiteral("HttpPort"), r.http_port);
        s.setValue(QStringLiteral("OscPort"), r.osc_port);
        for (const auto& [key, value] : {std::pair{QStringLiteral("Token"), r.token},
                                         std::pair{QStringLiteral("ReadOnlyToken"), r.read_only_token}}) {
            if (value.isEmpty())
                s.remove(key);
            else
                s.setValue(key, value);
        }
        s.setValue(QStringLiteral("AllowReset"), r.allow_reset);
        s.endGroup();
        s.sync();
        if (s.status() != QSettings::NoError) {
            if (why) *why = Tr("%1 could not be written").arg(s.fileName());
            return false;
        }
    }
    // Whatever wrote the file, it stays the user's alone.
    if (secret && !SettingsFileIsPrivate()) return MakeSettingsFilePrivate(why);
    return true;
}

QHostAddress ListenAddress(const QString& address) {
    if (address == QLatin1String(kAllAddresses)) return QHostAddress(QHostAddress::Any);
    return QHostAddress(address);
}

bool IsLoopbackSetting(const QString& address) { return kvremote::IsLoopback(ListenAddress(address)); }

std::optional<QString> StartProblem(const RemoteSettings& r) {
    if (ListenAddress(r.address).isNull()) return Tr("\"%1\" is not an address.").arg(r.address);
    if (!IsLoopbackSetting(r.address) && r.token.isEmpty())
        return Tr("Listening on %1 needs a token: only the loopback address (127.0.0.1) goes without one. Press New "
                  "token.")
            .arg(r.address == QLatin1String(kAllAddresses) ? Tr("all addresses") : r.address);
    if (r.address != QLatin1String(kAllAddresses) && !MachineAddresses().contains(r.address))
        return Tr("%1 is not an address of this computer (any more).").arg(r.address);
    if (!r.read_only_token.isEmpty() && r.read_only_token == r.token)
        return Tr("The read-only token must differ from the token that may change the unit.");
    if (r.http_port == 0) return Tr("The HTTP port must be 1 to 65535.");
    return std::nullopt;
}

kvremote::ServerOptions OptionsOf(const RemoteSettings& r) {
    kvremote::ServerOptions o;
    o.address = ListenAddress(r.address);
    o.http_port = r.http_port;
    o.osc_port = r.osc_port;
    o.policy.token = r.token.toStdString();
    o.policy.read_only_token = r.read_only_token.toStdString();
    o.policy.allow_reset = r.allow_reset;
    // A tablet may know the machine by its name too.
    const QString name = QHostInfo::localHostName().toLower();
    if (!name.isEmpty() && name != QLatin1String("localhost")) {
        o.policy.host_names.push_back(name.toStdString());
        if (!name.contains(QLatin1Char('.')))
            o.policy.host_names.push_back((name + QStringLiteral(".local")).toStdString());
    }
    return o;
}

QStringList MachineAddresses() {
    QStringList v4, v6;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.isLoopback() || a.isLinkLocal() || !a.scopeId().isEmpty()) continue;
        (a.protocol() == QAbstractSocket::IPv4Protocol ? v4 : v6).append(a.toString());
    }
    return QStringList{QStringLiteral("127.0.0.1")} + v4 + v6;
}

QString PageAddress(const RemoteSettings& r, quint16 http_port, const QString& token) {
    QString host = r.address;
    if (host == QLatin1String(kAllAddresses)) {
        const QStringList all = MachineAddresses();
        host = all.size() > 1 ? all.at(1) : all.first();
    }
    if (QHostAddress(host).protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    QString url = QStringLiteral("http://%1:%2/").arg(host).arg(http_port);
    if (!token.isEmpty()) url += QStringLiteral("?token=") + token;
    return url;
}

}  // namespace remote
