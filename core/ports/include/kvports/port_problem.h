// Who holds a port, and why a port could not be opened, told so the user can
// act on it: the one diagnosis and the one sentence of every front end (the
// windows show it under their message, kvctl after "kvctl: ").
#pragma once

#include <sys/types.h>

#include <istream>
#include <string>
#include <vector>

#include "kvports/port_system.h"

namespace kvports {

// The processes holding the flock of the file (device `dev` of its file
// system, inode `ino`) as a /proc/locks table lists them; waiting requests
// do not count.
std::vector<int> ParseFlockHolders(std::istream& proc_locks, dev_t dev, ino_t ino);

// Who holds the device at `path`: those with it open that also hold its lock
// (the link and well-behaved programs take one), or else everyone with it
// open, as far as the system lets this user see.
std::vector<Holder> PortHolders(PortSystem& sys, const std::string& path);

// "minicom (PID 4242), this program (PID 17)".
std::string HoldersText(const std::vector<Holder>& holders);

// A port the library could not open: the errno it kept (LinkLastError), and
// what the system tells about the device.
struct OpenFailure {
    std::string path;
    int error = 0;
    std::string group;             // permission refused: the group owning the device
    std::vector<Holder> holders;   // busy: who holds it
    NodeInfo::Kind kind = NodeInfo::Kind::kMissing;
};

OpenFailure DiagnoseOpenFailure(PortSystem& sys, const std::string& path, int error);

// One sentence on what is wrong and what to do ("There is no device
// /dev/ttyUSB0. Check the cable or adapter, or choose another port."), or ""
// when there is no failure. `reason` is the library's words for the errno
// (LinkErrorMessage), told when nothing better is known.
std::string OpenFailureText(const OpenFailure& failure, const std::string& reason);

}  // namespace kvports
