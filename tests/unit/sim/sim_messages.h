// Messages as the PC puts them on the line, built by hand for the
// simulator's tests (so they check the device against the wire format, not
// against the library's own encoder).
#pragma once

#include <kvcom/kvcom.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "device.h"
#include "hex.h"

namespace kvtest::sim {

using kvtest::Bytes;
using kvtest::Hex;

// F0 00 20 18 00 2D sel hi lo d1 d2 d3 F7 without the trailing zero data bytes.
inline Bytes Param(int sel, int hi, int lo, std::initializer_list<int> data = {}) {
    Bytes m = {0xF0,
               0x00,
               0x20,
               0x18,
               0x00,
               0x2D,
               static_cast<std::uint8_t>(sel),
               static_cast<std::uint8_t>(hi),
               static_cast<std::uint8_t>(lo)};
    std::vector<int> d(data);
    while (!d.empty() && d.back() == 0) d.pop_back();
    for (int v : d) m.push_back(static_cast<std::uint8_t>(v));
    m.push_back(0xF7);
    return m;
}

struct Filter {
    int type, freq, gain, bw;
};

// What the PC sends to open a filter in `slot` of output `out` and set its
// values; `partner` >= 0 when the stereo link repeats it to that output.
inline std::vector<Bytes> OpenOutputFilter(int out, int partner, int slot, Filter f) {
    const int s = 2 * slot + 2;
    std::vector<Bytes> seq;
    auto both = [&](int hi, std::initializer_list<int> d) {
        seq.push_back(Param(0x60 + out, hi, 0x00, d));
        if (partner >= 0) seq.push_back(Param(0x60 + partner, hi, 0x00, d));
    };
    seq.push_back(Param(0x60 + out, 0x1A, 0x01));
    if (partner >= 0) seq.push_back(Param(0x60 + partner, 0x1A, 0x01));
    seq.push_back(Param(0x60 + out, 0x17, 0x01));
    both(0x6C, {f.type, s});
    both(0x6D, {f.freq % 128, s + f.freq / 128});
    both(0x6E, {f.gain, s});
    seq.push_back(Param(0x60 + out, 0x1A, 0x01));  // trailer of the gain
    both(0x6F, {f.bw, s});
    return seq;
}

// What the PC sends to release the filter in `slot` of output `out`.
inline std::vector<Bytes> ReleaseOutputFilter(int out, int partner, int slot) {
    std::vector<Bytes> seq = {Param(0x60 + out, 0x6E, 0x00, {30, 2 * slot + 2})};
    if (partner >= 0) seq.push_back(Param(0x60 + partner, 0x6E, 0x00, {30, 2 * slot + 2}));
    seq.push_back(Param(0x60 + out, 0x1A, 0x01));
    return seq;
}

// The same for an input (sel 0x20 In A, 0x21 In B); with the link on every
// EQ message is repeated to In B, whoever owns the filter.
inline std::vector<Bytes> OpenInputFilter(int sel, bool link, int slot, Filter f) {
    const int s = 2 * slot + 2;
    std::vector<Bytes> seq;
    auto both = [&](int hi, std::initializer_list<int> d) {
        seq.push_back(Param(sel, hi, 0x00, d));
        if (link) seq.push_back(Param(0x21, hi, 0x00, d));
    };
    seq.push_back(Param(sel, 0x1A, 0x01));
    if (link) seq.push_back(Param(0x21, 0x1A, 0x01));
    seq.push_back(Param(sel, 0x17, 0x01));
    both(0x2A, {f.type, s});
    both(0x2B, {f.freq / 128, f.freq % 128, s});
    both(0x2C, {f.gain, s});
    seq.push_back(Param(sel, 0x1A, 0x01));
    both(0x2D, {f.bw, s});
    return seq;
}

inline std::vector<Bytes> ReleaseInputFilter(int sel, bool link, int slot) {
    std::vector<Bytes> seq = {Param(sel, 0x2C, 0x00, {30, 2 * slot + 2})};
    if (link) seq.push_back(Param(0x21, 0x2C, 0x00, {30, 2 * slot + 2}));
    seq.push_back(Param(sel, 0x1A, 0x01));
    return seq;
}

// Feeds every message; returns all replies.
inline Bytes FeedAll(kvsim::Device& dev, const std::vector<Bytes>& messages) {
    Bytes out;
    for (const Bytes& m : messages) {
        const Bytes r = dev.Feed(m.data(), m.size());
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

inline Bytes Feed(kvsim::Device& dev, const Bytes& m) { return dev.Feed(m.data(), m.size()); }

// A program image of `m` for memory `mem`, as the PC builds it.
inline Bytes ImageOf(const CDSDATA& m, int mem) {
    CDSDATA copy(m);
    copy.mem_num = static_cast<char>(mem);
    Bytes out(3000);
    out.resize(static_cast<std::size_t>(copy.SaveData(out.data())));
    return out;
}

// The model the PC rebuilds from an image.
inline CDSDATA Decode(const Bytes& image) {
    CDSDATA m;
    m.GetData(image.data(), static_cast<int>(image.size()), 0);
    return m;
}

inline std::vector<Filter> FiltersOf(const CDSDATA& m, const int* slots) {
    std::vector<Filter> out;
    for (int s = 0; s < 40 && slots[s] >= 0; ++s) {
        const int r = slots[s];
        out.push_back({m.eq_type[r], m.eq_freq[r], m.eq_gain[r], m.eq_bw[r]});
    }
    return out;
}

inline bool operator==(const Filter& a, const Filter& b) {
    return a.type == b.type && a.freq == b.freq && a.gain == b.gain && a.bw == b.bw;
}

}  // namespace kvtest::sim
