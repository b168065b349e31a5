// Stands in for the clock and the line at once, so a test sees every message
// the library writes and every pause between them, in order, without waiting.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hex.h"
#include "pacing.h"
#include "transport.h"

namespace kvtest {

struct WireEvent {
    enum Kind { kWrite, kSleepMs, kSpinUs } kind;
    Bytes bytes;          // kWrite: the message as built (line bytes inverted back)
    unsigned amount = 0;  // kSleepMs: milliseconds; kSpinUs: microseconds

    bool operator==(const WireEvent&) const = default;
};

// Shorthands for expected sequences.
WireEvent Msg(const std::string& hex);
WireEvent SleepMs(unsigned ms);
WireEvent SpinUs(unsigned us);

// Installs itself as the library's pacing and transport for its lifetime.
class WireRecorder : public kvcom::Pacing, public kvcom::Transport {
public:
    WireRecorder();
    ~WireRecorder() override;
    WireRecorder(const WireRecorder&) = delete;
    WireRecorder& operator=(const WireRecorder&) = delete;

    // Pacing: virtual time that only moves when the library waits.
    std::int64_t NowUs() override { return now_us_; }
    void SleepMs(unsigned ms) override;
    void SpinUs(unsigned us) override;
    void Nap() override;

    // Transport: records the message; then calls on_write (a test may answer
    // through kvcom::HandleChunk from there, as a device would).
    bool Write(const std::uint8_t* line_bytes, std::size_t n) override;
    std::function<void(const Bytes& message)> on_write;

    // The line as a test wants it: `up` false is a dead port (every write
    // fails, nothing is recorded). `unplug_at_write` n > 0 pulls the
    // adapter at the n-th write from now: that write fails with EIO (its
    // first `bytes_before_unplug` bytes reach the line, recorded as a
    // partial message) and the line stays down.
    bool Up() const override { return up; }
    bool up = true;
    int unplug_at_write = 0;
    std::size_t bytes_before_unplug = 0;

    std::vector<WireEvent> events;
    std::int64_t nap_us = 0;  // time spent in polls, kept out of `events`

    // Only the messages, in order.
    std::vector<Bytes> Messages() const;
    // Readable dump for failure output: one event per line.
    std::string Describe() const;
    void Clear() {
        events.clear();
        nap_us = 0;
    }

private:
    std::int64_t now_us_ = 1'000'000;
};

std::string Describe(const std::vector<WireEvent>& events);

}  // namespace kvtest
