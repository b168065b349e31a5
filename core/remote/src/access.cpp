#include "kvremote/access.h"

#include <sys/random.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace kvremote {

namespace {

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool IsIpv4(std::string_view s) {
    int parts = 0, digits = 0;
    for (char c : s) {
        if (c == '.') {
            if (digits == 0) return false;
            ++parts;
            digits = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c)) && digits < 3) {
            ++digits;
        } else {
            return false;
        }
    }
    return parts == 3 && digits > 0;
}

bool IsBracketedIpv6(std::string_view s) {
    if (s.size() < 3 || s.front() != '[' || s.back() != ']') return false;
    return std::all_of(s.begin() + 1, s.end() - 1,
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; });
}

// The host part of a Host header value, lower case, without the port.
std::string HostPart(std::string_view host) {
    host = Trimmed(host);
    std::string_view name = host;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string_view::npos) return {};
        name = host.substr(0, close + 1);
        const std::string_view rest = host.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || rest.size() == 1)) return {};
    } else if (const auto colon = host.rfind(':'); colon != std::string_view::npos) {
        name = host.substr(0, colon);
        const std::string_view port = host.substr(colon + 1);
        if (port.empty() || !std::all_of(port.begin(), port.end(), [](char c) { return std::isdigit(c) != 0; }))
            return {};
    }
    std::string out(name);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

std::string NewToken() {
    std::array<unsigned char, 16> bits{};
    std::size_t got = 0;
    while (got < bits.size()) {
        const ssize_t n = ::getrandom(bits.data() + got, bits.size() - got, 0);
        if (n > 0) got += static_cast<std::size_t>(n);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bits) {
        token += kHex[b >> 4];
        token += kHex[b & 0x0F];
    }
    return token;
}

bool SameToken(std::string_view a, std::string_view b) {
    // Every byte of the longer one is looked at, whatever the first
    // difference; the lengths count as a difference too.
    const std::size_t n = std::max(a.size(), b.size());
    unsigned diff = static_cast<unsigned>(a.size() ^ b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        diff |= static_cast<unsigned>(x ^ y);
    }
    return diff == 0;
}

std::string CookieToken(std::string_view cookie_header) {
    std::string_view rest = cookie_header;
    while (!rest.empty()) {
        const auto semi = rest.find(';');
        std::string_view pair = Trimmed(rest.substr(0, semi));
        rest = semi == std::string_view::npos ? std::string_view{} : rest.substr(semi + 1);
        const auto eq = pair.find('=');
        if (eq != std::string_view::npos && Trimmed(pair.substr(0, eq)) == kTokenCookie)
            return std::string(Trimmed(pair.substr(eq + 1)));
    }
    return {};
}

Access AccessOf(const AccessPolicy& policy, std::string_view authorization, std::string_view cookie,
                std::string_view query_token) {
    if (policy.token.empty() && policy.read_only_token.empty()) return Access::kFull;
    std::string offered;
    authorization = Trimmed(authorization);
    if (authorization.size() > 7 && std::equal(authorization.begin(), authorization.begin() + 7, "Bearer ",
                                               [](char x, char y) { return std::tolower(x) == std::tolower(y); }))
        offered = std::string(Trimmed(authorization.substr(7)));
    if (offered.empty()) offered = CookieToken(cookie);
    if (offered.empty()) offered = std::string(query_token);
    if (offered.empty()) return Access::kNone;
    // Both are compared every time, so the answer takes as long either way.
    const bool full = !policy.token.empty() && SameToken(offered, policy.token);
    const bool read = !policy.read_only_token.empty() && SameToken(offered, policy.read_only_token);
    return full ? Access::kFull : read ? Access::kRead : Access::kNone;
}

bool HostAllowed(const AccessPolicy& policy, std::string_view host_header) {
    const std::string host = HostPart(host_header);
    if (host.empty()) return false;
    if (host == "localhost" || IsIpv4(host) || IsBracketedIpv6(host)) return true;
    return std::any_of(policy.host_names.begin(), policy.host_names.end(), [&host](const std::string& name) {
        return HostPart(name) == host;
    });
}

bool OriginAllowed(std::string_view origin, std::string_view host_header) {
    origin = Trimmed(origin);
    if (origin.empty()) return true;
    const std::string_view scheme = "http://";
    if (origin.substr(0, scheme.size()) != scheme) return false;
    std::string a(origin.substr(scheme.size())), b(Trimmed(host_header));
    auto lower = [](std::string& s) {
        std::transform(s.begin(), s.end(), s.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    };
    lower(a);
    lower(b);
    return !a.empty() && a == b;
}

}  // namespace kvremote
