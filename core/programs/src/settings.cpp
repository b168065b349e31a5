// The settings catalogue: paths, page texts, typed values and the messages
// of every setting of a program.
#include "kvprog/settings.h"

#include <algorithm>
#include <cstring>

#include "kvproto/channels.h"
#include "kvproto/names.h"
#include "kvvalues/units.h"
#include "kvvalues/value_tables.h"

namespace kvprog {

namespace units = kvvalues::units;

const std::array<const char*, 49> kOutputNames = {
    "Band 1", "Band 2", "Band 3",  "Band 4",  "Band 5", "Band 6", "L Low",  "L Mid",  "L High", "R Low",
    "R Mid",  "R High", "C Low",   "C Mid",   "C High", "Subs",   "Low",    "Lo Mid", "Mid",    "Hi Mid",
    "High",   "Mid+Hi", "2\"Horn", "1\"Horn", "Bullet", "Flat",   "Unused", "Bar",    "BStage", "Delay",
    "Centre", "Mono",   "Aux",     "10\"",    "12\"",   "15\"",   "18\"",   "21\"",   "24\"",   "1.5\"Hn",
    "Delay1", "Delay2", "Delay3",  "Delay4",  "Delay5", "Delay6", "L Subs", "C Subs", "R Subs"};

namespace {

using units::Scale;

constexpr int kHighPassOut = 0;
constexpr int kLowPassOut = kvvalues::kFreqRows - 1;

bool IsOutput(int chan) { return chan >= 0 && chan < KV_OUTPUTS; }
bool IsInput(int chan) { return chan == CHAN_IN_A || chan == CHAN_IN_B; }
bool IsEqField(Field f) { return f >= Field::EqFilter; }

struct Leaf {
    Field field;
    const char* name;
};
constexpr Leaf kOutputLeaves[] = {{Field::OutName, "name"}, {Field::Source, "source"},     {Field::Gain, "gain"},
                                  {Field::Mute, "mute"},    {Field::Polarity, "polarity"}, {Field::Limit, "limit"},
                                  {Field::Delay, "delay"},  {Field::HighPass, "hp"},       {Field::LowPass, "lp"}};
constexpr Leaf kEqLeaves[] = {
    {Field::EqType, "type"}, {Field::EqFreq, "freq"}, {Field::EqGain, "gain"}, {Field::EqWidth, "width"}};
constexpr Leaf kProgramLeaves[] = {{Field::Name, "name"}, {Field::Config, "config"}, {Field::Link, "link"}};

const char* LeafName(Field f) {
    for (const auto& l : kProgramLeaves)
        if (l.field == f) return l.name;
    for (const auto& l : kOutputLeaves)
        if (l.field == f) return l.name;
    for (const auto& l : kEqLeaves)
        if (l.field == f) return l.name;
    return "";
}

bool ChannelHas(int chan, Field f) {
    if (chan == kChanProgram) return f == Field::Config || f == Field::Link || f == Field::Name;
    if (chan == kChanSum) return f == Field::Delay;
    if (IsInput(chan)) return f == Field::Delay || IsEqField(f);
    if (IsOutput(chan)) return f != Field::Config && f != Field::Link && f != Field::Name;
    return false;
}

const int* Slots(const CDSDATA& m, int chan) {
    if (chan == CHAN_IN_A) return m.ina_eq_slot;
    if (chan == CHAN_IN_B) return m.inb_eq_slot;
    return IsOutput(chan) ? m.out_eq_slot[chan] : nullptr;
}

int* Copy(CDSDATA& m, int owner, Field f) {
    const bool a = owner == CHAN_IN_A;
    if (!IsInput(owner)) return nullptr;
    switch (f) {
    case Field::EqType: return a ? m.ina_eq_type : m.inb_eq_type;
    case Field::EqFreq: return a ? m.ina_eq_freq : m.inb_eq_freq;
    case Field::EqGain: return a ? m.ina_eq_gain : m.inb_eq_gain;
    default: return a ? m.ina_eq_bw : m.inb_eq_bw;
    }
}

int* Pool(CDSDATA& m, Field f) {
    switch (f) {
    case Field::EqType: return m.eq_type;
    case Field::EqFreq: return m.eq_freq;
    case Field::EqGain: return m.eq_gain;
    default: return m.eq_bw;
    }
}

const int* Pool(const CDSDATA& m, Field f) { return Pool(const_cast<CDSDATA&>(m), f); }

int& Delay(CDSDATA& m, int chan) {
    if (chan == CHAN_IN_A) return m.ina_delay;
    if (chan == CHAN_IN_B) return m.inb_delay;
    if (chan == kChanSum) return m.sum_delay;
    return m.out_delay[chan];
}
int Delay(const CDSDATA& m, int chan) { return Delay(const_cast<CDSDATA&>(m), chan); }

// The name as the unit shows it: signs it cannot show become blanks, and
// trailing blanks (sent like the end of the name) are dropped.
std::string ShownName(const char* name) {
    std::string out;
    for (int i = 0; i < 8 && name[i] != '\0'; ++i) out += kvcom::NameCharFromImage(kvcom::NameCharToDevice(name[i]));
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string XoverText(const CDSDATA& m, int out, int side) {
    const int type = std::clamp(m.xo_type[out][side], 0, kvvalues::kXoverTypes - 1);
    return units::FreqText(m.xo_freq[out][side]) + ", " + kvvalues::XoverTypeNames[type].short_name;
}

std::string EqText(const CDSDATA& m, int row, Field f) {
    switch (f) {
    case Field::EqType: return kvvalues::EqTypeNames[std::clamp(m.eq_type[row], 0, kvvalues::kEqTypes - 1)];
    case Field::EqFreq: return units::FreqText(m.eq_freq[row]);
    case Field::EqGain: return units::StepText(units::kEqGain, m.eq_gain[row]);
    case Field::EqWidth: return units::StepText(units::kEqWidth, m.eq_bw[row]);
    default:
        return EqText(m, row, Field::EqType) + ", " + EqText(m, row, Field::EqFreq) + ", " +
               EqText(m, row, Field::EqGain) + ", " + EqText(m, row, Field::EqWidth);
    }
}

// Stored values of a setting, for comparisons.
std::vector<int> Raw(const CDSDATA& m, const SettingRef& ref) {
    const int c = ref.chan;
    switch (ref.field) {
    case Field::Config: return {m.figuration};
    case Field::Link: return {m.link_on != 0};
    case Field::Name: {
        const std::string shown = ShownName(m.prog_name);
        return std::vector<int>(shown.begin(), shown.end());
    }
    case Field::Delay: return {Delay(m, c)};
    case Field::OutName: return {static_cast<unsigned char>(m.out_name[c])};
    case Field::Source: return {m.out_source[c]};
    case Field::Gain: return {m.out_gain[c]};
    case Field::Mute: return {m.out_mute[c] != 0};
    case Field::Polarity: return {m.out_polarity[c] != 0};
    case Field::Limit: return {m.out_limit[c]};
    case Field::HighPass: return {m.xo_freq[c][0], m.xo_type[c][0]};
    case Field::LowPass: return {m.xo_freq[c][1], m.xo_type[c][1]};
    default: break;
    }
    const int row = EqRow(m, c, ref.slot);
    if (row < 0) return {-1};
    if (ref.field == Field::EqFilter) return {m.eq_type[row], m.eq_freq[row], m.eq_gain[row], m.eq_bw[row]};
    return {Pool(m, ref.field)[row]};
}

// ---------------------------------------------------------------------------
// Typed values

struct Invalid {
    std::string reason;
};

std::optional<bool> ParseSwitch(std::string_view text, std::initializer_list<const char*> on,
                                std::initializer_list<const char*> off) {
    const std::string w = units::Folded(text);
    for (const char* s : on)
        if (w == s) return true;
    for (const char* s : off)
        if (w == s) return false;
    return std::nullopt;
}

int ParseSteps(std::string_view text, const Scale& s, std::initializer_list<const char*> unit_words) {
    const auto typed = units::SplitTyped(text);
    if (!typed) throw Invalid{"not a number"};
    bool unit_ok = typed->unit.empty();
    for (const char* u : unit_words) unit_ok = unit_ok || typed->unit == u;
    if (!unit_ok) throw Invalid{"unit '" + typed->unit + "' does not fit"};
    const auto steps = units::StepsOf(s, typed->number);
    if (!steps) throw Invalid{"out of range (" + units::RangeText(s) + ")"};
    return *steps;
}

// A frequency in Hz ("80", "80Hz", "1.2k", "1.2 kHz") to a row lo..hi.
int ParseFreq(std::string_view text, int lo, int hi) {
    const auto typed = units::SplitTyped(text);
    if (!typed) throw Invalid{"not a frequency"};
    double hz = typed->number;
    if (typed->unit == "k" || typed->unit == "khz")
        hz *= 1000.0;
    else if (!typed->unit.empty() && typed->unit != "hz")
        throw Invalid{"unit '" + typed->unit + "' does not fit"};
    const auto row = units::RowOf(hz, lo, hi);
    if (!row) throw Invalid{"out of range (" + units::FreqText(lo) + " to " + units::FreqText(hi) + ")"};
    return *row;
}

template <typename Names>
int ParseChoice(std::string_view text, const Names& names, const char* what) {
    const std::string w = units::Folded(text);
    for (std::size_t i = 0; i < std::size(names); ++i)
        if (w == units::Folded(names[i])) return static_cast<int>(i);
    throw Invalid{std::string("not ") + what};
}

int ParseXoverType(std::string_view word) {
    const std::string w = units::Folded(word);
    for (int t = 0; t < kvvalues::kXoverTypes; ++t)
        if (w == units::Folded(kvvalues::XoverTypeNames[t].short_name) ||
            w == units::Folded(kvvalues::XoverTypeNames[t].long_name))
            return t;
    return -1;
}

// "80Hz lr24", "Out", "L-R 24", "1.2 kHz, 24dB Linkwitz-Riley": a frequency
// or "Out" and a type, each optional, in any order.
void ParseXover(std::string_view text, int side, int& row, int& type) {
    std::vector<std::string> words;
    std::string cur;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '\t') {
            if (!cur.empty()) words.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) words.push_back(cur);
    if (words.empty()) throw Invalid{"empty"};
    std::string freq;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i + 1 < words.size() && ParseXoverType(words[i] + words[i + 1]) >= 0) {
            type = ParseXoverType(words[i] + words[i + 1]);
            ++i;
        } else if (ParseXoverType(words[i]) >= 0) {
            type = ParseXoverType(words[i]);
        } else if (!freq.empty() && (units::Folded(words[i]) == "hz" || units::Folded(words[i]) == "khz")) {
            freq += words[i];
        } else if (freq.empty()) {
            freq = words[i];
        } else {
            throw Invalid{"'" + words[i] + "' is neither a frequency nor a filter type"};
        }
    }
    if (freq.empty()) return;
    if (units::Folded(freq) == "out")
        row = side == 0 ? kHighPassOut : kLowPassOut;
    else
        row = ParseFreq(freq, kvvalues::kFreqRowFirst, kvvalues::kFreqRowLast);
}

