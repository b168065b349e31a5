#include "settings/port_settings.h"

#include <QFile>
#include <QSettings>

#include <kvcom/kvcom.h>

namespace {

QString DeviceKey(int port) { return QStringLiteral("Settings/RS232Device%1").arg(port); }

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
    const kvports::StoredPorts stored = ReadStoredPortChoice();
    rs232_port = stored.com;
    for (int port = 1; port <= kComPorts; ++port)
        HandToLibrary(port, QFile::decodeName(stored.DeviceOf(port).c_str()));
}

QString EffectiveDevice(int port) {
    char path[4096] = {0};
    PortDevicePath(port, path, sizeof path);
    return QFile::decodeName(path);
}
