#include "transport.h"

#include <kvcom/kvcom.h>

#include <atomic>

#include "link_port.h"

namespace kvcom {

namespace {
std::atomic<Transport*> g_override{nullptr};
std::atomic<Transport*> g_port{nullptr};
}  // namespace

Transport* CurrentTransport() {
    Transport* t = g_override.load(std::memory_order_acquire);
    return t ? t : g_port.load(std::memory_order_acquire);
}

void SetTransportOverride(Transport* override_transport) {
    g_override.store(override_transport, std::memory_order_release);
}

void SetPortTransport(Transport* port) { g_port.store(port, std::memory_order_release); }

bool LinkUp() {
    if (const Transport* t = g_override.load(std::memory_order_acquire)) return t->Up();
    const TTYInfo* info = npTTYInfo;
    return info != nullptr && info->connected.load(std::memory_order_acquire) != 0;
}

}  // namespace kvcom