int XoverUnits(const CDSDATA& m) { return m.CalDSP1() + m.CalDSP2(); }

// The EQ filter that a link repeat reaches on the unit: the partner's filter
// in the same slot (In B's for an In A filter).
int LinkedRow(const CDSDATA& m, int chan, int slot, int row) {
    if (!m.link_on) return -1;
    int twin = -1;
    if (chan == CHAN_IN_A) {
        twin = m.inb_eq_slot[slot];
    } else if (IsOutput(chan)) {
        CDSDATA probe(m);
        probe.cur_chan = chan;
        const int p = probe.GetLinkChan();
        if (p >= 0) twin = m.out_eq_slot[p][slot];
    }
    if (twin < 0 || twin >= kPoolFilters || twin == row || m.eq_owner[twin] == -1) return -1;
    return twin;
}

void Write(CDSDATA& w, const SettingRef& ref, std::string_view text) {
    const int c = ref.chan;
    const bool linked_b = c == CHAN_IN_B && w.link_on;
    auto follow_partner = [&] {
        w.cur_chan = c;
        w.SetLinkVal();
    };
    switch (ref.field) {
    case Field::Config: {
        const int f = ParseChoice(text, kConfigNames, "a configuration (Mono, 2 Channel 3 Way, 3 Channel 2 Way)");
        if (f != w.figuration) {
            w.figuration = static_cast<char>(f);
            w.InitData();
        }
        return;
    }
    case Field::Link: {
        const auto on = ParseSwitch(text, {"on", "true", "yes", "1"}, {"off", "false", "no", "0"});
        if (!on) throw Invalid{"not on or off"};
        if (*on != (w.link_on != 0)) {
            w.link_on = *on ? 1 : 0;
            w.InitData();
        }
        return;
    }
    case Field::Name: {
        if (text.size() > 8) throw Invalid{"longer than 8 characters"};
        for (char ch : text)
            if (ch != ' ' && kvcom::NameCharToDevice(ch) == 0x40)
                throw Invalid{std::string("the unit cannot show '") + ch + "' (letters, digits, blank, ! # & - = ~)"};
        std::memset(w.prog_name, 0, sizeof w.prog_name);
        std::memcpy(w.prog_name, text.data(), text.size());
        return;
    }
    case Field::Delay:
        if (linked_b) throw Invalid{"In B follows In A while linked"};
        Delay(w, c) = ParseSteps(text, units::kDelay, {"ms"});
        if (c == CHAN_IN_A && w.link_on) w.inb_delay = w.ina_delay;
        if (IsOutput(c)) follow_partner();
        return;
    case Field::OutName: {
        std::string t(text);
        for (std::size_t i = 0; i < kOutputNames.size(); ++i) {
            if (units::Folded(t) == units::Folded(kOutputNames[i]) && t.size() == std::strlen(kOutputNames[i])) {
                w.out_name[c] = static_cast<char>(i);
                return;
            }
        }
        throw Invalid{"not an output name of the pages"};
    }
    case Field::Source: {
        const std::string f = units::Folded(text);
        int s = f == "a" ? 0 : f == "b" ? 1 : f == "sum" ? 2 : -1;
        if (s < 0) s = ParseChoice(text, kSourceNames, "a source (In A, In B, In SUM A+B)");
        w.out_source[c] = static_cast<char>(s);
        return;
    }
    case Field::Gain:
        w.out_gain[c] = ParseSteps(text, units::kOutGain, {"db"});
        follow_partner();
        return;
    case Field::Limit:
        w.out_limit[c] = ParseSteps(text, units::kLimit, {"dbu"});
        follow_partner();
        return;
    case Field::Mute: {
        const auto on = ParseSwitch(text, {"on", "muted", "true", "yes", "1"}, {"off", "false", "no", "0"});
        if (!on) throw Invalid{"not on or off"};
        w.out_mute[c] = *on ? 1 : 0;
        return;
    }
    case Field::Polarity: {
        const auto inv = ParseSwitch(text, {"180", "inverted", "on", "true", "1"}, {"normal", "0", "off", "false"});
        if (!inv) throw Invalid{"not normal or 180"};
        w.out_polarity[c] = *inv ? 1 : 0;
        follow_partner();
        return;
    }
    case Field::HighPass:
    case Field::LowPass: {
        const int side = ref.field == Field::HighPass ? 0 : 1;
        int row = w.xo_freq[c][side];
        int type = w.xo_type[c][side];
        ParseXover(text, side, row, type);
        const int before = XoverUnits(w);
        CDSDATA probe(w);
        w.xo_freq[c][side] = row;
        w.xo_type[c][side] = type;
        follow_partner();
        if (XoverUnits(w) > before && !kvcom::EqFilterFits(probe, c))
            throw Invalid{"the DSP budget has no room for it"};
        return;
    }
    default: break;
    }
    if (linked_b) throw Invalid{"In B follows In A while linked"};
    const int row = EqRow(w, c, ref.slot);
    if (row < 0) throw Invalid{"no EQ filter in this slot"};
    int value = 0;
    switch (ref.field) {
    case Field::EqType:
        value = ParseChoice(text, kvvalues::EqTypeNames, "an EQ type (Low 6, Low 12, Bell, High 6, High 12)");
        break;
    case Field::EqFreq: value = ParseFreq(text, kvvalues::kFreqRowFirst, kvvalues::kFreqRowLast); break;
    case Field::EqGain: value = ParseSteps(text, units::kEqGain, {"db"}); break;
    case Field::EqWidth: value = ParseSteps(text, units::kEqWidth, {"oct", "octave", "octaves"}); break;
    default: throw Invalid{"a whole filter is set through its type, freq, gain and width"};
    }
    for (int r : {row, LinkedRow(w, c, ref.slot, row)}) {
        if (r < 0) continue;
        Pool(w, ref.field)[r] = value;
        if (int* copy = Copy(w, w.eq_owner[r], ref.field)) copy[r] = value;
    }
}

}  // namespace

