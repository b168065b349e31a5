#include "kvprog/program_json.h"

#include "kvprog/setting_json.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "kvproto/channels.h"
#include "kvproto/names.h"
#include "kvvalues/units.h"
#include "kvvalues/value_tables.h"

namespace kvprog {

namespace units = kvvalues::units;

namespace {

using json = nlohmann::json;
using ojson = nlohmann::ordered_json;

constexpr int kEqChannels[] = {CHAN_IN_A, CHAN_IN_B, 0, 1, 2, 3, 4, 5};
constexpr int kHighPassOut = 0;
constexpr int kLowPassOut = kvvalues::kFreqRows - 1;
constexpr int kImageRoom = 2 * 1024;

bool IsOutput(int chan) { return chan >= 0 && chan < KV_OUTPUTS; }
bool HasEq(int chan) { return chan != kChanSum; }

// The model as the unit would receive it: written to an image and read back
// by the library, so pool rows, slot lists, twins and DSP placement are the
// library's own.
void Normalize(CDSDATA& m) {
    const int mem = m.mem_num, unit = m.delay_unit, chan = m.cur_chan, slot = m.cur_slot, eq = m.cur_eq,
              side = m.xo_side;
    std::vector<unsigned char> image(kImageRoom);
    const int len = m.SaveData(image.data());
    m.GetData(image.data(), len, 0);
    m.mem_num = static_cast<char>(mem);
    m.delay_unit = unit;
    m.cur_chan = chan;
    m.cur_slot = slot;
    m.cur_eq = eq;
    m.xo_side = side;
}

int* SlotList(CDSDATA& m, int chan) {
    if (chan == CHAN_IN_A) return m.ina_eq_slot;
    if (chan == CHAN_IN_B) return m.inb_eq_slot;
    return m.out_eq_slot[chan];
}

// ---------------------------------------------------------------------------
// Export

ojson Filters(const CDSDATA& m, int chan) {
    ojson list = ojson::array();
    for (int s = 0; s < EqCount(m, chan); ++s) {
        if (EqRow(m, chan, s) >= 0) list.push_back(SettingValue(m, {Field::EqFilter, chan, s}));
    }
    return list;
}

// ---------------------------------------------------------------------------
// Import: every check throws Refused with the JSON path.

struct Refused {
    Refusal refusal;
};

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) { throw Refused{{path, reason}}; }

std::string Join(const std::string& path, const std::string& key) { return path.empty() ? key : path + "." + key; }

void OnlyKeys(const json& obj, const std::string& path, std::initializer_list<const char*> keys) {
    if (!obj.is_object()) Refuse(path, "wrong type: expected an object");
    for (const auto& item : obj.items()) {
        const std::string& key = item.key();
        if (std::none_of(keys.begin(), keys.end(), [&key](const char* k) { return key == k; }))
            Refuse(Join(path, key), "unknown key");
    }
}

const json* Find(const json& obj, const char* key) {
    const auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

double Number(const json& j, const std::string& path) {
    if (!j.is_number()) Refuse(path, "wrong type: expected a number");
    return j.get<double>();
}

std::string String(const json& j, const std::string& path) {
    if (!j.is_string()) Refuse(path, "wrong type: expected a string");
    return j.get<std::string>();
}

bool Bool(const json& j, const std::string& path) {
    if (!j.is_boolean()) Refuse(path, "wrong type: expected true or false");
    return j.get<bool>();
}

int Steps(const json& j, const std::string& path, const units::Scale& s) {
    const auto steps = units::StepsOf(s, Number(j, path));
    if (!steps) Refuse(path, "value out of range (" + units::RangeText(s) + ")");
    return *steps;
}

template <typename Names>
int Choice(const json& j, const std::string& path, const Names& names) {
    const std::string text = String(j, path);
    for (std::size_t i = 0; i < std::size(names); ++i)
        if (text == names[i]) return static_cast<int>(i);
    std::string known;
    for (const char* n : names) known += std::string(known.empty() ? "" : ", ") + n;
    Refuse(path, "value out of range: '" + text + "' is not one of " + known);
}

int FreqRow(const json& j, const std::string& path) {
    const auto row = units::RowOf(Number(j, path), kvvalues::kFreqRowFirst, kvvalues::kFreqRowLast);
    if (!row)
        Refuse(path, "value out of range (" + units::FreqText(kvvalues::kFreqRowFirst) + " to " +
                         units::FreqText(kvvalues::kFreqRowLast) + ")");
    return *row;
}

void ReadCrossover(const json& x, const std::string& path, CDSDATA& m, int out, int side) {
    OnlyKeys(x, path, {"freq", "type"});
    if (const json* f = Find(x, "freq")) {
        if (f->is_string()) {
            if (f->get<std::string>() != "Out")
                Refuse(Join(path, "freq"), "value out of range: a frequency in Hz or \"Out\"");
            m.xo_freq[out][side] = side == 0 ? kHighPassOut : kLowPassOut;
        } else {
            m.xo_freq[out][side] = FreqRow(*f, Join(path, "freq"));
        }
    }
    if (const json* t = Find(x, "type")) {
        const std::string text = String(*t, Join(path, "type"));
        int type = -1;
        for (int i = 0; i < kvvalues::kXoverTypes; ++i)
            if (text == kvvalues::XoverTypeNames[i].short_name || text == kvvalues::XoverTypeNames[i].long_name) type = i;
        if (type < 0) Refuse(Join(path, "type"), "value out of range: '" + text + "' is no crossover type");
        m.xo_type[out][side] = type;
    }
}

struct Filter {
    int type = 2, freq = kvvalues::kFreqRow1k, gain = kvvalues::kEqGainZero, width = 5;
};

std::vector<Filter> ReadFilters(const json& list, const std::string& path) {
    if (!list.is_array()) Refuse(path, "wrong type: expected an array");
    if (list.size() > static_cast<std::size_t>(kEqSlotsPerChannel))
        Refuse(path,
               std::to_string(list.size()) + " EQ filters; a channel holds " + std::to_string(kEqSlotsPerChannel));
    std::vector<Filter> filters;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string at = path + "[" + std::to_string(i) + "]";
        const json& e = list[i];
        OnlyKeys(e, at, {"type", "freq", "gain", "width"});
        for (const char* key : {"type", "freq", "gain", "width"})
            if (!Find(e, key)) Refuse(Join(at, key), "missing");
        Filter f;
        f.type = Choice(e["type"], Join(at, "type"), kvvalues::EqTypeNames);
        f.freq = FreqRow(e["freq"], Join(at, "freq"));
        f.gain = Steps(e["gain"], Join(at, "gain"), units::kEqGain);
        f.width = Steps(e["width"], Join(at, "width"), units::kEqWidth);
        filters.push_back(f);
    }
    return filters;
}

void ReadName(const json& j, CDSDATA& m) {
    const std::string name = String(j, "name");
    if (name.size() > 8) Refuse("name", "value out of range: longer than 8 characters");
    for (char c : name)
        if (c != ' ' && kvcom::NameCharToDevice(c) == 0x40)
            Refuse("name", std::string("value out of range: the unit cannot show '") + c + "'");
    std::memset(m.prog_name, 0, sizeof m.prog_name);
    std::memcpy(m.prog_name, name.data(), name.size());
}

void ReadOutput(const json& o, const std::string& path, CDSDATA& m, int n) {
    OnlyKeys(o, path, {"name", "source", "gain", "mute", "polarity", "limit", "delay", "hp", "lp", "eq"});
    if (const json* j = Find(o, "name")) {
        if (j->is_number_integer()) {
            const auto index = j->get<long long>();
            if (index < 0 || index > 255) Refuse(Join(path, "name"), "value out of range (0 to 255)");
            m.out_name[n] = static_cast<char>(index);
        } else {
            m.out_name[n] = static_cast<char>(Choice(*j, Join(path, "name"), kOutputNames));
        }
    }
    if (const json* j = Find(o, "source"))
        m.out_source[n] = static_cast<char>(Choice(*j, Join(path, "source"), kSourceNames));
    if (const json* j = Find(o, "gain")) m.out_gain[n] = Steps(*j, Join(path, "gain"), units::kOutGain);
    if (const json* j = Find(o, "mute")) m.out_mute[n] = Bool(*j, Join(path, "mute")) ? 1 : 0;
    if (const json* j = Find(o, "polarity")) {
        const char* const names[] = {"normal", "180"};
        m.out_polarity[n] = Choice(*j, Join(path, "polarity"), names);
    }
    if (const json* j = Find(o, "limit")) m.out_limit[n] = Steps(*j, Join(path, "limit"), units::kLimit);
    if (const json* j = Find(o, "delay")) m.out_delay[n] = Steps(*j, Join(path, "delay"), units::kDelay);
    if (const json* j = Find(o, "hp")) ReadCrossover(*j, Join(path, "hp"), m, n, 0);
    if (const json* j = Find(o, "lp")) ReadCrossover(*j, Join(path, "lp"), m, n, 1);
}

// The owners of the filters in image order: as the file lists them, or
// else linked twins right behind their leaders and channels in page order.
std::vector<int> FilterOrder(const json& doc, const CDSDATA& m, const std::vector<Filter> (&filters)[8]) {
    auto index_of = [](int chan) {
        return static_cast<int>(std::find(std::begin(kEqChannels), std::end(kEqChannels), chan) -
                                std::begin(kEqChannels));
    };
    std::vector<int> order;
    if (const json* listed = Find(doc, "filter_order")) {
        if (!listed->is_array()) Refuse("filter_order", "wrong type: expected an array");
        int count[8] = {};
        for (std::size_t i = 0; i < listed->size(); ++i) {
            const std::string at = "filter_order[" + std::to_string(i) + "]";
            const auto chan = ChannelFromKey(String((*listed)[i], at));
            if (!chan || !HasEq(*chan)) Refuse(at, "value out of range: not a channel with EQ filters");
            ++count[index_of(*chan)];
            order.push_back(*chan);
        }
        for (int k = 0; k < 8; ++k)
            if (count[k] != static_cast<int>(filters[k].size()))
                Refuse("filter_order", "lists " + std::to_string(count[k]) + " filters of " +
                                           ChannelKey(kEqChannels[k]) + ", which has " +
                                           std::to_string(filters[k].size()));
        return order;
    }
    bool placed[8] = {};
    CDSDATA probe(m);
    for (int k = 0; k < 8; ++k) {
        if (placed[k]) continue;
        const int chan = kEqChannels[k];
        int partner = -1;
        if (m.link_on && chan == CHAN_IN_A) partner = CHAN_IN_B;
        if (m.link_on && IsOutput(chan)) {
            probe.cur_chan = chan;
            partner = probe.GetLinkChan();
        }
        const int p = partner < 0 ? -1 : index_of(partner);
        const std::size_t longest = std::max(filters[k].size(), p < 0 ? 0 : filters[p].size());
        for (std::size_t s = 0; s < longest; ++s) {
            if (s < filters[k].size()) order.push_back(chan);
            if (p >= 0 && s < filters[p].size()) order.push_back(partner);
        }
        placed[k] = true;
        if (p >= 0) placed[p] = true;
    }
    return order;
}

// The pages open one filter at a time while the DSP budget has room, and a
// linked open brings the twin in the partner's same slot along. An open on
// the first DSP's channels (inputs, Out 1, Out 2) looks at the first DSP
// alone, an open on Out 3..6 at both DSPs together; so each group must fit
// on top of the crossovers as if it had been opened before the other, in
// its most forgiving order.
void CheckBudget(const CDSDATA& m) {
    struct Open {
        int chan, slot, twin_chan;
    };
    CDSDATA probe(m);
    auto partner_of = [&](int chan) {
        if (!m.link_on) return -1;
        if (chan == CHAN_IN_A || chan == CHAN_IN_B) return chan == CHAN_IN_A ? CHAN_IN_B : CHAN_IN_A;
        probe.cur_chan = chan;
        return probe.GetLinkChan();
    };
    auto leads = [](int chan, int partner) {
        return partner >= 0 && (chan == CHAN_IN_A || (IsOutput(partner) && partner > chan));
    };
    std::vector<Open> groups[2];
    for (int chan : kEqChannels) {
        const int partner = partner_of(chan);
        const bool follower = partner >= 0 && !leads(chan, partner);
        for (int s = 0; s < EqCount(m, chan); ++s) {
            if (EqRow(m, chan, s) < 0 || (follower && EqRow(m, partner, s) >= 0)) continue;  // opened with its leader
            const int twin = leads(chan, partner) && EqRow(m, partner, s) >= 0 ? partner : -1;
            groups[kvcom::HomeDsp(chan)].push_back({chan, s, twin});
        }
    }
    for (int g = 0; g < 2; ++g) {
        // A check looks at the load before the open, so the opens that add
        // the most to the load it looks at go last: a twin adds to it unless
        // it runs on the other DSP.
        auto adds = [g](const Open& o) {
            const bool twin_counts = o.twin_chan >= 0 && (g == 1 || kvcom::HomeDsp(o.twin_chan) == kvcom::kFirstDsp);
            return 1 + int{twin_counts};
        };
        auto& group = groups[g];
        std::stable_sort(group.begin(), group.end(), [&](const Open& a, const Open& b) { return adds(a) < adds(b); });
        CDSDATA load(m);
        std::fill(std::begin(load.eq_dsp), std::end(load.eq_dsp), -1);
        auto place = [&load](int chan, int row) { load.eq_dsp[row] = kvcom::DspForOpenedFilter(load, chan); };
        for (const Open& o : group) {
            if (!kvcom::EqFilterFits(load, o.chan))
                Refuse(ChannelKey(o.chan) + ".eq[" + std::to_string(o.slot) + "]",
                       "more EQ filters than the DSP budget allows (load " + std::to_string(load.CalDSP1()) + " + " +
                           std::to_string(load.CalDSP2()) + " units before it)");
            place(o.chan, EqRow(m, o.chan, o.slot));
            if (o.twin_chan >= 0) place(o.twin_chan, EqRow(m, o.twin_chan, o.slot));
        }
    }
}

void Read(const json& doc, CDSDATA& w) {
    OnlyKeys(doc, "",
             {"format", "version", "name", "config", "link", "ina", "inb", "sum", "out1", "out2", "out3", "out4",
              "out5", "out6", "filter_order"});
    const json* format = Find(doc, "format");
    if (format == nullptr) Refuse("format", "missing: not a Kalvore program file");
    if (String(*format, "format") != kJsonFormat) Refuse("format", "value out of range: not a Kalvore program file");
    const json* version = Find(doc, "version");
    if (version == nullptr) Refuse("version", "missing");
    if (!version->is_number_integer()) Refuse("version", "wrong type: expected an integer");
    if (version->get<long long>() != kJsonVersion)
        Refuse("version", "value out of range: version " + version->dump() + " is not known");

    w.figuration = 0;
    w.link_on = 0;
    if (const json* j = Find(doc, "config")) w.figuration = static_cast<char>(Choice(*j, "config", kConfigNames));
    if (const json* j = Find(doc, "link")) w.link_on = Bool(*j, "link") ? 1 : 0;
    w.InitData();
    if (const json* j = Find(doc, "name")) ReadName(*j, w);

    std::vector<Filter> filters[8];
    for (int k = 0; k < 8; ++k) {
        const int chan = kEqChannels[k];
        const std::string key = ChannelKey(chan);
        const json* c = Find(doc, key.c_str());
        if (c == nullptr) continue;
        if (IsOutput(chan))
            ReadOutput(*c, key, w, chan);
        else
            OnlyKeys(*c, key, {"delay", "eq"});
        if (!IsOutput(chan))
            if (const json* d = Find(*c, "delay"))
                (chan == CHAN_IN_A ? w.ina_delay : w.inb_delay) = Steps(*d, key + ".delay", units::kDelay);
        if (const json* e = Find(*c, "eq")) filters[k] = ReadFilters(*e, key + ".eq");
    }
    if (const json* c = Find(doc, "sum")) {
        OnlyKeys(*c, "sum", {"delay"});
        if (const json* d = Find(*c, "delay")) w.sum_delay = Steps(*d, "sum.delay", units::kDelay);
    }

    std::size_t total = 0;
    for (const auto& f : filters) total += f.size();
    if (total > static_cast<std::size_t>(kPoolFilters))
        Refuse("", std::to_string(total) + " EQ filters in all; the pool holds " + std::to_string(kPoolFilters));

    // Into the pool in image order, each channel's filters in slot order;
    // the library's reader then settles slot lists, twins and DSPs.
    std::size_t next[8] = {};
    const std::vector<int> order = FilterOrder(doc, w, filters);
    for (std::size_t row = 0; row < order.size(); ++row) {
        const int chan = order[row];
        const auto* channel = std::find(std::begin(kEqChannels), std::end(kEqChannels), chan);
        if (channel == std::end(kEqChannels)) continue;  // the order names only channels with an EQ
        const auto k = static_cast<std::size_t>(channel - std::begin(kEqChannels));
        const Filter& f = filters[k][next[k]];
        int* slots = SlotList(w, chan);
        slots[next[k]++] = static_cast<int>(row);
        w.eq_owner[row] = chan;  // the model's channel codes are its owner codes
        w.eq_type[row] = f.type;
        w.eq_freq[row] = f.freq;
        w.eq_gain[row] = f.gain;
        w.eq_bw[row] = f.width;
    }
    w.eq_used = static_cast<int>(order.size());
    Normalize(w);

    CheckBudget(w);
    if (auto broken = CheckProgramRules(w)) Refuse(broken->place, "value out of range: " + broken->reason);
}

}  // namespace

