// The device chosen for each COM port, kept in the settings as
// "Settings"/"RS232Device1" to "RS232Device4" (the stable by-id name when
// the port has one) and handed to the library, which opens it for that port.
#pragma once

#include <QString>

#include <kvports/port_choice.h>

inline constexpr int kComPorts = kvports::kComPorts;

// The port choice in the program's settings file, read as kvctl reads it.
kvports::StoredPorts ReadStoredPortChoice();

// The device stored for COM port n (1..4); empty when none was chosen.
QString StoredDevice(int port);
// Stores device for COM port n and hands it to the library; empty removes
// the choice (the port is /dev/ttyS<n-1> again).
void StoreDevice(int port, const QString& device);
// At start-up: the stored COM port becomes the library's rs232_port and every
// stored device goes to the library.
void ApplyStoredPortChoice();
// The device the library opens for COM port n.
QString EffectiveDevice(int port);
