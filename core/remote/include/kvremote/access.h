// Who may do what over the network. Bound to the loopback address, the
// server takes every request; listening on any other address it needs a
// token: the full token may change the unit, the read-only token only
// watch. Requests carry it as "Authorization: Bearer <token>"; the page and
// its WebSocket as the cookie set when the URL was opened once with
// ?token=. The Host and Origin headers are checked so that a page on
// another site cannot reach the server through the user's browser (DNS
// rebinding, cross-site requests).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvremote {

struct AccessPolicy {
    std::string token;            // empty: no token needed (loopback only)
    std::string read_only_token;  // empty: none
    bool allow_reset = false;     // configuration, link, Download, Store over the network
    // Names the Host header may carry besides IP literals and "localhost"
    // (e.g. "rackpc.local"), each without the port.
    std::vector<std::string> host_names;
};

enum class Access { kNone, kRead, kFull };

// The name of the cookie that carries the token.
inline constexpr std::string_view kTokenCookie = "kv_token";

// A new token: 128 random bits as 32 hex digits (from the kernel's random
// source).
std::string NewToken();

// Equal in a time that does not depend on where they differ.
bool SameToken(std::string_view a, std::string_view b);

// The access a request has by the token it carries (Authorization header,
// then the cookie, then ?token=); kFull when the policy needs no token.
Access AccessOf(const AccessPolicy& policy, std::string_view authorization, std::string_view cookie,
                std::string_view query_token);

// The token the cookie header carries, or "".
std::string CookieToken(std::string_view cookie_header);

// Whether the Host header names this server: an IP literal (v4 or [v6]),
// "localhost", or one of the policy's names, with or without the port.
bool HostAllowed(const AccessPolicy& policy, std::string_view host_header);

// Whether an Origin header (sent by browsers) names the same server as the
// Host header: "http://<host>". Requests without Origin pass.
bool OriginAllowed(std::string_view origin, std::string_view host_header);

}  // namespace kvremote
