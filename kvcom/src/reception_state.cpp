// The words the GUI thread and the reader thread share, and the waits on them.
#include "pacing.h"
#include "reception.h"

namespace kvcom {

std::atomic<int> rev_busy{0};
std::atomic<int> rev_mode{REV_IDLE};
std::atomic<unsigned> rev_done{0};
unsigned char rev_dev = 0;
CDSDATA rev_data;

int WaitReply(int timeout_ms) {
    Pacing& p = pacing();
    const std::int64_t start = p.NowUs();
    const std::int64_t limit = static_cast<std::int64_t>(timeout_ms) * 1000;
    for (;;) {
        const unsigned seen = rev_done.load(std::memory_order_acquire);
        if (rev_busy.load(std::memory_order_acquire) == 0 || p.NowUs() - start >= limit) break;
        p.NapUntilChanged(rev_done, seen);
    }
    return rev_busy.load(std::memory_order_acquire);
}

int RaiseAndWaitReply(int timeout_ms, unsigned done_before) {
    rev_busy.store(1, std::memory_order_release);
    // A reply that completed between the request and the line above has
    // already bumped rev_done: it counts, and rev_busy goes back down.
    if (rev_done.load(std::memory_order_acquire) != done_before) {
        rev_busy.store(0, std::memory_order_release);
        return 0;
    }
    Pacing& p = pacing();
    const std::int64_t start = p.NowUs();
    const std::int64_t limit = static_cast<std::int64_t>(timeout_ms) * 1000;
    while (rev_busy.load(std::memory_order_acquire) != 0 && p.NowUs() - start < limit) {
        if (rev_done.load(std::memory_order_acquire) != done_before) {
            rev_busy.store(0, std::memory_order_release);
            break;
        }
        p.NapUntilChanged(rev_done, done_before);
    }
    return rev_busy.load(std::memory_order_acquire);
}

void DelayUs(unsigned us) { pacing().SpinUs(us); }

}  // namespace kvcom
