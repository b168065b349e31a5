// Where written bytes go. The open serial port is the transport; a test can
// put its own in front of it to capture exactly what would reach the line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvcom {

class Transport {
public:
    virtual ~Transport() = default;
    // Bytes exactly as they go on the line (already inverted). Must copy or
    // finish with them before returning. Returns false, with errno set, when
    // not every byte was sent.
    virtual bool Write(const std::uint8_t* line_bytes, std::size_t n) = 0;
    // Whether the line is there to be written to. Asked only of an installed
    // override: the open port answers through the link's connected flag.
    virtual bool Up() const { return true; }
};

// The transport writes go to: an installed override, else the open port,
// else nowhere (writes to a closed link are dropped silently).
Transport* CurrentTransport();
// Installs an override in front of the port (nullptr removes it).
void SetTransportOverride(Transport* override_transport);

// True while what is written can reach the unit: the override is up, or
// (without one) the link is open and has not been lost.
bool LinkUp();

}  // namespace kvcom
