#include "kvports/ports.h"

#include "kvports/port_problem.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kvports {

namespace {

// ttyS2 before ttyS10: runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

// The stable name of the device at `device` (already resolved).
std::string StableNameOf(const std::vector<StableLink>& links, const std::string& device) {
    std::string best;
    for (const StableLink& l : links) {
        if (!l.target.empty() && l.target == device && (best.empty() || l.link < best)) best = l.link;
    }
    return best;
}

bool IsPermissionError(int e) { return e == EACCES || e == EPERM; }
bool IsGoneError(int e) { return e == ENOENT || e == ENXIO || e == ENODEV; }

}  // namespace

std::vector<PortInfo> ListPorts(PortSystem& sys) {
    const std::vector<StableLink> links = sys.StableLinks();
    std::vector<PortInfo> ports;
    for (const RawPort& raw : sys.EnumeratePorts()) {
        if (raw.transport == Transport::kNative && !sys.UartPresent(raw.path)) continue;
        PortInfo p;
        p.path = raw.path;
        p.stable_path = StableNameOf(links, raw.path);
        p.transport = raw.transport;
        p.description = raw.description;
        p.usb_vid = raw.usb_vid;
        p.usb_pid = raw.usb_pid;
        p.manufacturer = raw.manufacturer;
        p.product = raw.product;
        p.serial = raw.serial;
        p.driver = raw.driver;
        ports.push_back(std::move(p));
    }
    std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        const bool ua = a.transport == Transport::kUsb, ub = b.transport == Transport::kUsb;
        if (ua != ub) return ua;
        return NaturalLess(a.path, b.path);
    });
    return ports;
}

std::string StablePathOf(PortSystem& sys, const std::string& path) {
    const std::vector<StableLink> links = sys.StableLinks();
    for (const StableLink& l : links) {
        if (l.link == path) return l.target.empty() ? std::string() : path;
    }
    const NodeInfo node = sys.Inspect(path);
    return StableNameOf(links, node.resolved.empty() ? path : node.resolved);
}

const PortInfo* FindPort(PortSystem& sys, const std::vector<PortInfo>& ports, const std::string& path) {
    if (path.empty()) return nullptr;
    for (const PortInfo& p : ports) {
        if (p.path == path || p.stable_path == path) return &p;
    }
    const std::string resolved = sys.Inspect(path).resolved;
    if (resolved.empty()) return nullptr;
    for (const PortInfo& p : ports) {
        if (p.path == resolved) return &p;
    }
    return nullptr;
}

std::string Describe(const PortInfo& port) {
    std::vector<std::string> parts;
    auto add = [&parts](const std::string& s) {
        if (!s.empty() && std::find(parts.begin(), parts.end(), s) == parts.end()) parts.push_back(s);
    };
    add(port.product.empty() ? port.description : port.product);
    add(port.manufacturer);
    if (!port.serial.empty()) add("serial " + port.serial);
    add(port.driver);
    std::string out;
    for (const std::string& s : parts) out += (out.empty() ? "" : ", ") + s;
    return out;
}

PortState CheckPort(PortSystem& sys, const std::string& path) {
    PortState state;
    const NodeInfo node = sys.Inspect(path);
    if (node.kind == NodeInfo::Kind::kMissing) {
        state.condition = Condition::kMissing;
        state.error = ENOENT;
        return state;
    }
    if (node.kind != NodeInfo::Kind::kCharDevice) {
        state.condition = Condition::kUnusable;
        state.error = node.kind == NodeInfo::Kind::kDirectory ? EISDIR : ENOTTY;
        return state;
    }
    if (const int e = sys.Access(path); IsPermissionError(e)) {
        state.condition = Condition::kNoPermission;
        state.group = node.group;
        state.error = e;
        return state;
    }
    // Holders first: they can be named. A program that holds the port
    // without anyone seeing it still shows in the trial open's lock.
    state.holders = PortHolders(sys, path);
    if (!state.holders.empty()) {
        state.condition = Condition::kBusy;
        state.error = EBUSY;
        return state;
    }
    const int e = sys.TryOpen(path);
    state.error = e;
    if (e == 0) {
        state.condition = Condition::kFree;
    } else if (e == EBUSY || e == EWOULDBLOCK) {
        state.condition = Condition::kBusy;
        state.error = EBUSY;
    } else if (IsPermissionError(e)) {
        state.condition = Condition::kNoPermission;
        state.group = node.group;
    } else if (IsGoneError(e)) {
        state.condition = Condition::kMissing;
    } else {
        state.condition = Condition::kUnusable;
    }
    return state;
}

