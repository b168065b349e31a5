// The calling program's string table, read on its behalf: the program
// registers its lookup at start-up and the library hands entries back in one
// static buffer.
#include <kvcom/kvcom.h>

#include <atomic>
#include <cstring>

namespace {

constexpr std::size_t kStringBufferSize = 512;
std::atomic<TalsenStringLookup> g_lookup{nullptr};
char g_string_buffer[kStringBufferSize];

}  // namespace

void TalsenRegisterRCStr(TalsenStringLookup lookup) { g_lookup.store(lookup, std::memory_order_release); }

char* TalsenLoadRCStr(int id) {
    const TalsenStringLookup lookup = g_lookup.load(std::memory_order_acquire);
    const char* text = lookup != nullptr ? lookup(id) : nullptr;
    if (text == nullptr) text = "";
    // Longer entries are cut to fit, always NUL-terminated.
    const std::size_t n = strnlen(text, kStringBufferSize - 1);
    std::memcpy(g_string_buffer, text, n);
    g_string_buffer[n] = '\0';
    return g_string_buffer;
}
