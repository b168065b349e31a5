// The traffic tap. The link's threads never wait for a setter: they count
// themselves in, look whether the tap is still there and call it. A setter
// takes the tap away first and then waits for the calls in progress to end,
// so that once it returns nobody calls the old tap again.
#include "traffic_tap.h"

#include <kvcom/kvcom.h>
#include <time.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace kvcom {

namespace {

struct TapSlot {
    std::atomic<TrafficTap> tap{nullptr};
    std::atomic<void*> context{nullptr};
    std::atomic<int> calls{0};  // calls in progress
};

TapSlot g_slot;
std::atomic<TapSlot*> g_active{nullptr};
std::mutex g_setters;  // one setter at a time; the link's threads never take it

MessageFramer g_received;  // reader thread only

long long MonotonicUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

void Call(int direction, const std::uint8_t* bytes, std::size_t n, long long time_us) {
    // Counting in before looking again pairs with the setter's clearing
    // before counting: either the setter sees this call and waits for it, or
    // this call sees the tap gone and skips it.
    g_slot.calls.fetch_add(1, std::memory_order_seq_cst);
    if (g_active.load(std::memory_order_seq_cst) == &g_slot) {
        const TrafficTap tap = g_slot.tap.load(std::memory_order_relaxed);
        void* const context = g_slot.context.load(std::memory_order_relaxed);
        tap(direction, bytes, static_cast<int>(n), time_us, context);
    }
    g_slot.calls.fetch_sub(1, std::memory_order_release);
}

void CallReceived(const std::uint8_t* message, std::size_t n, void* time_us) {
    Call(TRAFFIC_RECEIVED, message, n, *static_cast<const long long*>(time_us));
}

bool IsProgramChange(std::uint8_t b) { return (b & 0xF0) == 0xC0; }

}  // namespace

void MessageFramer::Reset() {
    state_ = State::kIdle;
    len_ = 0;
}

void MessageFramer::Flush(Sink sink, void* context) {
    if (len_ > 0) sink(buf_, len_, context);
    len_ = 0;
}

void MessageFramer::Feed(const std::uint8_t* data, std::size_t n, Sink sink, void* context) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = data[i];
        if (b == 0xF0) {  // a new message, whatever was going on
            Flush(sink, context);
            state_ = State::kSysEx;
            buf_[len_++] = b;
            continue;
        }
        switch (state_) {
        case State::kSysEx:
            if (b == 0xF7) {
                buf_[len_++] = b;
                Flush(sink, context);
                state_ = State::kIdle;
                continue;
            }
            if (b < 0x80) {
                if (len_ + 1 < kMaxMessage) {  // keep room for the F7
                    buf_[len_++] = b;
                } else {
                    Flush(sink, context);
                    state_ = State::kSkip;
                }
                continue;
            }
            Flush(sink, context);  // cut short by another status byte
            break;
        case State::kProgramChange:
            if (b < 0x80) {
                buf_[len_++] = b;
                Flush(sink, context);
                state_ = State::kIdle;
                continue;
            }
            Flush(sink, context);
            break;
        case State::kSkip:
            if (b < 0x80) continue;
            state_ = State::kIdle;
            if (b == 0xF7) continue;  // the end of the overlong message
            break;
        case State::kIdle:
        case State::kStray: break;
        }
        // Between messages.
        if (IsProgramChange(b)) {
            Flush(sink, context);
            state_ = State::kProgramChange;
            buf_[len_++] = b;
            continue;
        }
        if (len_ == kMaxMessage) Flush(sink, context);
        state_ = State::kStray;
        buf_[len_++] = b;
    }
    if (state_ == State::kStray) {
        Flush(sink, context);
        state_ = State::kIdle;
    }
}

bool TrafficTapped() { return g_active.load(std::memory_order_relaxed) != nullptr; }

void TapSent(const std::uint8_t* message, std::size_t n) {
    if (!TrafficTapped() || n == 0) return;
    Call(TRAFFIC_SENT, message, n, MonotonicUs());
}

void TapReceived(const std::uint8_t* data, std::size_t n) {
    if (!TrafficTapped()) {
        // A tap set later starts with the next message, not with leftovers.
        if (g_received.Holding()) g_received.Reset();
        return;
    }
    long long now = MonotonicUs();
    g_received.Feed(data, n, CallReceived, &now);
}

}  // namespace kvcom

void SetTrafficTap(TrafficTap tap, void* context) {
    using namespace kvcom;
    std::lock_guard<std::mutex> lock(g_setters);
    g_active.store(nullptr, std::memory_order_seq_cst);
    while (g_slot.calls.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
    g_slot.tap.store(tap, std::memory_order_relaxed);
    g_slot.context.store(context, std::memory_order_relaxed);
    if (tap != nullptr) g_active.store(&g_slot, std::memory_order_seq_cst);
}