// ---------------------------------------------------------------------------

std::string ChannelKey(int chan) {
    if (chan == CHAN_IN_A) return "ina";
    if (chan == CHAN_IN_B) return "inb";
    if (chan == kChanSum) return "sum";
    if (IsOutput(chan)) return "out" + std::to_string(chan + 1);
    return "";
}

std::string ChannelTitle(int chan) {
    if (chan == CHAN_IN_A) return "In A";
    if (chan == CHAN_IN_B) return "In B";
    if (chan == kChanSum) return "In SUM A+B";
    if (IsOutput(chan)) return "Out " + std::to_string(chan + 1);
    return "Program";
}

std::optional<int> ChannelFromKey(std::string_view key) {
    for (int chan : kChannels)
        if (key == ChannelKey(chan)) return chan;
    return std::nullopt;
}

std::string PathOf(const SettingRef& ref) {
    if (ref.chan == kChanProgram) return LeafName(ref.field);
    std::string path = ChannelKey(ref.chan);
    if (IsEqField(ref.field)) {
        path += ".eq" + std::to_string(ref.slot + 1);
        if (ref.field == Field::EqFilter) return path;
    }
    return path + "." + LeafName(ref.field);
}

std::optional<SettingRef> ParsePath(std::string_view path) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t dot = path.find('.', start);
        parts.push_back(path.substr(start, dot == std::string_view::npos ? dot : dot - start));
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    if (parts.size() == 1) {
        for (const auto& l : kProgramLeaves)
            if (parts[0] == l.name) return SettingRef{l.field};
        return std::nullopt;
    }
    const auto chan = ChannelFromKey(parts[0]);
    if (!chan) return std::nullopt;
    std::optional<SettingRef> ref;
    if (parts[1].size() > 2 && parts[1].substr(0, 2) == "eq") {
        int slot = 0;
        for (char ch : parts[1].substr(2)) {
            if (ch < '0' || ch > '9' || slot > kEqSlotsPerChannel) return std::nullopt;
            slot = slot * 10 + (ch - '0');
        }
        if (slot < 1 || slot > kEqSlotsPerChannel) return std::nullopt;
        if (parts.size() == 2)
            ref = SettingRef{Field::EqFilter, *chan, slot - 1};
        else if (parts.size() == 3)
            for (const auto& l : kEqLeaves)
                if (parts[2] == l.name) ref = SettingRef{l.field, *chan, slot - 1};
    } else if (parts.size() == 2) {
        for (const auto& l : kOutputLeaves)
            if (parts[1] == l.name) ref = SettingRef{l.field, *chan};
    }
    if (!ref || !ChannelHas(ref->chan, ref->field)) return std::nullopt;
    return ref;
}

