// The one serial link of the process: its record, opening and closing the
// port, and the reader thread that feeds received bytes to the reception
// state machine.
#include <kvcom/kvcom.h>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "link_error.h"
#include "link_port.h"
#include "pacing.h"
#include "reception.h"
#include "serial_port.h"

int rs232_port = 1;
int rs232_rate = 19200;
TTYInfo* npTTYInfo = nullptr;

namespace {

constexpr std::size_t kReadChunk = 200;
constexpr unsigned kThreadStarting = ~0u;  // reader_thread_id before the thread has its id

// The open port behind npTTYInfo->port_handle, and the reader to join.
std::unique_ptr<kvcom::SerialPort> g_port;
pthread_t g_reader;
bool g_reader_joinable = false;

void* ReaderEntry(void* arg) {
    CommWatchProc(static_cast<TTYInfo*>(arg));
    return nullptr;
}

void DrainWakeups(int fd) {
    unsigned char sink[16];
    while (::read(fd, sink, sizeof sink) > 0) {}
}

// Stops the reader and closes the port; safe on a link that never opened or
// whose reader already ended because the device went away.
void ShutDown(TTYInfo* info) {
    info->connected.store(0, std::memory_order_release);
    if (g_reader_joinable) {
        const unsigned char wake = 1;
        while (::write(info->wake_write, &wake, 1) < 0 && errno == EINTR) {}
        pthread_join(g_reader, nullptr);  // returns once reader_thread_id is 0
        g_reader_joinable = false;
        DrainWakeups(info->wake_read);
    }
    if (g_port) {
        kvcom::SetPortTransport(nullptr);
        g_port->SetDtr(false);
        g_port->Purge();
        g_port.reset();
    }
    info->port_handle = -1;
}

}  // namespace

namespace kvcom {

void LinkLost(int why) {
    SetLinkError(why);
    TTYInfo* info = npTTYInfo;
    if (info != nullptr && info->connected.exchange(0, std::memory_order_acq_rel) != 0) {
        // The reader may be asleep in its poll: the wake-up ends it.
        const unsigned char wake = 1;
        while (::write(info->wake_write, &wake, 1) < 0 && errno == EINTR) {}
    }
    // After connected dropped: a woken wait sees the link down.
    rev_done.fetch_add(1, std::memory_order_acq_rel);
    SignalChanged(rev_done);
}

}  // namespace kvcom

namespace {

// The devices named with SetPortDevicePath, by COM port number ("" for none).
constexpr int kMaxPort = 255;
constexpr std::size_t kMaxDevicePath = 4096;  // the buffer OpenConnection reads it into
std::mutex g_devices_mutex;
std::string g_devices[kMaxPort + 1];

}  // namespace

int SetPortDevicePath(int port, const char* path) {
    if (port < 1 || port > kMaxPort) return 0;
    const std::string device = path != nullptr ? path : "";
    if (device.size() >= kMaxDevicePath) return 0;
    std::lock_guard<std::mutex> lock(g_devices_mutex);
    g_devices[port] = device;
    return 1;
}

int PortDevicePath(int port, char* out, int out_len) {
    char var[32];
    std::snprintf(var, sizeof var, "KVCOM_COM%d", port);
    std::string device;
    if (const char* env = std::getenv(var); env != nullptr && *env != '\0') {
        device = env;
    } else if (port >= 1 && port <= kMaxPort) {
        std::lock_guard<std::mutex> lock(g_devices_mutex);
        device = g_devices[port];
    }
    if (device.empty()) device = "/dev/ttyS" + std::to_string(port - 1);
    if (out == nullptr || out_len <= 0) return static_cast<int>(device.size());
    return std::snprintf(out, static_cast<std::size_t>(out_len), "%s", device.c_str());
}

int CreateTTYInfo() {
    if (npTTYInfo != nullptr) DestroyTTYInfo();
    TTYInfo* info = new (std::nothrow) TTYInfo{};
    if (info == nullptr) return -1;
    info->port_handle = -1;
    info->connected.store(0);
    info->byte_size = 8;
    info->parity = 0;
    info->stop_bits = 0;
    info->flow_control = 0;
    info->baud_rate = 19200;
    // The wake-up pipe stands in for the events of a port opened for
    // overlapped I/O: closing writes to it to release the reader's poll.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        delete info;
        return -1;
    }
    info->wake_read = fds[0];
    info->wake_write = fds[1];
    npTTYInfo = info;
    return 1;
}

