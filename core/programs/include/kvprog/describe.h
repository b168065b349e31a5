// A program in words: every setting with its page text, grouped by channel,
// as a list and as aligned plain text; and the settings in which two
// programs differ.
#pragma once

#include <kvcom/kvcom.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kvprog/settings.h"

namespace kvprog {

struct DescribedSetting {
    SettingRef ref;
    std::string path;     // "out3.eq2.freq"
    std::string channel;  // "Out 3"
    std::string label;    // "eq2.freq" (the path within its channel)
    std::string text;     // "1.00k Hz"
};

std::vector<DescribedSetting> Describe(const CDSDATA& m);

// "Out 3" on a line of its own, then "  gain      -2.4 dB" for each setting.
std::string DescribeText(const CDSDATA& m);

struct Difference {
    SettingRef ref;
    std::string path;
    std::string channel;
    std::string a, b;  // page texts; "(empty)" for an EQ slot one side lacks
};

// The settings in which `a` and `b` differ, in page order. EQ filters are
// compared channel by channel, slot by slot; a slot that only one side
// fills is one difference of the whole filter ("out3.eq2").
std::vector<Difference> Diff(const CDSDATA& a, const CDSDATA& b);

// Aligned text: channel headings, then "  path  a  ->  b"; or a line saying
// that there are no differences.
std::string DiffText(const std::vector<Difference>& diffs);

}  // namespace kvprog
