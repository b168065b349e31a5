#include "hex.h"

#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace kvtest {

Bytes Hex(const std::string& text) {
    Bytes out;
    int hi = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) throw std::invalid_argument("not hex: " + text);
        const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::toupper(c) - 'A' + 10);
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(hi * 16 + v));
            hi = -1;
        }
    }
    if (hi >= 0) throw std::invalid_argument("odd hex digits: " + text);
    return out;
}

std::string ToHex(const std::uint8_t* bytes, std::size_t n) {
    std::string s;
    char buf[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
        s += buf;
    }
    return s;
}

std::string ToHex(const Bytes& bytes) { return ToHex(bytes.data(), bytes.size()); }

Bytes Inverted(const Bytes& bytes) {
    Bytes out(bytes);
    for (auto& x : out) x = static_cast<std::uint8_t>(255 - x);
    return out;
}

}  // namespace kvtest