int EqRow(const CDSDATA& m, int chan, int slot) {
    const int* slots = Slots(m, chan);
    if (slots == nullptr || slot < 0 || slot >= KV_POOL_ROWS) return -1;
    const int row = slots[slot];
    return row >= 0 && row < kPoolFilters ? row : -1;
}

int EqCount(const CDSDATA& m, int chan) {
    const int* slots = Slots(m, chan);
    int n = 0;
    if (slots != nullptr)
        for (int s = 0; s < KV_POOL_ROWS; ++s)
            if (slots[s] >= 0 && slots[s] < kPoolFilters) n = s + 1;
    return n;
}

std::vector<SettingRef> FixedSettings(int chan) {
    std::vector<SettingRef> refs;
    if (chan == kChanProgram)
        for (const auto& l : kProgramLeaves) refs.push_back({l.field});
    else if (IsOutput(chan))
        for (const auto& l : kOutputLeaves) refs.push_back({l.field, chan});
    else
        refs.push_back({Field::Delay, chan});
    return refs;
}

std::vector<SettingRef> SettingsOf(const CDSDATA& m) {
    std::vector<SettingRef> refs = FixedSettings(kChanProgram);
    for (int chan : kChannels) {
        for (const SettingRef& r : FixedSettings(chan)) refs.push_back(r);
        for (int slot = 0; slot < EqCount(m, chan); ++slot)
            for (const auto& l : kEqLeaves) refs.push_back({l.field, chan, slot});
    }
    return refs;
}

