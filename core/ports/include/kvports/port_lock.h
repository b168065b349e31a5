// The lock a program takes for one serial port, so that a second program
// window on the same unit is turned away while windows on other ports run
// beside it. The port is told by the device it leads to: a by-id name and
// the /dev/ttyUSB0 it points at are one port.
#pragma once

#include <string>

#include "kvports/port_system.h"

namespace kvports {

// The device that path leads to, every link followed; the path as written
// when it leads nowhere (an adapter that is not plugged in).
std::string PortLockKey(PortSystem& sys, const std::string& path);

// A file name (without extension) for the lock of the port `key` among the
// locks called `base`: "KALVORE@%2Fdev%2FttyUSB0". Every byte but letters,
// digits, '.', '_' and '-' is written %XX, so two ports never share a name;
// a name that would be too long for a file keeps its start and ends in a
// digest of the whole key.
std::string PortLockName(const std::string& base, const std::string& key);

}  // namespace kvports
