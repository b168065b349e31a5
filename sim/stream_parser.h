// Cuts the byte stream from the PC into MIDI messages, wherever the reads
// happen to split it: System Exclusive messages (F0 .. F7) and Program
// Change (C0 p). Everything else is handed back as junk so it can be logged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kvsim {

using Bytes = std::vector<std::uint8_t>;

class StreamParser {
public:
    // A SysEx message longer than this is dropped (the longest program
    // image is under 2000 bytes).
    static constexpr std::size_t kMaxMessage = 6000;

    using MessageSink = std::function<void(const Bytes& message)>;
    using JunkSink = std::function<void(const Bytes& bytes, const std::string& why)>;

    // Feeds bytes; calls on_message for every message completed and on_junk
    // for every run of bytes dropped. A message may span many calls.
    void Feed(const std::uint8_t* data, std::size_t n, const MessageSink& on_message, const JunkSink& on_junk);

private:
    enum class State { kIdle, kSysEx, kProgramChange, kOversize };

    void Byte(std::uint8_t b, const MessageSink& on_message);
    void Junk(const Bytes& bytes, const char* why);
    void Junk(std::uint8_t b, const char* why);
    void FlushJunk(const JunkSink& on_junk);

    State state_ = State::kIdle;
    Bytes message_;
    Bytes junk_;
    std::string junk_why_;
};

}  // namespace kvsim
