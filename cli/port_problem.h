// Why a port could not be opened, in words the user can act on, and who
// holds a busy port.
#pragma once

#include <sys/types.h>

#include <istream>
#include <string>
#include <vector>

namespace kvctl {

struct PortHolder {
    pid_t pid = 0;
    std::string name;  // the program's name, "758" for the control program
};

// The processes holding the flock of the device node (device `dev`, inode
// `ino`) as a /proc/locks table lists them; waiting requests do not count.
std::vector<pid_t> LockHolders(std::istream& proc_locks, dev_t dev, ino_t ino);

// Who holds `path`: the holder of its lock, or else every other process
// with the device open.
std::vector<PortHolder> PortHolders(const std::string& path);

// One sentence on the failure `error` (an errno code from LinkLastError)
// at `path`: what is wrong and what to do.
std::string PortProblemText(const std::string& path, int error);

}  // namespace kvctl