bool SameDevice(PortSystem& sys, const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    if (a == b) return true;
    const std::string ra = sys.Inspect(a).resolved, rb = sys.Inspect(b).resolved;
    return !ra.empty() && ra == rb;
}

PortState CheckPort(PortSystem& sys, const std::string& path, const std::string& held_by_link) {
    if (!SameDevice(sys, path, held_by_link)) return CheckPort(sys, path);
    PortState state;
    state.condition = Condition::kBusy;
    state.holders = {Holder{static_cast<int>(::getpid()), {}, true}};
    state.error = EBUSY;
    return state;
}

std::string StateText(const PortState& state) {
    switch (state.condition) {
    case Condition::kFree: return "free";
    case Condition::kBusy:
        return state.holders.empty() ? "busy: in use by another program" : "busy: " + HoldersText(state.holders);
    case Condition::kNoPermission:
        return state.group.empty() ? "no permission" : "no permission (group " + state.group + ")";
    case Condition::kMissing: return "missing: not plugged in";
    case Condition::kUnusable:
        return std::string("unusable: ") + (state.error != 0 ? std::strerror(state.error) : "no serial port");
    }
    return {};
}

std::string StateAdvice(const PortState& state) {
    if (state.condition == Condition::kNoPermission) {
        // Membership of root is no fix anybody should be told to make.
        if (state.group.empty() || state.group == "root") return "Ask the administrator for access to the device.";
        return "The device belongs to the group " + state.group + ". Run: sudo usermod -aG " + state.group +
               " $USER, then log out and in again.";
    }
    if (state.condition == Condition::kBusy) {
        const bool ours = !state.holders.empty() && std::all_of(state.holders.begin(), state.holders.end(),
                                                                [](const Holder& h) { return h.self; });
        if (ours) return {};  // the program's own link
        return "Close the program that holds the port, or choose another.";
    }
    if (state.condition == Condition::kMissing) return "Plug the adapter in, or choose another port.";
    return {};
}

std::optional<kvcore::Refusal> DevicePathProblem(PortSystem& sys, const std::string& path) {
    auto refuse = [&path](std::string reason) { return kvcore::Refusal{path, std::move(reason)}; };
    if (path.empty()) return refuse("no device is named");
    if (path.front() != '/') return refuse("it is not an absolute path (one starting with /dev/)");
    const NodeInfo node = sys.Inspect(path);
    if (node.kind == NodeInfo::Kind::kMissing) {
        if (node.is_link)
            return refuse("it is a link to " + node.link_target + ", which is not there (is the adapter plugged in?)");
        return refuse("there is no such device");
    }
    if (node.kind == NodeInfo::Kind::kDirectory) return refuse("it is a folder, not a device");
    if (node.kind != NodeInfo::Kind::kCharDevice) return refuse("it is not a device");
    const int e = sys.TryOpen(path);
    if (e == 0 || e == EBUSY || e == EWOULDBLOCK || IsPermissionError(e)) return std::nullopt;
    if (e == ENOTTY) return refuse("it is not a serial port");
    if (e == EIO || IsGoneError(e)) return refuse("no serial port hardware answers there");
    return refuse(std::string("it cannot be opened: ") + std::strerror(e));
}

}  // namespace kvports
