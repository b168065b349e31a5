// Asks a serial device whether the unit is behind it, on a port of its own:
// the open link, the reader and the reception state are never touched.
#include <kvcom/kvcom.h>

#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include <kvproto/messages.h>

#include "reception.h"
#include "serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReplyLength = 11;

int MillisLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// F0 00 20 18 dev 06 02 03 xx 06 F7, byte 8 free, as the reader accepts it.
bool IsIdentityReply(const std::uint8_t* b, std::uint8_t device) {
    const std::uint8_t expected[kReplyLength] = {0xF0, 0x00, 0x20, 0x18, device, 0x06, 0x02, 0x03, 0x00, 0x06, 0xF7};
    for (std::size_t i = 0; i < kReplyLength; ++i) {
        if (i != 8 && b[i] != expected[i]) return false;
    }
    return true;
}

// Writes every byte before the deadline. The port's own writer is not used:
// it would record a failure as the link's error.
bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t n, Clock::time_point deadline) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, bytes + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, MillisLeft(deadline)) <= 0) return false;
    }
    return true;
}

}  // namespace

int ProbeUnit(const char* path, int timeout_ms) {
    if (path == nullptr || *path == '\0') return -ENOENT;
    errno = 0;
    std::unique_ptr<kvcom::SerialPort> port = kvcom::SerialPort::Open(path);
    if (!port) return errno != 0 ? -errno : -EIO;
    if (!port->Configure(kvcom::LineSettings{})) return errno != 0 ? -errno : -EINVAL;
    port->Purge();
    port->SetDtr(true);
    port->SetRts(true);

    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
    const std::uint8_t device = kvcom::rev_dev;
    std::uint8_t request[8];
    const int n = kvcom::message::PutIdentityRequest(request, device);
    for (int i = 0; i < n; ++i) request[i] = static_cast<std::uint8_t>(255 - request[i]);  // the line is inverted
    if (!WriteAll(port->fd(), request, static_cast<std::size_t>(n), deadline)) return errno != 0 ? -errno : -EIO;

    // Gather from the first F0 on; a start that does not lead to the reply
    // is dropped and the search goes on with the next F0.
    std::vector<std::uint8_t> acc;
    for (;;) {
        while (!acc.empty() && acc.front() != 0xF0) acc.erase(acc.begin());
        while (acc.size() >= kReplyLength) {
            if (IsIdentityReply(acc.data(), device)) return 1;
            acc.erase(acc.begin());
            acc.erase(acc.begin(), std::find(acc.begin(), acc.end(), 0xF0));
        }
        const int left = MillisLeft(deadline);
        if (left == 0) return 0;
        pollfd p{port->fd(), POLLIN, 0};
        const int r = ::poll(&p, 1, left);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return 0;
        std::uint8_t chunk[200];
        std::size_t got = 0;
        const kvcom::ReadStatus st = kvcom::ReadWaiting(port->fd(), chunk, sizeof chunk, &got);
        // Hung up: nobody answers there.
        if (st == kvcom::ReadStatus::kLost) return 0;
        if (got == 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return 0;
        acc.insert(acc.end(), chunk, chunk + got);
        if (acc.size() > 4096) acc.erase(acc.begin(), acc.end() - kReplyLength);  // a chatty line stays bounded
    }
}
