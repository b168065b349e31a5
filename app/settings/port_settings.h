// The device chosen for each COM port, kept in the settings as
// "Settings"/"RS232Device1" to "RS232Device4" (the stable by-id name when
// the port has one) and handed to the library, which opens it for that port.
#pragma once

#include <QString>

inline constexpr int kComPorts = 4;

// The device stored for COM port n (1..4); empty when none was chosen.
QString StoredDevice(int port);
// Stores device for COM port n and hands it to the library; empty removes
// the choice (the port is /dev/ttyS<n-1> again).
void StoreDevice(int port, const QString& device);
// Hands every stored device to the library (at start-up).
void ApplyStoredDevices();
// The device the library opens for COM port n.
QString EffectiveDevice(int port);