std::string ReadText(const CDSDATA& m, const SettingRef& ref) {
    const int c = ref.chan;
    switch (ref.field) {
    case Field::Config: return kConfigNames[std::clamp<int>(m.figuration, 0, 2)];
    case Field::Link: return m.link_on ? "on" : "off";
    case Field::Name: return ShownName(m.prog_name);
    case Field::Delay: return units::StepText(units::kDelay, Delay(m, c));
    case Field::OutName: {
        const int name = static_cast<unsigned char>(m.out_name[c]);
        return name < static_cast<int>(kOutputNames.size()) ? kOutputNames[name] : "#" + std::to_string(name);
    }
    case Field::Source: return kSourceNames[std::clamp<int>(m.out_source[c], 0, 2)];
    case Field::Gain: return units::StepText(units::kOutGain, m.out_gain[c]);
    case Field::Mute: return m.out_mute[c] ? "on" : "off";
    case Field::Polarity: return m.out_polarity[c] ? "180" : "normal";
    case Field::Limit: return units::StepText(units::kLimit, m.out_limit[c]);
    case Field::HighPass: return XoverText(m, c, 0);
    case Field::LowPass: return XoverText(m, c, 1);
    default: break;
    }
    const int row = EqRow(m, c, ref.slot);
    return row < 0 ? "(empty)" : EqText(m, row, ref.field);
}

