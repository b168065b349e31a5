#include "kvprog/decode.h"

#include <algorithm>
#include <cstdio>

#include "kvproto/image_layout.h"
#include "kvproto/names.h"
#include "kvproto/stereo.h"
#include "kvvalues/units.h"
#include "kvvalues/value_tables.h"

namespace kvprog {

namespace units = kvvalues::units;

namespace {

namespace img = kvcom::image;
using Bytes = std::span<const std::uint8_t>;

constexpr std::uint8_t kMaker[] = {0xF0, 0x00, 0x20, 0x18};
constexpr int kCommand = 5;
constexpr int kSelector = 6;
constexpr std::uint8_t kAllUnits = 0x7F;
constexpr int kSystemBlockMemory = 58;  // nibble pair of the current memory

const char* const kConfigNames[3] = {"Mono", "2 Channel 3 Way", "3 Channel 2 Way"};
const char* const kSourceNames[3] = {"In A", "In B", "In SUM A+B"};

bool IsSysEx(Bytes m) {
    return m.size() >= 7 && std::equal(std::begin(kMaker), std::end(kMaker), m.begin()) && m.back() == 0xF7;
}

std::string Unknown(Bytes m) { return "unknown message " + HexBytes(m); }

std::string ChannelWords(int selector) {
    if (selector == 0x20) return "In A";
    if (selector == 0x21) return "In B";
    if (selector == 0x22) return "In SUM A+B";
    return "Out " + std::to_string(selector - 0x60 + 1);
}

std::string FreqWords(int row) {
    return row >= 0 && row < kvvalues::kFreqRows ? units::FreqText(row) : "row " + std::to_string(row);
}

std::string Choice(const char* const* names, int count, int i) {
    return i >= 0 && i < count ? names[i] : "#" + std::to_string(i);
}

std::string EqTypeWords(int t) { return Choice(kvvalues::EqTypeNames.data(), kvvalues::kEqTypes, t); }

std::string XoverTypeWords(int t) {
    return t >= 0 && t < kvvalues::kXoverTypes ? kvvalues::XoverTypeNames[t].short_name : "#" + std::to_string(t);
}

// The name of an image or system block: eight nibble pairs in the
// device's character codes.
std::string ImageName(Bytes m) {
    std::string name;
    for (int i = 0; i < 8; ++i) name += kvcom::NameCharFromImage(img::JoinPair(&m[img::kNameOffset + 2 * i]));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

std::string ProgramImage(Bytes m) {
    if (m.size() < static_cast<std::size_t>(img::kFixedLength)) return Unknown(m);
    const int mem = m[img::kMemNumOffset];
    std::string line = "program image, " + std::to_string(m.size()) + " bytes, " +
                       (mem == 0 ? std::string("working program") : "memory " + std::to_string(mem)) + " '" +
                       ImageName(m) + "'";
    if (img::Checksum(m.data(), img::kHeaderOffset, m.size() - 2) != m[m.size() - 2]) line += ", bad checksum";
    return line;
}

std::string Parameter(Bytes m) {
    if (m.size() < 10 || m.size() > 13) return Unknown(m);
    const int sel = m[kSelector];
    const int code = m[7] << 8 | m[8];
    int d[3] = {};
    for (std::size_t i = 9; i + 1 < m.size(); ++i) d[i - 9] = m[i];
    const int value = d[0] + 128 * d[1] + 16384 * d[2];

    if (sel == 0x01) {
        if (code == 0x0200) return std::string("link ") + (d[0] ? "on" : "off");
        if (code == 0x1101 || code == 0x1201) return "configuration " + Choice(kConfigNames, 3, d[0]);
        if (code == 0x0B01) return "store, memory " + std::to_string(d[0]);
        if (m[8] == 0x01 && m[7] >= 1 && m[7] <= 8)
            return "name character " + std::to_string(m[7]) + " '" +
                   kvcom::NameCharFromImage(static_cast<std::uint8_t>(d[0])) + "'";
        return Unknown(m);
    }
    const bool input = sel == 0x20 || sel == 0x21;
    const bool output = sel >= 0x60 && sel <= 0x65;
    if (!input && !output && sel != 0x22) return Unknown(m);
    const std::string who = ChannelWords(sel);
    if (code == 0x1A01) return who + " EQ assign";
    if (code == 0x1701) return who + " EQ trailer 17";
    if (code == 0x2000 && !output) return who + " delay " + units::StepText(units::kDelay, value);
    if (input && code >= 0x2A00 && code <= 0x2D00) {
        // The slot byte s = 2 * slot + 2 closes the data.
        const int s = code == 0x2B00 ? d[2] : d[1];
        const std::string eq = who + " EQ " + std::to_string(s / 2) + " ";
        switch (code) {
        case 0x2A00: return eq + "type " + EqTypeWords(d[0]);
        case 0x2B00: return eq + "freq " + FreqWords(d[1] + 128 * d[0]);
        case 0x2C00: return eq + "gain " + units::StepText(units::kEqGain, d[0]);
        default: return eq + "width " + units::StepText(units::kEqWidth, d[0]);
        }
    }
    if (!output) return Unknown(m);
    if (code >= 0x6C00 && code <= 0x6F00) {
        // The value's high group rides on the even slot byte.
        const int high = d[1] & 1;
        const int v = d[0] + 128 * high;
        const std::string eq = who + " EQ " + std::to_string((d[1] - high) / 2) + " ";
        switch (code) {
        case 0x6C00: return eq + "type " + EqTypeWords(v);
        case 0x6D00: return eq + "freq " + FreqWords(v);
        case 0x6E00: return eq + "gain " + units::StepText(units::kEqGain, v);
        default: return eq + "width " + units::StepText(units::kEqWidth, v);
        }
    }
    switch (code) {
    case 0x6100: return who + " source " + Choice(kSourceNames, 3, d[0]);
    case 0x6200: return who + " gain " + units::StepText(units::kOutGain, value - 75);
    case 0x6300: return who + " limit " + units::StepText(units::kLimit, value - 50);
    case 0x6400: return who + " delay " + units::StepText(units::kDelay, value);
    case 0x6600: return who + " polarity " + (d[0] ? "180" : "normal");
    case 0x6700: return who + " high-pass type " + XoverTypeWords(d[0]);
    case 0x6800: return who + " high-pass " + FreqWords(value);
    case 0x6900: return who + " low-pass type " + XoverTypeWords(d[0]);
    case 0x6A00: return who + " low-pass " + FreqWords(value);
    case 0x7000: return who + " mute " + (d[0] ? "on" : "off");
    default: return Unknown(m);
    }
}

std::string UnitWords(int unit) { return unit == kAllUnits ? "all units" : "unit " + std::to_string(unit); }

// Selectors of a message and of its stereo repeat: Out n&m under either
// linked configuration, or In A then In B.
std::string RepeatPair(int first, int second) {
    if (first == 0x20 && second == 0x21) return "In A&B";
    const int a = first - 0x60, b = second - 0x60;
    if (kvcom::StereoPartner(1, a) == b || kvcom::StereoPartner(2, a) == b)
        return "Out " + std::to_string(std::min(a, b) + 1) + "&" + std::to_string(std::max(a, b) + 1);
    return "";
}

}  // namespace

std::string HexBytes(Bytes bytes) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

std::string DecodeMessage(Bytes m) {
    if (m.size() == 2 && m[0] == 0xC0 && m[1] < 0x80)
        return "program change " + std::to_string(m[1]) + ", memory " + std::to_string(m[1] + 1);
    if (!IsSysEx(m)) return Unknown(m);
    const int unit = m[4];
    switch (m[kCommand]) {
    case 0x06:
        if (m.size() == 8 && m[6] == 0x01)
            return unit == 0 ? "identity request" : "identity request, " + UnitWords(unit);
        if (m.size() == 8 && m[6] == 0x0F && unit == kAllUnits) return "store-all prelude";
        if (m.size() == 11 && m[6] == 0x02 && m[7] == 0x03 && m[9] == 0x06) return "identity reply, " + UnitWords(unit);
        return Unknown(m);
    case 0x00: return m.size() == 7 && unit == kAllUnits ? "memory dump request" : Unknown(m);
    case 0x02:
        if (m.size() != 8) return Unknown(m);
        return m[6] == 0 ? "program request, working program" : "program request, memory " + std::to_string(m[6]);
    case 0x2B:
        if (m.size() < static_cast<std::size_t>(kSystemBlockMemory + 3)) return Unknown(m);
        return "system block, " + std::to_string(m.size()) + " bytes, current memory " +
               std::to_string(img::JoinPair(&m[kSystemBlockMemory]));
    case img::kCommand: return ProgramImage(m);
    case 0x2D: return Parameter(m);
    default: return Unknown(m);
    }
}

std::string MessageDecoder::Decode(Bytes m) {
    const std::vector<std::uint8_t> previous = std::move(previous_);
    previous_.assign(m.begin(), m.end());
    // A repeat carries the same bytes to the partner; mute and source are
    // never repeated (the pages send the partner's own).
    if (IsSysEx(m) && m[kCommand] == 0x2D && previous.size() == m.size() && m.size() >= 10) {
        const int code = m[7] << 8 | m[8];
        bool same = code != 0x7000 && code != 0x6100;
        for (std::size_t i = 0; same && i < m.size(); ++i) same = i == kSelector || previous[i] == m[i];
        if (same) {
            const std::string pair = RepeatPair(previous[kSelector], m[kSelector]);
            if (!pair.empty()) return pair + " link repeat";
        }
    }
    return DecodeMessage(m);
}

}  // namespace kvprog
