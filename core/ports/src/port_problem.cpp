#include "kvports/port_problem.h"

#include <errno.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace kvports {

std::vector<int> ParseFlockHolders(std::istream& in, dev_t dev, ino_t ino) {
    // "1: FLOCK  ADVISORY  WRITE 4152 00:1a:4 0 EOF"; waiters carry "->".
    std::vector<int> pids;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string id, kind, mode, access, where;
        long pid = 0;
        if (!(fields >> id >> kind) || kind != "FLOCK") continue;
        if (!(fields >> mode >> access >> pid >> where)) continue;
        unsigned maj = 0, min = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &maj, &min, &inode) != 3) continue;
        if (maj == major(dev) && min == minor(dev) && inode == ino) pids.push_back(static_cast<int>(pid));
    }
    return pids;
}

std::vector<Holder> PortHolders(PortSystem& sys, const std::string& path) {
    const NodeInfo node = sys.Inspect(path);
    if (node.kind != NodeInfo::Kind::kCharDevice) return {};
    std::vector<Holder> holders = sys.Holders(node.rdev);
    const std::vector<int> locking = sys.FlockHolders(path);
    std::vector<Holder> lockers;
    std::copy_if(holders.begin(), holders.end(), std::back_inserter(lockers), [&locking](const Holder& h) {
        return std::find(locking.begin(), locking.end(), h.pid) != locking.end();
    });
    return lockers.empty() ? holders : lockers;
}

std::string HoldersText(const std::vector<Holder>& holders) {
    std::string out;
    for (const Holder& h : holders) {
        if (!out.empty()) out += ", ";
        out += h.self ? "this program" : (h.name.empty() ? "a program" : h.name);
        out += " (PID " + std::to_string(h.pid) + ")";
    }
    return out;
}

OpenFailure DiagnoseOpenFailure(PortSystem& sys, const std::string& path, int error) {
    OpenFailure f;
    f.path = path;
    f.error = error;
    const NodeInfo node = sys.Inspect(path);
    f.kind = node.kind;
    // The cause is the library's; the system only names whom to ask or who
    // holds the device.
    if (error == EACCES || error == EPERM) f.group = node.group;
    if (error == EBUSY) f.holders = PortHolders(sys, path);
    return f;
}

std::string OpenFailureText(const OpenFailure& f, const std::string& reason) {
    if (f.path.empty() || f.error == 0) return {};
    if (f.kind == NodeInfo::Kind::kDirectory) return f.path + " is a folder, not a serial port.";
    switch (f.error) {
    case ENOENT: return "There is no device " + f.path + ". Check the cable or adapter, or choose another port.";
    case EACCES:
    case EPERM:
        // Membership of root is no fix anybody should be told to make.
        if (f.group.empty() || f.group == "root") return "You have no permission to use " + f.path + ".";
        return "You have no permission to use " + f.path + ", which belongs to the group \"" + f.group +
               "\". Run: sudo usermod -aG " + f.group + " $USER, then log out and in again.";
    case EBUSY:
        if (!f.holders.empty()) return f.path + " is in use by " + HoldersText(f.holders) + ".";
        break;
    case ENOTTY: return f.path + " is not a serial port.";
    case ENXIO:
    case ENODEV:
        // The node is there, the device behind it is not: an adapter pulled,
        // or /dev/tty opened by a program without a terminal.
        if (f.path == "/dev/tty")
            return "/dev/tty stands for the terminal of the program that opens it, not a serial port.";
        return "There is no device behind " + f.path + ". Check the cable or adapter, or choose another port.";
    default: break;
    }
    return f.path + ": " + reason;
}

}  // namespace kvports
