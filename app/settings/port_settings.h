// The device chosen for each COM port, kept in the settings as
// "Settings"/"RS232Device1" to "RS232Device4" (the stable by-id name when
// the port has one) and handed to the library, which opens it for that port.
#pragma once

#include <QString>

#include <kvports/port_choice.h>
#include <kvrack/unit_start.h>

inline constexpr int kComPorts = kvports::kComPorts;

// The port choice in the program's settings file, read as kvctl reads it.
kvports::StoredPorts ReadStoredPortChoice();

// The device stored for COM port n (1..4); empty when none was chosen.
QString StoredDevice(int port);
// Stores device for COM port n and hands it to the library; empty removes
// the choice (the port is /dev/ttyS<n-1> again).
void StoreDevice(int port, const QString& device);
// At start-up: the stored COM port becomes the library's rs232_port and every
// stored device goes to the library; the program is for the stored port
// (until AimAtUnit).
void ApplyStoredPortChoice();
// The device the library opens for COM port n.
QString EffectiveDevice(int port);

// A program started for one unit (758 --unit ALIAS or --port PATH): the
// link goes to the unit's port in this process only. The stored choice is
// shared by every window and kvctl and is neither changed nor used for the
// link; the devices stored for the COM ports still give "COM2" its device.
// False, with the reason in *why, when the port names no port.
bool AimAtUnit(const kvrack::UnitTarget& unit, QString* why);
// The unit this program is for ("main-l (/dev/ttyUSB0)"), empty when it is
// for the stored port.
QString UnitName();
// The device a port of the command line or the rack leads to ("COM2" is its
// device), to tell two names of one port alike and to name its lock.
std::string UnitPortKey(const std::string& port);