bool SameSetting(const CDSDATA& a, const CDSDATA& b, const SettingRef& ref) { return Raw(a, ref) == Raw(b, ref); }

std::optional<Refusal> WriteText(CDSDATA& m, const SettingRef& ref, std::string_view text) {
    const std::string path = PathOf(ref);
    if (!ChannelHas(ref.chan, ref.field)) return Refusal{path, "no such setting"};
    CDSDATA w(m);
    try {
        Write(w, ref, text);
    } catch (const Invalid& e) {
        return Refusal{path, e.reason};
    }
    if (auto broken = CheckProgramRules(w)) return broken;
    w.cur_chan = m.cur_chan;
    w.cur_slot = m.cur_slot;
    w.cur_eq = m.cur_eq;
    w.xo_side = m.xo_side;
    m = w;
    return std::nullopt;
}

std::vector<ParamMessage> MessagesFor(const CDSDATA& m, const SettingRef& ref) {
    const int c = ref.chan;
    auto eq = [&](int in_code, int out_code) -> std::vector<ParamMessage> {
        if (EqRow(m, c, ref.slot) < 0) return {};
        return {{IsInput(c) ? in_code : out_code, c, 0, ref.slot}};
    };
    switch (ref.field) {
    case Field::Config:
    case Field::Link:
        if (m.figuration == 0) return {{PC_FIGURATION, 0}};
        return {{PC_FIGURATION, 0}, {PC_LINK, 0}};
    case Field::Name:
    case Field::OutName:
    case Field::EqFilter: return {};
    case Field::Delay:
        if (c == CHAN_IN_A) return {{PC_INA_DELAY, c}};
        if (c == CHAN_IN_B) return {{PC_INB_DELAY, c}};
        if (c == kChanSum) return {{PC_SUM_DELAY, c}};
        return {{PC_OUT_DELAY, c}};
    case Field::Source: return {{PC_OUT_SOURCE, c, 0, -1, true}};
    case Field::Gain: return {{PC_OUT_GAIN, c}};
    case Field::Mute: return {{PC_OUT_MUTE, c}};
    case Field::Polarity: return {{PC_OUT_POLARITY, c}};
    case Field::Limit: return {{PC_OUT_LIMIT, c}};
    case Field::HighPass: return {{PC_XO_HP_TYPE, c, 0}, {PC_XO_HP_FREQ, c, 0}};
    case Field::LowPass: return {{PC_XO_LP_TYPE, c, 1}, {PC_XO_LP_FREQ, c, 1}};
    case Field::EqType: return eq(PC_IN_EQ_TYPE, PC_OUT_EQ_TYPE);
    case Field::EqFreq: return eq(PC_IN_EQ_FREQ, PC_OUT_EQ_FREQ);
    case Field::EqGain: return eq(PC_IN_EQ_GAIN, PC_OUT_EQ_GAIN);
    case Field::EqWidth: return eq(PC_IN_EQ_BW, PC_OUT_EQ_BW);
    }
    return {};
}