nlohmann::ordered_json ProgramToJson(const CDSDATA& model) {
    CDSDATA m(model);
    Normalize(m);
    ojson doc;
    doc["format"] = kJsonFormat;
    doc["version"] = kJsonVersion;
    doc["name"] = ReadText(m, {Field::Name});
    doc["config"] = kConfigNames[std::clamp<int>(m.figuration, 0, 2)];
    doc["link"] = m.link_on != 0;
    for (int chan : kChannels) {
        const std::string key = ChannelKey(chan);
        ojson c;
        if (IsOutput(chan)) {
            const int name = static_cast<unsigned char>(m.out_name[chan]);
            if (name < static_cast<int>(kOutputNames.size()))
                c["name"] = kOutputNames[name];
            else
                c["name"] = name;
            c["source"] = kSourceNames[std::clamp<int>(m.out_source[chan], 0, 2)];
            c["gain"] = units::NumberOf(units::kOutGain, m.out_gain[chan]);
            c["mute"] = m.out_mute[chan] != 0;
            c["polarity"] = m.out_polarity[chan] ? "180" : "normal";
            c["limit"] = units::NumberOf(units::kLimit, m.out_limit[chan]);
            c["delay"] = units::NumberOf(units::kDelay, m.out_delay[chan]);
            c["hp"] = SettingValue(m, {Field::HighPass, chan});
            c["lp"] = SettingValue(m, {Field::LowPass, chan});
        } else {
            const int delay = chan == CHAN_IN_A ? m.ina_delay : chan == CHAN_IN_B ? m.inb_delay : m.sum_delay;
            c["delay"] = units::NumberOf(units::kDelay, delay);
        }
        if (HasEq(chan)) c["eq"] = Filters(m, chan);
        doc[key] = c;
    }
    ojson order = ojson::array();
    for (int r = 0; r < kPoolFilters; ++r)
        if (m.eq_owner[r] != -1) order.push_back(ChannelKey(m.eq_owner[r]));
    if (!order.empty()) doc["filter_order"] = order;
    return doc;
}

