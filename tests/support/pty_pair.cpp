#include "pty_pair.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace kvtest {

namespace {

std::string ComVariable(int port) { return "KVCOM_COM" + std::to_string(port); }

}  // namespace

PtyPair::PtyPair() {
    const int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0) return;
    char name[256];
    if (::grantpt(m) != 0 || ::unlockpt(m) != 0 || ::ptsname_r(m, name, sizeof name) != 0) {
        ::close(m);
        return;
    }
    const int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0) {
        ::close(m);
        return;
    }
    termios t{};
    ::tcgetattr(s, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(s, TCSANOW, &t);
    master_ = m;
    slave_hold_ = s;
    slave_path_ = name;
}

PtyPair::~PtyPair() {
    if (attached_port_ != 0) ::unsetenv(ComVariable(attached_port_).c_str());
    CloseMaster();
    if (slave_hold_ >= 0) ::close(slave_hold_);
}

void PtyPair::AttachAsCom(int port) {
    ::setenv(ComVariable(port).c_str(), slave_path_.c_str(), 1);
    attached_port_ = port;
}

bool PtyPair::Send(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += static_cast<std::size_t>(w);
    }
    return true;
}

Bytes PtyPair::Receive(std::size_t n, int timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    Bytes out;
    while (out.size() < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        std::uint8_t buf[512];
        const ssize_t r = ::read(master_, buf, sizeof buf < n - out.size() ? sizeof buf : n - out.size());
        if (r <= 0) break;
        out.insert(out.end(), buf, buf + r);
    }
    return out;
}

Bytes PtyPair::ReceiveUntilQuiet(int quiet_ms) {
    Bytes out;
    for (;;) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, quiet_ms) <= 0) return out;
        std::uint8_t buf[512];
        const ssize_t r = ::read(master_, buf, sizeof buf);
        if (r <= 0) return out;
        out.insert(out.end(), buf, buf + r);
    }
}

void PtyPair::CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

}  // namespace kvtest
