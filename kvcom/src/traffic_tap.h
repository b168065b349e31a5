// The link's side of the traffic tap (SetTrafficTap in kvcom.h): the writer
// reports each message it hands to the line, the reader each chunk it takes
// from the line, cut into whole messages here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvcom {

// Cuts received bytes into the messages of the line, wherever the reads
// split them: System Exclusive (F0 .. F7) and Program Change (C0 p).
// Everything else between messages is one stray record per chunk. A message
// cut short by the next status byte, or longer than the longest the unit
// sends, is handed on as far as it got.
class MessageFramer {
public:
    static constexpr std::size_t kMaxMessage = 5000;

    using Sink = void (*)(const std::uint8_t* message, std::size_t n, void* context);
    void Feed(const std::uint8_t* data, std::size_t n, Sink sink, void* context);
    void Reset();
    bool Holding() const { return len_ > 0 || state_ != State::kIdle; }

private:
    enum class State { kIdle, kSysEx, kProgramChange, kStray, kSkip };

    void Flush(Sink sink, void* context);

    State state_ = State::kIdle;
    std::uint8_t buf_[kMaxMessage];
    std::size_t len_ = 0;
};

// True while a tap is set (one relaxed load).
bool TrafficTapped();
// A message about to go to the line (as built, before the inversion).
void TapSent(const std::uint8_t* message, std::size_t n);
// A chunk the reader took from the line. Reader thread only (or a test
// standing in for it).
void TapReceived(const std::uint8_t* data, std::size_t n);

}  // namespace kvcom
