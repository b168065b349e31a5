#include "pacing.h"

#include <time.h>

namespace kvcom {

namespace {

std::int64_t MonotonicUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

void SleepUs(std::int64_t us) {
    timespec ts{static_cast<time_t>(us / 1'000'000), static_cast<long>((us % 1'000'000) * 1000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) != 0) {
    }
}

class RealClock final : public Pacing {
public:
    std::int64_t NowUs() override { return MonotonicUs(); }
    void SleepMs(unsigned ms) override { SleepUs(static_cast<std::int64_t>(ms) * 1000); }
    void SpinUs(unsigned us) override {
        const std::int64_t end = MonotonicUs() + us;
        while (MonotonicUs() < end) {
        }
    }
    // 250 us: a poll reacts well within a millisecond and a long wait costs
    // a few thousand wake-ups a second, a small fraction of one core.
    void Nap() override { SleepUs(250); }
};

RealClock g_real_clock;
Pacing* g_pacing = &g_real_clock;

}  // namespace

Pacing& pacing() { return *g_pacing; }

void SetPacing(Pacing* replacement) { g_pacing = replacement ? replacement : &g_real_clock; }

}  // namespace kvcom
