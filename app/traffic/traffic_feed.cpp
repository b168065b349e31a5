#include "traffic/traffic_feed.h"

#include <kvcom/kvcom.h>
#include <time.h>

namespace traffic {

void TrafficFeed::Start() {
    if (running_) return;
    SetTrafficTap(&TrafficFeed::Tap, this);
    running_ = true;
}

void TrafficFeed::Stop() {
    if (!running_) return;
    SetTrafficTap(nullptr, nullptr);
    running_ = false;
}

std::vector<TrafficRecord> TrafficFeed::Take() {
    std::vector<TrafficRecord> out;
    std::lock_guard<std::mutex> lock(mutex_);
    out.swap(waiting_);
    return out;
}

std::size_t TrafficFeed::TakeDropped() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t n = dropped_;
    dropped_ = 0;
    return n;
}

qint64 TrafficFeed::NowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

// On the device thread or the reader thread: copy, append, return.
void TrafficFeed::Tap(int direction, const unsigned char* bytes, int len, long long time_us, void* context) {
    auto* feed = static_cast<TrafficFeed*>(context);
    TrafficRecord r{time_us, direction, QByteArray(reinterpret_cast<const char*>(bytes), len)};
    std::lock_guard<std::mutex> lock(feed->mutex_);
    if (feed->waiting_.size() >= kMaxWaiting) {
        ++feed->dropped_;
        return;
    }
    feed->waiting_.push_back(std::move(r));
}

}  // namespace traffic
