// The words the GUI thread and the reader thread share, and the waits on them.
// Every wait also watches the link: a loss bumps rev_done, so a sleeping wait
// wakes at once, sees the link down and gives up.
#include "pacing.h"
#include "reception.h"
#include "transport.h"

namespace kvcom {

std::atomic<int> rev_busy{0};
std::atomic<int> rev_mode{REV_IDLE};
std::atomic<unsigned> rev_done{0};
std::atomic<bool> rev_damaged{false};
unsigned char rev_dev = 0;
CDSDATA rev_data;

namespace {

bool LinkDown() { return !LinkUp(); }

}  // namespace

int WaitReply(int timeout_ms) {
    Pacing& p = pacing();
    const std::int64_t start = p.NowUs();
    const std::int64_t limit = static_cast<std::int64_t>(timeout_ms) * 1000;
    for (;;) {
        const unsigned seen = rev_done.load(std::memory_order_acquire);
        if (LinkDown()) return 1;
        if (rev_busy.load(std::memory_order_acquire) == 0 || p.NowUs() - start >= limit) break;
        p.NapUntilChanged(rev_done, seen);
    }
    return rev_busy.load(std::memory_order_acquire);
}

int RaiseAndWaitReply(int timeout_ms, unsigned done_before, bool (*stop)()) {
    rev_busy.store(1, std::memory_order_release);
    Pacing& p = pacing();
    const std::int64_t start = p.NowUs();
    const std::int64_t limit = static_cast<std::int64_t>(timeout_ms) * 1000;
    for (;;) {
        // rev_done moves on a reader transition or a loss of the link; the
        // link is looked at after it, so a loss is never taken for a reply.
        const unsigned seen = rev_done.load(std::memory_order_acquire);
        if (LinkDown()) return 1;
        // A reply that completed between the request and the raise above has
        // already bumped rev_done: it counts, and rev_busy goes back down.
        if (seen != done_before) {
            rev_busy.store(0, std::memory_order_release);
            return 0;
        }
        if (rev_busy.load(std::memory_order_acquire) == 0) return 0;
        if (p.NowUs() - start >= limit || (stop != nullptr && stop())) return 1;
        p.NapUntilChanged(rev_done, seen);
    }
}

void DelayUs(unsigned us) { pacing().SpinUs(us); }

bool PauseMs(unsigned ms) {
    if (LinkDown()) return false;
    pacing().SleepMsUnless(ms, rev_done, LinkDown);
    return LinkUp();
}

bool PauseUs(unsigned us) {
    if (LinkDown()) return false;
    DelayUs(us);
    return LinkUp();
}

}  // namespace kvcom

int LastReplyDamaged() { return kvcom::rev_damaged.load(std::memory_order_acquire) ? 1 : 0; }