void KeepPlaceOf(const CDSDATA& model, CDSDATA& program) {
    program.mem_num = model.mem_num;
    program.delay_unit = model.delay_unit;
    program.cur_chan = model.cur_chan;
    program.cur_slot = model.cur_slot;
    program.cur_eq = model.cur_eq;
    program.xo_side = model.xo_side;
}

CDSDATA AimedAt(const CDSDATA& m, const ParamMessage& msg) {
    CDSDATA aimed(m);
    aimed.cur_chan = msg.chan;
    aimed.xo_side = msg.side;
    aimed.cur_slot = msg.slot;
    if (msg.slot >= 0) aimed.cur_eq = EqRow(m, msg.chan, msg.slot);
    return aimed;
}

void SendSetting(CDSDATA& m, const SettingRef& ref) {
    const int chan = m.cur_chan, slot = m.cur_slot, eq = m.cur_eq, side = m.xo_side;
    for (const ParamMessage& msg : MessagesFor(m, ref)) {
        m.cur_chan = msg.chan;
        m.xo_side = msg.side;
        m.cur_slot = msg.slot;
        m.cur_eq = msg.slot >= 0 ? EqRow(m, msg.chan, msg.slot) : eq;
        if (msg.source)
            m.SendOutSrce(static_cast<unsigned char>(msg.chan));
        else
            m.SendParam(msg.code);
    }
    m.cur_chan = chan;
    m.cur_slot = slot;
    m.cur_eq = eq;
    m.xo_side = side;
}

std::optional<Refusal> CheckProgramRules(const CDSDATA& m) {
    auto input_delay = [&m](int source) {
        return source == 0 ? m.ina_delay : source == 1 ? m.inb_delay : source == 2 ? m.sum_delay : 0;
    };
    CDSDATA probe(m);
    for (int n = 0; n < KV_OUTPUTS; ++n) {
        const std::string key = ChannelKey(n);
        int source = m.out_source[n];
        probe.cur_chan = n;
        const int p = probe.GetLinkChan();
        if (p >= 0 && input_delay(m.out_source[p]) > input_delay(source)) source = m.out_source[p];
        if (m.out_delay[n] + input_delay(source) > KV_MAX_DELAY)
            return Refusal{key + ".delay", "with the " + units::StepText(units::kDelay, input_delay(source)) + " of " +
                                               kSourceNames[std::clamp(source, 0, 2)] + " the total exceeds " +
                                               units::StepText(units::kDelay, KV_MAX_DELAY)};
        if (m.xo_freq[n][0] > m.xo_freq[n][1])
            return Refusal{key + ".hp",
                           "the high-pass lies above the low-pass (" + units::FreqText(m.xo_freq[n][1]) + ")"};
    }
    return std::nullopt;
}

}  // namespace kvprog
