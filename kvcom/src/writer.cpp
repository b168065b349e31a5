// The writer every protocol operation sends through: it gives way to a reply
// being received, inverts every byte (the device's line is inverted) and
// hands a private copy to the transport, so callers may reuse their buffer.
#include <kvcom/kvcom.h>

#include <algorithm>

#include "pacing.h"
#include "reception.h"
#include "transport.h"

namespace {

constexpr int kMidiBufferSize = 5000;
constexpr int kCommBlockSize = 200;
constexpr std::int64_t kThrottleUs = 100'000;

void WriteInverted(const unsigned char* bytes, int len, int capacity) {
    if (bytes == nullptr || len <= 0) return;
    unsigned char line[kMidiBufferSize];
    const int n = std::min(len, capacity);  // never past the buffer
    for (int i = 0; i < n; ++i) line[i] = static_cast<unsigned char>(255 - bytes[i]);
    if (kvcom::Transport* t = kvcom::CurrentTransport()) t->Write(line, static_cast<std::size_t>(n));
}

}  // namespace

int CDSDATA::SendMIDI(const unsigned char* bytes, int len, int /*unused*/) {
    // Give way to a reply in progress, but never for more than 100 ms.
    kvcom::Pacing& p = kvcom::pacing();
    const std::int64_t start = p.NowUs();
    for (;;) {
        const unsigned seen = kvcom::rev_done.load(std::memory_order_acquire);
        if (kvcom::rev_busy.load(std::memory_order_acquire) == 0 || p.NowUs() - start >= kThrottleUs) break;
        p.NapUntilChanged(kvcom::rev_done, seen);
    }
    WriteInverted(bytes, len, kMidiBufferSize);
    return 1;
}

int WriteCommBlock(const unsigned char* bytes, unsigned int len) {
    WriteInverted(bytes, static_cast<int>(std::min<unsigned>(len, kCommBlockSize)), kCommBlockSize);
    return 1;
}