int SetupConnection() {
    TTYInfo* info = npTTYInfo;
    if (info == nullptr || !g_port) return 0;
    kvcom::LineSettings s;
    s.baud_rate = info->baud_rate;
    s.byte_size = info->byte_size;
    s.parity = info->parity;
    s.stop_bits = info->stop_bits;
    s.flow_control = info->flow_control;
    return g_port->Configure(s) ? 1 : 0;
}

int OpenConnection() {
    TTYInfo* info = npTTYInfo;
    if (info == nullptr) {
        kvcom::SetLinkError(EBADF);
        return 0;
    }
    // A link left behind by a vanished device is closed before reopening.
    ShutDown(info);

    info->port_number = static_cast<unsigned char>(rs232_port & 0xFF);
    info->baud_rate = 19200;
    char path[4096];
    PortDevicePath(info->port_number, path, sizeof path);
    g_port = kvcom::SerialPort::Open(path);
    if (!g_port) {
        kvcom::SetLinkError(errno);
        return 0;
    }
    info->port_handle = g_port->fd();
    g_port->Purge();

    const int setup = SetupConnection();
    if (setup == 0) {
        const int why = errno;  // before the shutdown's calls overwrite it
        ShutDown(info);
        kvcom::SetLinkError(why != 0 ? why : EINVAL);
        return 0;
    }

    // Cleared before the reader starts, so a hang-up it finds at once stays.
    kvcom::SetLinkError(0);
    info->connected.store(1, std::memory_order_release);
    info->reader_thread_id.store(kThreadStarting, std::memory_order_release);
    if (const int why = pthread_create(&g_reader, nullptr, ReaderEntry, info); why != 0) {
        info->reader_thread_id.store(0, std::memory_order_release);
        ShutDown(info);
        kvcom::SetLinkError(why);
        return 0;
    }
    g_reader_joinable = true;
    g_port->SetDtr(true);
    g_port->SetRts(true);
    kvcom::SetPortTransport(g_port.get());
    return setup;
}

int CloseConnection() {
    if (npTTYInfo != nullptr) ShutDown(npTTYInfo);
    return 1;
}

int DestroyTTYInfo() {
    TTYInfo* info = npTTYInfo;
    if (info == nullptr) return 1;
    ShutDown(info);
    ::close(info->wake_read);
    ::close(info->wake_write);
    npTTYInfo = nullptr;
    delete info;
    return 1;
}

int ReadCommBlock(unsigned char* buf, unsigned int max_len) {
    TTYInfo* info = npTTYInfo;
    if (info == nullptr || info->port_handle < 0 || buf == nullptr || max_len == 0) return 0;
    std::size_t got = 0;
    // A read error counts as nothing read.
    kvcom::ReadWaiting(info->port_handle, buf, max_len, &got);
    return static_cast<int>(got);
}

unsigned int CommWatchProc(TTYInfo* info) {
    if (info == nullptr) return 0;
    info->reader_thread = static_cast<unsigned long>(pthread_self());
    info->reader_thread_id.store(static_cast<unsigned>(::syscall(SYS_gettid)), std::memory_order_release);
    unsigned int result = 1;
    std::uint8_t chunk[kReadChunk];
    bool lost = false;
    int why = 0;  // what ended the link, when it was lost
    while (!lost && info->connected.load(std::memory_order_acquire) != 0) {
        pollfd fds[2] = {{info->port_handle, POLLIN, 0}, {info->wake_read, POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            kvcom::SetLinkError(errno);
            result = 0;  // the port cannot be waited on
            break;
        }
        if (fds[1].revents != 0) {
            // Woken by CloseConnection; a stale wake-up must not make poll spin.
            if (info->connected.load(std::memory_order_acquire) == 0) break;
            DrainWakeups(info->wake_read);
            continue;
        }
        if (fds[0].revents & POLLIN) {
            for (;;) {
                std::size_t got = 0;
                const kvcom::ReadStatus st = kvcom::ReadWaiting(info->port_handle, chunk, sizeof chunk, &got);
                if (st == kvcom::ReadStatus::kData) {
                    kvcom::HandleChunk(chunk, got);
                    continue;
                }
                if (st == kvcom::ReadStatus::kLost) {
                    lost = true;
                    why = errno;
                }
                break;
            }
        }
        // Hang-up (device unplugged, the other end of a pty closed): without
        // this the poll would report the same condition again at once.
        if (!lost && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            lost = true;
            why = (fds[0].revents & POLLNVAL) ? EBADF : EIO;
        }
    }
    if (lost) kvcom::LinkLost(why != 0 ? why : EIO);
    info->reader_thread = 0;
    info->reader_thread_id.store(0, std::memory_order_release);
    return result;
}
