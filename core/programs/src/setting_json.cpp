#include "kvprog/setting_json.h"

#include <array>
#include <charconv>

#include "kvvalues/units.h"
#include "kvvalues/value_tables.h"

namespace kvprog {

namespace units = kvvalues::units;

namespace {

using ojson = nlohmann::ordered_json;

constexpr int kHighPassOut = 0;
constexpr int kLowPassOut = kvvalues::kFreqRows - 1;

int DelaySteps(const CDSDATA& m, int chan) {
    if (chan == CHAN_IN_A) return m.ina_delay;
    if (chan == CHAN_IN_B) return m.inb_delay;
    if (chan == kChanSum) return m.sum_delay;
    return m.out_delay[chan];
}

ojson Crossover(const CDSDATA& m, int out, int side) {
    const int row = m.xo_freq[out][side];
    ojson x;
    if (row == kHighPassOut || row == kLowPassOut)
        x["freq"] = "Out";
    else
        x["freq"] = units::HzOf(row);
    x["type"] = kvvalues::XoverTypeNames[std::clamp(m.xo_type[out][side], 0, kvvalues::kXoverTypes - 1)].short_name;
    return x;
}

// The shortest decimal that reads back as the same number.
std::string NumberText(double v) {
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return std::string(buf.data(), res.ptr);
}

std::string WrongType(const char* expected) { return std::string("wrong type: expected ") + expected; }

}  // namespace

std::string SettingUnit(const SettingRef& ref) {
    switch (ref.field) {
    case Field::Delay: return "ms";
    case Field::Gain:
    case Field::EqGain: return "dB";
    case Field::Limit: return "dBu";
    case Field::EqFreq: return "Hz";
    case Field::EqWidth: return "oct";
    default: return "";
    }
}

ojson SettingValue(const CDSDATA& m, const SettingRef& ref) {
    const int c = ref.chan;
    switch (ref.field) {
    case Field::Config: return kConfigNames[std::clamp<int>(m.figuration, 0, 2)];
    case Field::Link: return m.link_on != 0;
    case Field::Name: return ReadText(m, ref);
    case Field::Delay: return units::NumberOf(units::kDelay, DelaySteps(m, c));
    case Field::OutName: {
        const int name = static_cast<unsigned char>(m.out_name[c]);
        if (name < static_cast<int>(kOutputNames.size())) return kOutputNames[name];
        return name;
    }
    case Field::Source: return kSourceNames[std::clamp<int>(m.out_source[c], 0, 2)];
    case Field::Gain: return units::NumberOf(units::kOutGain, m.out_gain[c]);
    case Field::Mute: return m.out_mute[c] != 0;
    case Field::Polarity: return m.out_polarity[c] ? "180" : "normal";
    case Field::Limit: return units::NumberOf(units::kLimit, m.out_limit[c]);
    case Field::HighPass: return Crossover(m, c, 0);
    case Field::LowPass: return Crossover(m, c, 1);
    default: break;
    }
    const int row = EqRow(m, c, ref.slot);
    if (row < 0) return nullptr;
    switch (ref.field) {
    case Field::EqType: return kvvalues::EqTypeNames[std::clamp(m.eq_type[row], 0, kvvalues::kEqTypes - 1)];
    case Field::EqFreq: return units::HzOf(std::clamp(m.eq_freq[row], 0, kvvalues::kFreqRows - 1));
    case Field::EqGain: return units::NumberOf(units::kEqGain, m.eq_gain[row]);
    case Field::EqWidth: return units::NumberOf(units::kEqWidth, m.eq_bw[row]);
    default: break;
    }
    // A whole filter, as an entry of a channel's "eq" list.
    return {{"type", SettingValue(m, {Field::EqType, c, ref.slot})},
            {"freq", SettingValue(m, {Field::EqFreq, c, ref.slot})},
            {"gain", SettingValue(m, {Field::EqGain, c, ref.slot})},
            {"width", SettingValue(m, {Field::EqWidth, c, ref.slot})}};
}

ojson SettingDocument(const CDSDATA& m, const SettingRef& ref) {
    ojson doc;
    doc["path"] = PathOf(ref);
    doc["value"] = SettingValue(m, ref);
    const std::string unit = SettingUnit(ref);
    if (!unit.empty()) doc["unit"] = unit;
    doc["text"] = ReadText(m, ref);
    return doc;
}

std::optional<Refusal> WriteValue(CDSDATA& m, const SettingRef& ref, const nlohmann::json& value) {
    const std::string path = PathOf(ref);
    const bool crossover = ref.field == Field::HighPass || ref.field == Field::LowPass;
    const bool switched = ref.field == Field::Link || ref.field == Field::Mute || ref.field == Field::Polarity;
    std::string text;
    if (value.is_string()) {
        text = value.get<std::string>();
    } else if (value.is_number() && ref.field == Field::Polarity) {
        text = NumberText(value.get<double>());  // 180 or 0, as the pages say it
    } else if (value.is_number()) {
        if (switched || ref.field == Field::Config || ref.field == Field::Source || ref.field == Field::Name ||
            ref.field == Field::EqType)
            return Refusal{path, WrongType(ref.field == Field::Mute || ref.field == Field::Link ? "true or false"
                                                                                                 : "a name")};
        // A crossover's number is its frequency; every other number is in
        // the setting's own unit (an output name may be its index).
        text = NumberText(value.get<double>()) + (crossover ? std::string("Hz") : SettingUnit(ref));
    } else if (value.is_boolean()) {
        if (!switched) return Refusal{path, WrongType(SettingUnit(ref).empty() ? "a name" : "a number")};
        const bool on = value.get<bool>();
        text = ref.field == Field::Polarity ? (on ? "180" : "normal") : (on ? "on" : "off");
    } else if (value.is_object() && crossover) {
        for (const auto& item : value.items())
            if (item.key() != "freq" && item.key() != "type") return Refusal{path + "." + item.key(), "unknown key"};
        if (const auto f = value.find("freq"); f != value.end()) {
            if (f->is_number())
                text = NumberText(f->get<double>()) + "Hz";
            else if (f->is_string())
                text = f->get<std::string>();
            else
                return Refusal{path + ".freq", WrongType("a number or \"Out\"")};
        }
        if (const auto t = value.find("type"); t != value.end()) {
            if (!t->is_string()) return Refusal{path + ".type", WrongType("a filter type")};
            text += (text.empty() ? "" : " ") + t->get<std::string>();
        }
        if (text.empty()) return Refusal{path, "empty"};
    } else {
        return Refusal{path, WrongType(crossover ? "a frequency, \"Out\" or {\"freq\", \"type\"}"
                                       : switched ? "true or false"
                                       : SettingUnit(ref).empty() ? "a name"
                                                                   : "a number")};
    }
    return WriteText(m, ref, text);
}

}  // namespace kvprog
