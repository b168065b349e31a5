// A serial port on POSIX termios: opened exclusively, raw, non-blocking, and
// usable as the writer's transport. Pseudo-terminals work too: the modem
// line calls they refuse are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "transport.h"

namespace kvcom {

// Line settings in the link record's codes.
struct LineSettings {
    unsigned baud_rate = 19200;
    unsigned char byte_size = 8;     // 5..8 data bits
    unsigned char parity = 0;        // 0 none, 1 odd, 2 even
    unsigned char stop_bits = 0;     // 0 one stop bit, 2 two (1, one and a half, counts as two)
    unsigned char flow_control = 0;  // bit 0 DTR/DSR, bit 1 RTS/CTS, bit 2 XON/XOFF
};

// What one read found.
enum class ReadStatus {
    kData,     // bytes came (count returned)
    kNothing,  // nothing waiting
    kLost,     // the device is gone (hang-up, EIO, ENXIO...): stop reading
};

// Reads up to max bytes that are waiting on a non-blocking descriptor. On
// kLost errno holds the read's error.
ReadStatus ReadWaiting(int fd, std::uint8_t* buf, std::size_t max, std::size_t* got);

class SerialPort final : public Transport {
public:
    // Opens the device for reading and writing, without making it the
    // controlling terminal, and locks it so a second opener is refused.
    // Returns nullptr with errno set when it cannot be opened (ENOENT,
    // EACCES...), is no terminal (ENOTTY) or is in use (EBUSY).
    static std::unique_ptr<SerialPort> Open(const char* path);
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    int fd() const { return fd_; }

    // Raw mode with the given rate, framing and handshake. False with errno
    // set when the device rejects the settings (EINVAL for a rate that is
    // not a standard one).
    bool Configure(const LineSettings& s);
    // Drops whatever is queued in either direction.
    void Purge();
    // DTR and RTS on or off; ignored by devices without modem lines.
    void SetDtr(bool on);
    void SetRts(bool on);

    // Writes every byte before it returns (the caller may reuse its buffer
    // at once). Gives up only when the line stays blocked for two seconds
    // (errno ETIMEDOUT) or the device fails (EIO, ENXIO...: it is gone);
    // returns false then, whatever part of the bytes went out.
    bool Write(const std::uint8_t* line_bytes, std::size_t n) override;

private:
    explicit SerialPort(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace kvcom