std::string ExportJson(const CDSDATA& m) { return ProgramToJson(m).dump(2) + "\n"; }

std::optional<Refusal> ImportJson(CDSDATA& into, std::string_view text) {
    json doc;
    try {
        doc = json::parse(text.begin(), text.end());
    } catch (const json::parse_error& e) {
        return JsonSyntaxRefusal(text, e.byte, e.what());
    } catch (const json::out_of_range& e) {
        // A number no double holds ("1E400"): the parser names the number,
        // not where it stands, and may quote a number of any length.
        const std::string what = e.what();
        const auto open = what.find('\''), close = what.rfind('\'');
        const std::string number =
            open != std::string::npos && close > open ? what.substr(open + 1, close - open - 1) : "";
        const auto at = number.empty() ? std::string_view::npos : text.find(number);
        const std::string shown = number.size() > 24 ? number.substr(0, 24) + "..." : number;
        return JsonSyntaxRefusal(text, at == std::string_view::npos ? 0 : at + 1,
                                 ": a number too large to read: " + shown);
    }
    return ImportJsonDocument(into, doc);
}

Refusal JsonSyntaxRefusal(std::string_view text, std::size_t byte, std::string_view parser_message) {
    // The parser counts bytes from 1 and stops just past the fault.
    std::size_t line = 1, column = 1;
    const std::size_t end = std::min(byte > 0 ? byte - 1 : 0, text.size());
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    // "[json.exception.parse_error.101] parse error at line 3, column 5:
    // syntax error while parsing object - ..."; the words after the place.
    std::string reason(parser_message);
    if (const auto colon = reason.find(": "); colon != std::string::npos) reason = reason.substr(colon + 2);
    return Refusal{"line " + std::to_string(line) + ", column " + std::to_string(column),
                   "not a JSON document: " + reason};
}

std::optional<Refusal> ImportJsonDocument(CDSDATA& into, const nlohmann::json& doc) {
    CDSDATA w(into);
    try {
        Read(doc, w);
    } catch (const Refused& r) {
        return r.refusal;
    }
    // The program is new; the caller's memory, cursors and delay unit are not.
    w.mem_num = into.mem_num;
    w.delay_unit = into.delay_unit;
    w.cur_chan = into.cur_chan;
    w.cur_slot = into.cur_slot;
    w.cur_eq = into.cur_eq;
    w.xo_side = into.xo_side;
    into = w;
    return std::nullopt;
}

}  // namespace kvprog
