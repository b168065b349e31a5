#include "port_problem.h"

#include <kvcom/kvcom.h>

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kvctl {

namespace {

std::string ProgramName(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "another program" : name;
}

bool SameDevice(const std::string& fd_path, const struct stat& device) {
    struct stat st {};
    return ::stat(fd_path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device.st_rdev;
}

// Processes other than this one with the character device open.
std::vector<pid_t> OpenedBy(const struct stat& device) {
    std::vector<pid_t> pids;
    DIR* proc = ::opendir("/proc");
    if (!proc) return pids;
    const pid_t self = ::getpid();
    while (const dirent* e = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self) continue;
        const std::string fd_dir = "/proc/" + std::string(e->d_name) + "/fd";
        DIR* fds = ::opendir(fd_dir.c_str());
        if (!fds) continue;  // another user's process: not ours to see
        while (const dirent* f = ::readdir(fds)) {
            if (f->d_name[0] != '.' && SameDevice(fd_dir + "/" + f->d_name, device)) {
                pids.push_back(static_cast<pid_t>(pid));
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return pids;
}

std::string PermissionFix(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "";
    const group* g = ::getgrgid(st.st_gid);
    if (!g || std::string(g->gr_name) == "root") return "";
    return "; add your account to the group \"" + std::string(g->gr_name) + "\" (sudo usermod -aG " + g->gr_name +
           " $USER), then log in again";
}

}  // namespace

std::vector<pid_t> LockHolders(std::istream& in, dev_t dev, ino_t ino) {
    // "1: FLOCK  ADVISORY  WRITE 4152 00:1a:4 0 EOF"; waiters carry "->".
    std::vector<pid_t> pids;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string id, kind, mode, access, where;
        long pid = 0;
        if (!(fields >> id >> kind) || kind == "->" || kind != "FLOCK") continue;
        if (!(fields >> mode >> access >> pid >> where)) continue;
        unsigned maj = 0, min = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &maj, &min, &inode) != 3) continue;
        if (maj == major(dev) && min == minor(dev) && inode == ino) pids.push_back(static_cast<pid_t>(pid));
    }
    return pids;
}

std::vector<PortHolder> PortHolders(const std::string& path) {
    std::vector<PortHolder> holders;
    struct stat device {};
    if (::stat(path.c_str(), &device) != 0) return holders;
    std::ifstream locks("/proc/locks");
    std::vector<pid_t> pids = LockHolders(locks, device.st_dev, device.st_ino);
    if (pids.empty() && S_ISCHR(device.st_mode)) pids = OpenedBy(device);
    for (pid_t pid : pids) holders.push_back({pid, ProgramName(pid)});
    return holders;
}

std::string PortProblemText(const std::string& path, int error) {
    switch (error) {
    case ENOENT: return "there is no device " + path + "; check the cable or adapter, or choose another --port";
    case EACCES:
    case EPERM: return "no permission to use " + path + PermissionFix(path);
    case EBUSY: {
        const auto holders = PortHolders(path);
        if (holders.empty()) return path + " is in use by another program";
        std::string text = path + " is in use by ";
        for (std::size_t i = 0; i < holders.size(); ++i) {
            if (i > 0) text += ", ";
            text += holders[i].name + " (PID " + std::to_string(holders[i].pid) + ")";
        }
        return text;
    }
    case ENOTTY: return path + " is not a serial port";
    default: return path + ": " + LinkErrorMessage(error);
    }
}

}  // namespace kvctl
