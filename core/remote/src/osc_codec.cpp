#include "kvremote/osc_codec.h"

#include <lo/lo_lowlevel.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

namespace kvremote {

namespace {

constexpr char kBundleTag[] = "#bundle";
constexpr int kMaxBundleDepth = 4;

std::uint32_t BigEndian32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

template <class T>
T Copied(const char* at) {
    T v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

void DecodeInto(const char* data, std::size_t size, int depth, std::vector<OscPacketMessage>& out) {
    if (size >= 16 && std::memcmp(data, kBundleTag, sizeof kBundleTag) == 0) {
        if (depth >= kMaxBundleDepth) return;
        // "#bundle\0", a time tag (taken as "now"), then elements, each its
        // size and its bytes.
        std::size_t at = 16;
        while (at + 4 <= size) {
            const std::size_t n = BigEndian32(data + at);
            at += 4;
            if (n > size - at || n % 4 != 0) return;
            DecodeInto(data + at, n, depth + 1, out);
            at += n;
        }
        return;
    }
    if (size == 0 || size % 4 != 0 || data[0] != '/') return;
    // liblo checks the whole message (path, type tags, every argument)
    // before it gives anything back; it works on its own copy.
    std::vector<char> copy(data, data + size);
    int result = 0;
    const lo_message message = lo_message_deserialise(copy.data(), copy.size(), &result);
    if (message == nullptr || result != 0) return;
    std::unique_ptr<std::remove_pointer_t<lo_message>, void (*)(lo_message)> owned(message, lo_message_free);
    OscPacketMessage m;
    m.address.assign(copy.data(), strnlen(copy.data(), copy.size()));
    const char* types = lo_message_get_types(message);
    lo_arg** argv = lo_message_get_argv(message);
    const int argc = lo_message_get_argc(message);
    for (int i = 0; i < argc && types != nullptr && types[i] != '\0'; ++i) {
        OscArg a;
        a.type = types[i];
        // liblo's arguments sit in the packet as it came, 4-byte aligned
        // only: each is copied out rather than read in place.
        const auto* raw = reinterpret_cast<const char*>(argv[i]);
        switch (types[i]) {
        case 'f': a.number = Copied<float>(raw); break;
        case 'd': a.number = Copied<double>(raw); break;
        case 'i': a.number = Copied<std::int32_t>(raw); break;
        case 'h': a.number = static_cast<double>(Copied<std::int64_t>(raw)); break;
        case 's':
        case 'S': a.text = raw; break;
        default: break;
        }
        m.args.push_back(std::move(a));
    }
    out.push_back(std::move(m));
}

}  // namespace

std::vector<OscPacketMessage> DecodeOscPacket(const char* data, std::size_t size) {
    std::vector<OscPacketMessage> out;
    DecodeInto(data, size, 0, out);
    return out;
}

std::string EncodeOscMessage(const std::string& address, const std::vector<OscArg>& args) {
    const lo_message message = lo_message_new();
    for (const OscArg& a : args) {
        if (a.type == 'i')
            lo_message_add_int32(message, static_cast<int32_t>(a.number));
        else if (a.type == 's')
            lo_message_add_string(message, a.text.c_str());
        else
            lo_message_add_float(message, static_cast<float>(a.number));
    }
    std::size_t size = 0;
    void* bytes = lo_message_serialise(message, address.c_str(), nullptr, &size);
    std::string out(static_cast<const char*>(bytes), size);
    std::free(bytes);
    lo_message_free(message);
    return out;
}

}  // namespace kvremote
