// A clock that runs ten times fast: lets a real-time test see a 30-second
// reply time-out end without sitting through it. The line itself stays real.
#pragma once

#include <time.h>

#include <cstdint>

#include "pacing.h"

namespace kvtest {

class FastClock final : public kvcom::Pacing {
public:
    static constexpr int kFactor = 10;
    std::int64_t NowUs() override { return origin_ + (Real() - origin_) * kFactor; }
    void SleepMs(unsigned ms) override { RealSleepUs(ms * 1000 / kFactor); }
    void SpinUs(unsigned us) override { RealSleepUs(us / kFactor); }
    void Nap() override { RealSleepUs(250); }

private:
    static std::int64_t Real() {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
    }
    static void RealSleepUs(std::int64_t us) {
        const timespec ts{static_cast<time_t>(us / 1'000'000), static_cast<long>(us % 1'000'000) * 1000};
        nanosleep(&ts, nullptr);
    }
    std::int64_t origin_ = Real();
};

}  // namespace kvtest
