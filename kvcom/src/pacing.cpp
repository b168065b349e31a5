#include "pacing.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <climits>

namespace kvcom {

namespace {

static_assert(sizeof(std::atomic<unsigned>) == sizeof(int) && std::atomic<unsigned>::is_always_lock_free,
              "a futex needs a plain 32-bit word");

// The kernel waits on the word's address.
int* FutexWord(const std::atomic<unsigned>& word) {
    return reinterpret_cast<int*>(const_cast<std::atomic<unsigned>*>(&word));
}

std::int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::int64_t MonotonicUs() { return MonotonicNs() / 1000; }

void SleepUs(std::int64_t us) {
    timespec ts{static_cast<time_t>(us / 1'000'000), static_cast<long>((us % 1'000'000) * 1000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) != 0) {}
}

timespec AtNs(std::int64_t ns) {
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

// Sleeps until the monotonic clock reads `deadline_ns`; an interrupted sleep
// resumes toward the same deadline, so signals never stretch a pause.
void SleepUntilNs(std::int64_t deadline_ns) {
    const timespec ts = AtNs(deadline_ns);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) != 0) {}
}

// A sleep overshoots by the kernel's timer slack (about 50 us); waking this
// long before an exact deadline and spinning the rest keeps the gap exact
// while the core is free for all but the last moment.
constexpr std::int64_t kSpinTailNs = 200'000;

class RealClock final : public Pacing {
public:
    std::int64_t NowUs() override { return MonotonicUs(); }
    void SleepMs(unsigned ms) override { SleepUntilNs(MonotonicNs() + static_cast<std::int64_t>(ms) * 1'000'000); }
    // Measured in nanoseconds, so the gap is never a fraction of a
    // microsecond short.
    void SpinUs(unsigned us) override {
        const std::int64_t end = MonotonicNs() + static_cast<std::int64_t>(us) * 1000;
        if (static_cast<std::int64_t>(us) * 1000 > kSpinTailNs) SleepUntilNs(end - kSpinTailNs);
        while (MonotonicNs() < end) {}
    }
    // 250 us: a poll reacts well within a millisecond and a long wait costs
    // a few thousand wake-ups a second, a small fraction of one core.
    void Nap() override { SleepUs(250); }
    // Sleeps in the kernel until the reader signals a change, at most 2 ms
    // at a time: a wait reacts at once to a reply and costs next to no CPU.
    void NapUntilChanged(const std::atomic<unsigned>& word, unsigned seen) override {
        const timespec limit{0, 2'000'000};
        syscall(SYS_futex, FutexWord(word), FUTEX_WAIT_PRIVATE, seen, &limit, nullptr, 0);
    }
    // Sleeps in the kernel to the pause's absolute deadline, like SleepMs,
    // but wakes whenever `word` changes to ask whether to stop.
    void SleepMsUnless(unsigned ms, const std::atomic<unsigned>& word, bool (*stop)()) override {
        const std::int64_t deadline = MonotonicNs() + static_cast<std::int64_t>(ms) * 1'000'000;
        const timespec at = AtNs(deadline);
        for (;;) {
            const unsigned seen = word.load(std::memory_order_acquire);
            if (stop() || MonotonicNs() >= deadline) return;
            // An absolute CLOCK_MONOTONIC time-out; returns on a change, a
            // signal or the deadline, and the loop looks again.
            syscall(SYS_futex, FutexWord(word), FUTEX_WAIT_BITSET_PRIVATE, seen, &at, nullptr, FUTEX_BITSET_MATCH_ANY);
        }
    }
};

RealClock g_real_clock;
Pacing* g_pacing = &g_real_clock;

}  // namespace

Pacing& pacing() { return *g_pacing; }

void SignalChanged(std::atomic<unsigned>& word) {
    syscall(SYS_futex, FutexWord(word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

void SetPacing(Pacing* replacement) { g_pacing = replacement ? replacement : &g_real_clock; }

}  // namespace kvcom
