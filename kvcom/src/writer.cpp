// The writer every protocol operation sends through: it gives way to a reply
// being received, inverts every byte (the device's line is inverted) and
// hands a private copy to the transport, so callers may reuse their buffer.
// A write that does not go out whole means the line is gone: the link is
// closed as a hang-up closes it, and the caller gets 0.
#include <kvcom/kvcom.h>

#include <algorithm>
#include <cerrno>

#include "link_port.h"
#include "pacing.h"
#include "reception.h"
#include "traffic_tap.h"
#include "transport.h"

namespace {

constexpr int kMidiBufferSize = 5000;
constexpr int kCommBlockSize = 200;
constexpr std::int64_t kThrottleUs = 100'000;

// True when every byte (up to the writer's capacity) reached the transport.
bool WriteInverted(const unsigned char* bytes, int len, int capacity) {
    kvcom::Transport* t = kvcom::CurrentTransport();
    if (t == nullptr) return false;  // the link is closed: nowhere to write
    if (len <= 0) return len == 0;   // nothing to send is no failure
    if (bytes == nullptr) return false;
    unsigned char line[kMidiBufferSize];
    const int n = std::min(len, capacity);  // never past the buffer
    for (int i = 0; i < n; ++i) line[i] = static_cast<unsigned char>(255 - bytes[i]);
    kvcom::TapSent(bytes, static_cast<std::size_t>(n));
    errno = 0;
    if (t->Write(line, static_cast<std::size_t>(n))) return true;
    kvcom::LinkLost(errno != 0 ? errno : EIO);
    return false;
}

}  // namespace

int CDSDATA::SendMIDI(const unsigned char* bytes, int len, int /*unused*/) {
    // Give way to a reply in progress, but never for more than 100 ms, and
    // not at all once the link is gone.
    kvcom::Pacing& p = kvcom::pacing();
    const std::int64_t start = p.NowUs();
    for (;;) {
        const unsigned seen = kvcom::rev_done.load(std::memory_order_acquire);
        if (kvcom::rev_busy.load(std::memory_order_acquire) == 0 || p.NowUs() - start >= kThrottleUs ||
            !kvcom::LinkUp())
            break;
        p.NapUntilChanged(kvcom::rev_done, seen);
    }
    return WriteInverted(bytes, len, kMidiBufferSize) ? 1 : 0;
}

int WriteCommBlock(const unsigned char* bytes, unsigned int len) {
    return WriteInverted(bytes, static_cast<int>(std::min<unsigned>(len, kCommBlockSize)), kCommBlockSize) ? 1 : 0;
}
