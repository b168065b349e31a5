#include "settings/port_settings.h"

#include <QFile>
#include <QSettings>

#include <kvcom/kvcom.h>
#include <kvports/port_lock.h>
#include <kvports/port_system.h>

#include <cstdlib>

namespace {

QString DeviceKey(int port) { return QStringLiteral("Settings/RS232Device%1").arg(port); }

QString g_unit_name;

void HandToLibrary(int port, const QString& device) {
    SetPortDevicePath(port, device.isEmpty() ? nullptr : QFile::encodeName(device).constData());
}

}  // namespace

kvports::StoredPorts ReadStoredPortChoice() {
    return kvports::ReadStoredPorts(QFile::encodeName(QSettings().fileName()).toStdString());
}

QString StoredDevice(int port) {
    if (port < 1 || port > kComPorts) return {};
    return QFile::decodeName(ReadStoredPortChoice().DeviceOf(port).c_str());
}

void StoreDevice(int port, const QString& device) {
    if (port < 1 || port > kComPorts) return;
    QSettings settings;
    if (device.isEmpty()) {
        settings.remove(DeviceKey(port));
    } else {
        settings.setValue(DeviceKey(port), device);
    }
    settings.sync();
    HandToLibrary(port, device);
}

void ApplyStoredPortChoice() {
    g_unit_name.clear();
    const kvports::StoredPorts stored = ReadStoredPortChoice();
    rs232_port = stored.com;
    for (int port = 1; port <= kComPorts; ++port) HandToLibrary(port, QFile::decodeName(stored.DeviceOf(port).c_str()));
}

QString EffectiveDevice(int port) {
    char path[4096] = {0};
    PortDevicePath(port, path, sizeof path);
    return QFile::decodeName(path);
}

bool AimAtUnit(const kvrack::UnitTarget& unit, QString* why) {
    const auto choice = kvports::ParsePortArgument(unit.port);
    if (!choice) {
        if (why)
            *why = QStringLiteral("%1 names no port (COM1..COM4 or a device)").arg(QString::fromStdString(unit.port));
        return false;
    }
    if (choice->com != 0) {
        rs232_port = choice->com;
    } else {
        // A device goes to the library as COM1's, above any stored device
        // and KVCOM_COM1 alike, as kvctl --port does.
        ::setenv("KVCOM_COM1", choice->path.c_str(), 1);
        rs232_port = 1;
    }
    g_unit_name = QString::fromStdString(kvrack::UnitTitle(unit));
    return true;
}

QString UnitName() { return g_unit_name; }

std::string UnitPortKey(const std::string& port) {
    const auto choice = kvports::ParsePortArgument(port);
    if (!choice) return port;
    const std::string path =
        choice->com != 0 ? QFile::encodeName(EffectiveDevice(choice->com)).toStdString() : choice->path;
    return kvports::PortLockKey(kvports::HostSystem(), path);
}
