#include "kvprog/describe.h"

#include <algorithm>

#include "kvproto/image_layout.h"

namespace kvprog {

namespace {

std::string Label(const SettingRef& ref, const std::string& path) {
    if (ref.chan == kChanProgram) return path;
    return path.substr(ChannelKey(ref.chan).size() + 1);
}

std::string Padded(std::string s, std::size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

// Every setting either program may hold, in page order: the fixed ones, and
// per channel the EQ slots that either side fills.
std::vector<SettingRef> UnionOfSettings(const CDSDATA& a, const CDSDATA& b) {
    std::vector<SettingRef> refs = FixedSettings(kChanProgram);
    for (int chan : kChannels) {
        for (const SettingRef& r : FixedSettings(chan)) refs.push_back(r);
        for (int s = 0; s < std::max(EqCount(a, chan), EqCount(b, chan)); ++s)
            refs.push_back({Field::EqFilter, chan, s});
    }
    return refs;
}

}  // namespace

std::vector<DescribedSetting> Describe(const CDSDATA& m) {
    std::vector<DescribedSetting> out;
    for (const SettingRef& ref : SettingsOf(m)) {
        const std::string path = PathOf(ref);
        out.push_back({ref, path, ChannelTitle(ref.chan), Label(ref, path), ReadText(m, ref)});
    }
    return out;
}

std::string DescribeText(const CDSDATA& m) {
    const auto settings = Describe(m);
    std::size_t width = 0;
    for (const auto& s : settings) width = std::max(width, s.label.size());
    std::string text, channel;
    for (const auto& s : settings) {
        if (s.channel != channel) text += s.channel + "\n";
        channel = s.channel;
        text += "  " + Padded(s.label, width) + "  " + s.text + "\n";
    }
    return text;
}

std::vector<Difference> Diff(const CDSDATA& a, const CDSDATA& b) {
    std::vector<Difference> out;
    auto add = [&](const SettingRef& ref) {
        if (!SameSetting(a, b, ref))
            out.push_back({ref, PathOf(ref), ChannelTitle(ref.chan), ReadText(a, ref), ReadText(b, ref)});
    };
    for (const SettingRef& ref : UnionOfSettings(a, b)) {
        if (ref.field != Field::EqFilter) {
            add(ref);
            continue;
        }
        const bool in_a = EqRow(a, ref.chan, ref.slot) >= 0;
        const bool in_b = EqRow(b, ref.chan, ref.slot) >= 0;
        if (in_a != in_b) {
            add(ref);
        } else if (in_a) {
            for (Field f : {Field::EqType, Field::EqFreq, Field::EqGain, Field::EqWidth}) add({f, ref.chan, ref.slot});
        }
    }
    return out;
}

std::string DiffText(const std::vector<Difference>& diffs) {
    if (diffs.empty()) return "No differences.\n";
    std::size_t path_width = 0, a_width = 0;
    for (const auto& d : diffs) {
        path_width = std::max(path_width, d.path.size());
        a_width = std::max(a_width, d.a.size());
    }
    std::string text, channel;
    for (const auto& d : diffs) {
        if (d.channel != channel) text += d.channel + "\n";
        channel = d.channel;
        text += "  " + Padded(d.path, path_width) + "  " + Padded(d.a, a_width) + "  ->  " + d.b + "\n";
    }
    return text;
}

}  // namespace kvprog
