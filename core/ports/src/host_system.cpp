// The port seam on this machine: libserialport for the enumeration and the
// USB descriptors, the file system for nodes and stable names, /proc for
// the processes holding a device.
#include "kvports/port_system.h"

#include "kvports/port_problem.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <libserialport.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>

namespace kvports {

namespace {

constexpr const char* kByIdFolder = "/dev/serial/by-id";

std::string Text(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReadLink(const std::string& path) {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string RealPath(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) != nullptr ? std::string(buf) : std::string();
}

// The kernel driver of a tty, which the enumeration does not tell. Newer
// kernels put generic serial-core devices ("port", "ctrl") between the tty
// and the hardware; the driver that names the hardware sits above them.
std::string DriverOf(const std::string& path) {
    std::string device = RealPath("/sys/class/tty/" + BaseName(path) + "/device");
    for (int level = 0; level < 4 && device.size() > 1; ++level) {
        const std::string driver = BaseName(ReadLink(device + "/driver"));
        if (!driver.empty() && driver != "port" && driver != "ctrl") return driver;
        device = device.substr(0, device.rfind('/'));
    }
    return {};
}

bool AllDigits(const char* s) {
    if (*s == '\0') return false;
    for (; *s != '\0'; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

class Host final : public PortSystem {
public:
    std::vector<RawPort> EnumeratePorts() override {
        std::vector<RawPort> out;
        sp_port** list = nullptr;
        if (sp_list_ports(&list) != SP_OK) return out;
        for (sp_port** p = list; *p != nullptr; ++p) {
            RawPort r;
            r.path = Text(sp_get_port_name(*p));
            r.description = Text(sp_get_port_description(*p));
            switch (sp_get_port_transport(*p)) {
            case SP_TRANSPORT_USB: r.transport = Transport::kUsb; break;
            case SP_TRANSPORT_BLUETOOTH: r.transport = Transport::kBluetooth; break;
            default: r.transport = Transport::kNative; break;
            }
            if (r.transport == Transport::kUsb) {
                int vid = -1, pid = -1;
                if (sp_get_port_usb_vid_pid(*p, &vid, &pid) == SP_OK) {
                    r.usb_vid = vid;
                    r.usb_pid = pid;
                }
                r.manufacturer = Text(sp_get_port_usb_manufacturer(*p));
                r.product = Text(sp_get_port_usb_product(*p));
                r.serial = Text(sp_get_port_usb_serial(*p));
            }
            r.driver = DriverOf(r.path);
            out.push_back(std::move(r));
        }
        sp_free_port_list(list);
        return out;
    }

    bool UartPresent(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            serial_struct info{};
            const int r = ::ioctl(fd, TIOCGSERIAL, &info);
            ::close(fd);
            return r == 0 && info.type != PORT_UNKNOWN;
        }
        if (errno != EACCES && errno != EPERM && errno != EBUSY) return false;
        // Not ours to open: the kernel also tells the UART type to everyone.
        std::ifstream type("/sys/class/tty/" + BaseName(path) + "/type");
        int t = PORT_UNKNOWN;
        return static_cast<bool>(type >> t) && t != PORT_UNKNOWN;
    }

    std::vector<StableLink> StableLinks() override {
        std::vector<StableLink> out;
        DIR* dir = ::opendir(kByIdFolder);
        if (dir == nullptr) return out;
        while (const dirent* e = ::readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            StableLink l;
            l.link = std::string(kByIdFolder) + "/" + e->d_name;
            l.target = RealPath(l.link);
            out.push_back(std::move(l));
        }
        ::closedir(dir);
        return out;
    }

    NodeInfo Inspect(const std::string& path) override {
        NodeInfo n;
        struct stat ls {};
        if (::lstat(path.c_str(), &ls) != 0) return n;
        n.is_link = S_ISLNK(ls.st_mode);
        if (n.is_link) n.link_target = ReadLink(path);
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return n;  // a link that leads nowhere
        n.resolved = RealPath(path);
        n.kind = S_ISCHR(st.st_mode)   ? NodeInfo::Kind::kCharDevice
                 : S_ISDIR(st.st_mode) ? NodeInfo::Kind::kDirectory
                                       : NodeInfo::Kind::kOther;
        n.rdev = st.st_rdev;
        if (const group* g = ::getgrgid(st.st_gid)) n.group = g->gr_name;
        return n;
    }

    int Access(const std::string& path) override { return ::access(path.c_str(), R_OK | W_OK) == 0 ? 0 : errno; }

    std::vector<Holder> Holders(unsigned long long rdev) override {
        std::vector<Holder> out;
        const int self = static_cast<int>(::getpid());
        DIR* proc = ::opendir("/proc");
        if (proc == nullptr) return out;
        while (const dirent* e = ::readdir(proc)) {
            if (!AllDigits(e->d_name)) continue;
            const std::string fd_dir = std::string("/proc/") + e->d_name + "/fd";
            DIR* fds = ::opendir(fd_dir.c_str());
            if (fds == nullptr) continue;  // another user's process: not ours to see
            bool holds = false;
            while (const dirent* f = ::readdir(fds)) {
                if (f->d_name[0] == '.') continue;
                struct stat st {};
                if (::stat((fd_dir + "/" + f->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev) {
                    holds = true;
                    break;
                }
            }
            ::closedir(fds);
            if (!holds) continue;
            Holder h;
            h.pid = std::atoi(e->d_name);
            h.self = h.pid == self;
            std::ifstream comm(std::string("/proc/") + e->d_name + "/comm");
            std::getline(comm, h.name);
            out.push_back(std::move(h));
        }
        ::closedir(proc);
        return out;
    }

    std::vector<int> FlockHolders(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return {};
        std::ifstream locks("/proc/locks");
        return ParseFlockHolders(locks, st.st_dev, st.st_ino);
    }

    int TryOpen(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return errno;
        int result = 0;
        if (!::isatty(fd)) {
            result = ENOTTY;
        } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            result = EBUSY;  // the lock the link (and well-behaved programs) take
        } else {
            ::flock(fd, LOCK_UN);
        }
        ::close(fd);
        return result;
    }
};

}  // namespace

PortSystem& HostSystem() {
    static Host host;
    return host;
}

}  // namespace kvports
