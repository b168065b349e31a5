// The OSC address space of the server, as plain values (the server decodes
// and encodes the packets with liblo):
//
//   /kv/out/{1-6}/gain      f   dB
//   /kv/out/{1-6}/mute      i   1 muted, 0 open
//   /kv/out/{1-6}/polarity  i   1 inverted (180), 0 normal
//   /kv/out/{1-6}/delay     f   ms
//   /kv/in/{a|b|sum}/delay  f   ms
//   /kv/memory/recall       i   1..60
//   /kv/mute_all, /kv/unmute_all
//   /kv/subscribe               every change is sent to the sender for 10 s
//
// A setting's address without an argument is a query: the server answers
// the sender with the current value at the same address. Numbers may come
// as f, d, i or h; switches as i, f, T or F.
#pragma once

#include <kvcom/kvcom.h>
#include <kvcore/refusal.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kvprog/settings.h"

namespace kvremote {

inline constexpr int kOscSubscribeSeconds = 10;

// One argument: its OSC type tag and its value.
struct OscArg {
    char type = 'f';  // 'f', 'd', 'i', 'h', 'T', 'F', 's', ...
    double number = 0;
    std::string text;

    static OscArg Float(double v) { return {'f', v, {}}; }
    static OscArg Int(int v) { return {'i', static_cast<double>(v), {}}; }
};

struct OscCommand {
    enum class Kind { kSet, kQuery, kRecall, kMuteAll, kUnmuteAll, kSubscribe };
    Kind kind = Kind::kQuery;
    kvprog::SettingRef ref{kvprog::Field::Gain, 0};  // kSet, kQuery
    nlohmann::json value;                            // kSet: as the program JSON holds it
    int memory = 0;                                  // kRecall
};

// What a message asks, or why it is refused (place: the address).
kvcore::Result<OscCommand> ParseOsc(std::string_view address, const std::vector<OscArg>& args);

// A setting's address and its current value as an argument, for answers and
// pushes; nullopt for settings outside the address space.
struct OscValue {
    std::string address;
    OscArg arg;
};
std::optional<OscValue> OscOf(const CDSDATA& m, const kvprog::SettingRef& ref);
// The same from a value as the program JSON holds it (a change a client
// was told of).
std::optional<OscValue> OscOfValue(const kvprog::SettingRef& ref, const nlohmann::json& value);

}  // namespace kvremote
