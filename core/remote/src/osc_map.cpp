#include "kvremote/osc_map.h"

#include <cmath>

#include "kvprog/setting_json.h"

namespace kvremote {

namespace {

using kvprog::Field;
using kvprog::SettingRef;

bool IsNumber(char t) { return t == 'f' || t == 'd' || t == 'i' || t == 'h'; }

// The setting an address names, or nullopt.
std::optional<SettingRef> SettingAt(std::string_view address) {
    constexpr std::string_view kOut = "/kv/out/";
    constexpr std::string_view kIn = "/kv/in/";
    if (address.substr(0, kOut.size()) == kOut) {
        const std::string_view rest = address.substr(kOut.size());
        if (rest.size() < 3 || rest[0] < '1' || rest[0] > '0' + KV_OUTPUTS || rest[1] != '/') return std::nullopt;
        const int out = rest[0] - '1';
        const std::string_view what = rest.substr(2);
        if (what == "gain") return SettingRef{Field::Gain, out};
        if (what == "mute") return SettingRef{Field::Mute, out};
        if (what == "polarity") return SettingRef{Field::Polarity, out};
        if (what == "delay") return SettingRef{Field::Delay, out};
        return std::nullopt;
    }
    if (address.substr(0, kIn.size()) == kIn) {
        const std::string_view rest = address.substr(kIn.size());
        if (rest == "a/delay") return SettingRef{Field::Delay, CHAN_IN_A};
        if (rest == "b/delay") return SettingRef{Field::Delay, CHAN_IN_B};
        if (rest == "sum/delay") return SettingRef{Field::Delay, kvprog::kChanSum};
    }
    return std::nullopt;
}

kvcore::Refusal Refused(std::string_view address, std::string reason) {
    return {std::string(address), std::move(reason)};
}

}  // namespace

kvcore::Result<OscCommand> ParseOsc(std::string_view address, const std::vector<OscArg>& args) {
    OscCommand cmd;
    auto no_args = [&](OscCommand::Kind kind) -> kvcore::Result<OscCommand> {
        if (!args.empty()) return Refused(address, "takes no argument");
        cmd.kind = kind;
        return cmd;
    };
    if (address == "/kv/mute_all") return no_args(OscCommand::Kind::kMuteAll);
    if (address == "/kv/unmute_all") return no_args(OscCommand::Kind::kUnmuteAll);
    if (address == "/kv/subscribe") return no_args(OscCommand::Kind::kSubscribe);
    if (address == "/kv/memory/recall") {
        if (args.size() != 1 || !IsNumber(args[0].type)) return Refused(address, "takes one number, the memory 1..60");
        const double n = args[0].number;
        if (!(n >= 1 && n <= 60) || n != std::floor(n)) return Refused(address, "memories are numbered 1 to 60");
        cmd.kind = OscCommand::Kind::kRecall;
        cmd.memory = static_cast<int>(n);
        return cmd;
    }
    const auto ref = SettingAt(address);
    if (!ref) return Refused(address, "no such address");
    cmd.ref = *ref;
    if (args.empty()) {
        cmd.kind = OscCommand::Kind::kQuery;
        return cmd;
    }
    if (args.size() > 1) return Refused(address, "takes one argument");
    const OscArg& a = args[0];
    cmd.kind = OscCommand::Kind::kSet;
    if (ref->field == Field::Mute || ref->field == Field::Polarity) {
        if (a.type == 'T' || a.type == 'F') {
            cmd.value = a.type == 'T';
        } else if (IsNumber(a.type) && std::isfinite(a.number)) {
            cmd.value = a.number != 0;
        } else {
            return Refused(address, "takes 1 or 0");
        }
        return cmd;
    }
    if (!IsNumber(a.type)) return Refused(address, std::string("takes a number, not type '") + a.type + "'");
    if (!std::isfinite(a.number)) return Refused(address, "takes a finite number");
    cmd.value = a.number;
    return cmd;
}

std::optional<OscValue> OscOf(const CDSDATA& m, const SettingRef& ref) {
    return OscOfValue(ref, kvprog::SettingValue(m, ref));
}

std::optional<OscValue> OscOfValue(const SettingRef& ref, const nlohmann::json& value) {
    std::string address;
    if (kvprog::ChannelKey(ref.chan).rfind("out", 0) == 0) {
        const std::string base = "/kv/out/" + std::to_string(ref.chan + 1) + "/";
        switch (ref.field) {
        case Field::Gain: address = base + "gain"; break;
        case Field::Mute: address = base + "mute"; break;
        case Field::Polarity: address = base + "polarity"; break;
        case Field::Delay: address = base + "delay"; break;
        default: return std::nullopt;
        }
    } else if (ref.field == Field::Delay) {
        address = "/kv/in/" + std::string(ref.chan == CHAN_IN_A ? "a" : ref.chan == CHAN_IN_B ? "b" : "sum") + "/delay";
    } else {
        return std::nullopt;
    }
    if (ref.field == Field::Mute && value.is_boolean()) return OscValue{address, OscArg::Int(value.get<bool>() ? 1 : 0)};
    if (ref.field == Field::Polarity && value.is_string()) return OscValue{address, OscArg::Int(value == "180" ? 1 : 0)};
    if (value.is_number()) return OscValue{address, OscArg::Float(value.get<double>())};
    return std::nullopt;
}

}  // namespace kvremote
