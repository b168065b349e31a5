#include "serial_port.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kvcom {

namespace {

// A write that cannot go on for this long means the line is stuck.
constexpr int kWriteStallMs = 2000;

bool SpeedCode(unsigned baud, speed_t* out) {
    struct Rate {
        unsigned baud;
        speed_t code;
    };
    static constexpr Rate kRates[] = {
        {110, B110},   {300, B300},     {600, B600},     {1200, B1200},   {2400, B2400},     {4800, B4800},
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
    };
    for (const Rate& r : kRates) {
        if (r.baud == baud) {
            *out = r.code;
            return true;
        }
    }
    return false;
}

tcflag_t SizeFlag(unsigned char byte_size) {
    switch (byte_size) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

void ModemLine(int fd, int line, bool on) {
    // A pseudo-terminal has no modem lines and refuses this: that is fine.
    (void)ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

}  // namespace

ReadStatus ReadWaiting(int fd, std::uint8_t* buf, std::size_t max, std::size_t* got) {
    *got = 0;
    for (;;) {
        const ssize_t r = ::read(fd, buf, max);
        if (r > 0) {
            *got = static_cast<std::size_t>(r);
            return ReadStatus::kData;
        }
        if (r == 0) return ReadStatus::kNothing;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return ReadStatus::kNothing;
        return ReadStatus::kLost;  // EIO, ENXIO, ENODEV, EBADF: the device is gone
    }
}

std::unique_ptr<SerialPort> SerialPort::Open(const char* path) {
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (!::isatty(fd)) {
        ::close(fd);
        errno = ENOTTY;
        return nullptr;
    }
    // The lock refuses a second opener even when it runs as root (which the
    // terminal's exclusive mode does not); exclusive mode keeps out programs
    // that do not lock.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        errno = EBUSY;
        return nullptr;
    }
    (void)ioctl(fd, TIOCEXCL);
    return std::unique_ptr<SerialPort>(new SerialPort(fd));
}

SerialPort::~SerialPort() {
    // Nothing queued may hold up the close (a tty waits for its output).
    ::tcflush(fd_, TCIOFLUSH);
    (void)ioctl(fd_, TIOCNXCL);
    ::close(fd_);
}

bool SerialPort::Configure(const LineSettings& s) {
    speed_t speed;
    if (!SpeedCode(s.baud_rate, &speed)) {
        errno = EINVAL;
        return false;
    }
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= SizeFlag(s.byte_size) | CLOCAL | CREAD;
    if (s.parity == 1) t.c_cflag |= PARENB | PARODD;
    if (s.parity == 2) t.c_cflag |= PARENB;
    if (s.parity != 0) t.c_iflag |= INPCK;
    if (s.stop_bits != 0) t.c_cflag |= CSTOPB;
    // DTR/DSR handshake has no termios equivalent; RTS/CTS and XON/XOFF do.
    if (s.flow_control & 0x02) t.c_cflag |= CRTSCTS;
    if (s.flow_control & 0x04) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = 0x11;
        t.c_cc[VSTOP] = 0x13;
    }
    // Reads return at once with whatever is there; the reader polls.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return false;
    return ::tcsetattr(fd_, TCSANOW, &t) == 0;
}

void SerialPort::Purge() { ::tcflush(fd_, TCIOFLUSH); }

void SerialPort::SetDtr(bool on) { ModemLine(fd_, TIOCM_DTR, on); }

void SerialPort::SetRts(bool on) { ModemLine(fd_, TIOCM_RTS, on); }

bool SerialPort::Write(const std::uint8_t* line_bytes, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd_, line_bytes + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w == 0) {
            errno = EIO;
            return false;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) return false;  // EIO, ENXIO...: the device is gone
        // The output queue is full: wait until it drains a little.
        pollfd p{fd_, POLLOUT, 0};
        int r;
        do {
            r = ::poll(&p, 1, kWriteStallMs);
        } while (r < 0 && errno == EINTR);
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            errno = EIO;  // hung up while the queue was full
            return false;
        }
        if (r == 0) errno = ETIMEDOUT;  // stuck: these bytes are lost
        if (r <= 0) return false;
    }
    return true;
}

}  // namespace kvcom
