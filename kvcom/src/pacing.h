// The one seam through which the library waits: sleeps between messages,
// microsecond busy-waits, the millisecond clock and the short naps of the
// reply and throttle polls. The shipped library uses the real clock; tests
// install a recording clock to check the exact pauses without waiting.
#pragma once

#include <atomic>
#include <cstdint>

namespace kvcom {

class Pacing {
public:
    virtual ~Pacing() = default;
    // Monotonic time in microseconds.
    virtual std::int64_t NowUs() = 0;
    // An ordinary sleep of whole milliseconds (the protocol's pauses).
    virtual void SleepMs(unsigned ms) = 0;
    // A busy-wait: the device needs these short gaps to be exact.
    virtual void SpinUs(unsigned us) = 0;
    // A short sleep between two polls of a flag, so a wait costs almost no
    // CPU yet still reacts within a millisecond.
    virtual void Nap() = 0;
    // Like Nap, but may return as soon as `word` no longer holds `seen`
    // (the reader signals each change with SignalChanged). Callers re-check
    // their condition and deadline after it returns.
    virtual void NapUntilChanged(const std::atomic<unsigned>& word, unsigned seen) {
        (void)word;
        (void)seen;
        Nap();
    }
    // SleepMs that may end early once `stop()` holds; `word` changes
    // whenever it may have begun to (see NapUntilChanged). A clock that
    // cannot be woken sleeps the whole pause; callers check stop() after.
    virtual void SleepMsUnless(unsigned ms, const std::atomic<unsigned>& word, bool (*stop)()) {
        (void)word;
        (void)stop;
        SleepMs(ms);
    }
};

// Wakes every thread waiting in NapUntilChanged on `word`.
void SignalChanged(std::atomic<unsigned>& word);

// The pacing in force; the real clock unless a replacement is installed.
Pacing& pacing();
// Installs a replacement (nullptr restores the real clock). Not thread-safe:
// install before any operation runs.
void SetPacing(Pacing* replacement);

// Convenience wrappers used throughout the library.
inline std::int64_t NowMs() { return pacing().NowUs() / 1000; }
inline void SleepMs(unsigned ms) { pacing().SleepMs(ms); }

}  // namespace kvcom
