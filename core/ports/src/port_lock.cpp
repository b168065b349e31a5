#include "kvports/port_lock.h"

#include <cstdint>
#include <cstdio>

namespace kvports {

namespace {

// Room left for ".lock" within a file name of 255 bytes.
constexpr std::size_t kMaxLockName = 240;

bool Plain(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

// FNV-1a: the same digest in every process of every build.
std::uint64_t Digest(const std::string& text) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

std::string PortLockKey(PortSystem& sys, const std::string& path) {
    const NodeInfo node = sys.Inspect(path);
    return node.resolved.empty() ? path : node.resolved;
}

std::string PortLockName(const std::string& base, const std::string& key) {
    std::string name = base + "@";
    for (unsigned char c : key) {
        if (Plain(c)) {
            name += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            name += hex;
        }
    }
    if (name.size() <= kMaxLockName) return name;
    char digest[24];
    std::snprintf(digest, sizeof digest, "~%016llx", static_cast<unsigned long long>(Digest(key)));
    std::size_t keep = kMaxLockName - std::string(digest).size();
    // Never cut a %XX in two.
    while (keep > 0 && (name[keep - 1] == '%' || (keep > 1 && name[keep - 2] == '%'))) --keep;
    return name.substr(0, keep) + digest;
}

}  // namespace kvports
