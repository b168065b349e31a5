// The hand-over from the link's threads to the traffic window: the library's
// tap copies each message into a list under a lock held only for the
// append, and the window takes the whole list on its own thread.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <mutex>
#include <vector>

namespace traffic {

struct TrafficRecord {
    qint64 time_us = 0;  // monotonic clock, as TrafficFeed::NowUs
    int direction = 0;   // TRAFFIC_SENT or TRAFFIC_RECEIVED
    QByteArray bytes;    // one whole message
};

class TrafficFeed {
public:
    // Records waiting for the window beyond this are not kept (counted in
    // Dropped): a window that stops taking them must not grow without bound.
    static constexpr std::size_t kMaxWaiting = 10000;

    TrafficFeed() = default;
    ~TrafficFeed() { Stop(); }
    TrafficFeed(const TrafficFeed&) = delete;
    TrafficFeed& operator=(const TrafficFeed&) = delete;

    // Sets the library's tap to this feed; Stop clears it, and once it
    // returns nothing more arrives. Window's thread.
    void Start();
    void Stop();
    bool Running() const { return running_; }

    // Everything that arrived since the last call, oldest first.
    std::vector<TrafficRecord> Take();
    // Records lost since the last call because nobody took them.
    std::size_t TakeDropped();

    // The clock of the records' times, in microseconds.
    static qint64 NowUs();

private:
    static void Tap(int direction, const unsigned char* bytes, int len, long long time_us, void* context);

    std::mutex mutex_;
    std::vector<TrafficRecord> waiting_;
    std::size_t dropped_ = 0;
    bool running_ = false;
};

}  // namespace traffic
