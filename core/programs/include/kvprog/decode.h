// Protocol messages in words, both directions, one line each: "Out 3 gain
// -2.4 dB", "identity reply, unit 0", "program image, 522 bytes, memory 5
// 'SHOW3'", "program change 4, memory 5", or "unknown message" with its
// bytes. Messages are taken as the protocol defines them, before the line's
// byte inversion.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kvprog {

// One message on its own.
std::string DecodeMessage(std::span<const std::uint8_t> message);

// A stream of messages in the order they went over the line: a parameter
// message that repeats the one before it for the stereo partner reads
// "Out 1&2 link repeat" (or "In A&B link repeat").
class MessageDecoder {
public:
    std::string Decode(std::span<const std::uint8_t> message);
    void Reset() { previous_.clear(); }

private:
    std::vector<std::uint8_t> previous_;
};

// "F0 00 20 18".
std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace kvprog
