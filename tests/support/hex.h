// Byte strings written as hex text in tests ("F0 00 20 18 00 2D ...").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

using Bytes = std::vector<std::uint8_t>;

// "F0 00 20" (blanks optional) to bytes; throws std::invalid_argument on bad text.
Bytes Hex(const std::string& text);
// Bytes to "F0 00 20".
std::string ToHex(const Bytes& bytes);
std::string ToHex(const std::uint8_t* bytes, std::size_t n);
// Every byte inverted, as the device's line carries it.
Bytes Inverted(const Bytes& bytes);

}  // namespace kvtest
