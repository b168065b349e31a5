#include "wire_recorder.h"

#include <algorithm>
#include <cerrno>
#include <sstream>

namespace kvtest {

WireEvent Msg(const std::string& hex) { return {WireEvent::kWrite, Hex(hex), 0}; }
WireEvent SleepMs(unsigned ms) { return {WireEvent::kSleepMs, {}, ms}; }
WireEvent SpinUs(unsigned us) { return {WireEvent::kSpinUs, {}, us}; }

WireRecorder::WireRecorder() {
    kvcom::SetPacing(this);
    kvcom::SetTransportOverride(this);
}

WireRecorder::~WireRecorder() {
    kvcom::SetTransportOverride(nullptr);
    kvcom::SetPacing(nullptr);
}

void WireRecorder::SleepMs(unsigned ms) {
    events.push_back({WireEvent::kSleepMs, {}, ms});
    now_us_ += static_cast<std::int64_t>(ms) * 1000;
}

void WireRecorder::SpinUs(unsigned us) {
    events.push_back({WireEvent::kSpinUs, {}, us});
    now_us_ += us;
}

void WireRecorder::Nap() {
    now_us_ += 250;
    nap_us += 250;
}

bool WireRecorder::Write(const std::uint8_t* line_bytes, std::size_t n) {
    if (up && unplug_at_write > 0 && --unplug_at_write == 0) {
        up = false;
        if (bytes_before_unplug > 0) {
            Bytes part(std::min(n, bytes_before_unplug));
            for (std::size_t i = 0; i < part.size(); ++i) part[i] = static_cast<std::uint8_t>(255 - line_bytes[i]);
            events.push_back({WireEvent::kWrite, part, 0});
        }
    }
    if (!up) {
        errno = EIO;
        return false;
    }
    Bytes msg(n);
    for (std::size_t i = 0; i < n; ++i) msg[i] = static_cast<std::uint8_t>(255 - line_bytes[i]);
    events.push_back({WireEvent::kWrite, msg, 0});
    if (on_write) on_write(msg);
    return true;
}

std::vector<Bytes> WireRecorder::Messages() const {
    std::vector<Bytes> out;
    for (const auto& e : events)
        if (e.kind == WireEvent::kWrite) out.push_back(e.bytes);
    return out;
}

std::string Describe(const std::vector<WireEvent>& events) {
    std::ostringstream os;
    for (const auto& e : events) {
        switch (e.kind) {
        case WireEvent::kWrite: os << "  msg   " << ToHex(e.bytes) << "\n"; break;
        case WireEvent::kSleepMs: os << "  sleep " << e.amount << " ms\n"; break;
        case WireEvent::kSpinUs: os << "  spin  " << e.amount << " us\n"; break;
        }
    }
    return os.str();
}

std::string WireRecorder::Describe() const { return kvtest::Describe(events); }

}  // namespace kvtest
