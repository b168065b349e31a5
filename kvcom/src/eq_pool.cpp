// The EQ filter pool: 39 filters handed out on demand to the inputs and
// outputs, placed on one of the two DSPs, and mirrored as twin filters on the
// stereo partner while the link is on. Also the link's value copy.
#include <kvcom/kvcom.h>

#include <algorithm>

#include "kvproto/channels.h"
#include "kvproto/stereo.h"
#include "reception.h"

namespace {

constexpr int kAssignableRows = KV_DEFAULT_ROW;  // rows 0..38; row 39 holds the defaults
constexpr int kSlotCount = KV_POOL_ROWS;
constexpr int kNewFilterGain = 31;  // +0.5 dB, so a fresh filter is audible as open
constexpr int kFlatGain = 30;       // 0 dB
constexpr unsigned kBetweenCodesMs = 500;

constexpr int kOutputOpenCodes[] = {PC_OUT_EQ_ASSIGN, PC_OUT_EQ_TYPE, PC_OUT_EQ_FREQ, PC_OUT_EQ_GAIN, PC_OUT_EQ_BW};
constexpr int kInputOpenCodes[] = {PC_IN_EQ_ASSIGN, PC_IN_EQ_TYPE, PC_IN_EQ_FREQ, PC_IN_EQ_GAIN, PC_IN_EQ_BW};

// One channel as the pool sees it: its owner code, its slot list and, for
// the inputs, the per-input copies of the pool values.
struct Channel {
    int code;
    int* slots;
    int* copy_freq = nullptr;
    int* copy_bw = nullptr;
    int* copy_gain = nullptr;
    int* copy_type = nullptr;
};

Channel Output(CDSDATA& m, int out) { return {out, kvcom::EqSlotList(m, out)}; }
Channel InputA(CDSDATA& m) {
    return {CHAN_IN_A, kvcom::EqSlotList(m, CHAN_IN_A), m.ina_eq_freq, m.ina_eq_bw, m.ina_eq_gain, m.ina_eq_type};
}
Channel InputB(CDSDATA& m) {
    return {CHAN_IN_B, kvcom::EqSlotList(m, CHAN_IN_B), m.inb_eq_freq, m.inb_eq_bw, m.inb_eq_gain, m.inb_eq_type};
}

bool IsAssignable(int row) { return row >= 0 && row < kAssignableRows; }

int LowestFreeRow(const CDSDATA& m) {
    for (int r = 0; r < kAssignableRows; ++r)
        if (m.eq_owner[r] == -1) return r;
    return -1;
}

int FreeRowCount(const CDSDATA& m) {
    return static_cast<int>(std::count(m.eq_owner, m.eq_owner + kAssignableRows, -1));
}

void Recount(CDSDATA& m) { m.eq_used = kAssignableRows - FreeRowCount(m); }

// No empty entry before a used one; the filters keep their order.
void Pack(int* slots) {
    std::stable_partition(slots, slots + kSlotCount, [](int row) { return row != -1; });
}

void RemoveFromList(int* slots, int row) { std::replace(slots, slots + kSlotCount, row, -1); }

// A filter that is already placed stays put, so opening it again cannot
// move its load from one DSP to the other.
void Place(CDSDATA& m, int row, int owner) {
    if (m.eq_dsp[row] != -1) return;
    m.eq_dsp[row] = kvcom::DspForOpenedFilter(m, owner);
}

void CopyFilter(CDSDATA& m, int from, int to) {
    m.eq_freq[to] = m.eq_freq[from];
    m.eq_bw[to] = m.eq_bw[from];
    m.eq_gain[to] = m.eq_gain[from];
    m.eq_type[to] = m.eq_type[from];
}

void SyncInputCopy(CDSDATA& m, const Channel& ch, int row) {
    if (ch.copy_freq == nullptr) return;
    ch.copy_freq[row] = m.eq_freq[row];
    ch.copy_bw[row] = m.eq_bw[row];
    ch.copy_gain[row] = m.eq_gain[row];
    ch.copy_type[row] = m.eq_type[row];
}

// Back to a flat default filter with no owner. Any filter that named this
// row as its twin forgets it, so a later release of that filter cannot free
// the row again once it belongs to someone else.
void FreeRow(CDSDATA& m, int row) {
    m.eq_owner[row] = -1;
    m.eq_freq[row] = m.eq_freq[KV_DEFAULT_ROW];
    m.eq_bw[row] = m.eq_bw[KV_DEFAULT_ROW];
    m.eq_type[row] = m.eq_type[KV_DEFAULT_ROW];
    m.eq_gain[row] = kFlatGain;
    m.eq_dsp[row] = -1;
    m.eq_link[row] = -1;
    std::replace(m.eq_link, m.eq_link + kAssignableRows, row, -1);
}

// How the twin of an opened filter is found while the link is on.
enum class TwinRule {
    kLinkedOnly,  // outputs: a filter already open keeps only the twin it has
    kBySlotToo,   // In A: the two input lists run parallel, so the filter in
                  // the same slot of In B is the twin when none is recorded
};

// Opens (or re-sends) the filter in slot cur_slot of `ch`. `partner` is the
// channel that gets the twin, or nullptr when there is none.
int OpenFilter(CDSDATA& m, const Channel& ch, const Channel* partner, const int (&codes)[5], TwinRule rule) {
    const int slot = m.cur_slot;
    int r = ch.slots[slot];
    const bool fresh = r == -1;

    // Settle the twin first: when the pool cannot hold both filters,
    // nothing is sent and nothing changes.
    int twin = -1;
    bool fresh_twin = false;
    if (partner != nullptr) {
        if (!fresh && m.eq_link[r] != -1) {
            twin = m.eq_link[r];
        } else if (fresh || rule == TwinRule::kBySlotToo) {
            // A filter already in the partner's slot becomes the twin rather
            // than being dropped from the partner's list.
            twin = partner->slots[slot];
            fresh_twin = twin == -1;
        }
    }
    if (FreeRowCount(m) < int{fresh} + int{fresh_twin}) return 1;

    if (fresh) {
        r = LowestFreeRow(m);
        m.eq_owner[r] = ch.code;
        m.eq_gain[r] = kNewFilterGain;
    }
    m.cur_eq = r;
    // The messages stop at the first that does not reach the unit; the
    // model takes the filter all the same (it is the user's edit).
    bool sent = true;
    for (std::size_t i = 0; sent && i < std::size(codes); ++i) {
        sent = (i == 0 || kvcom::PauseMs(kBetweenCodesMs)) && m.SendParam(codes[i]) != 0;
    }

    m.eq_owner[r] = ch.code;
    ch.slots[slot] = r;
    Place(m, r, ch.code);
    SyncInputCopy(m, ch, r);

    if (fresh_twin) {
        twin = LowestFreeRow(m);
        m.eq_owner[twin] = partner->code;
        partner->slots[slot] = twin;
    }
    if (twin != -1) {
        m.eq_link[r] = twin;
        Place(m, twin, partner->code);
        CopyFilter(m, r, twin);
        SyncInputCopy(m, *partner, twin);
    }

    Pack(ch.slots);
    Recount(m);
    return sent ? 1 : 0;
}

// Releases the filter cur_eq in slot cur_slot of `ch`, and its twin on
// `partner` (nullptr when the link is off or there is no partner). The
// device first hears the filter go flat through `flat_code`.
int ReleaseFilter(CDSDATA& m, const Channel& ch, const Channel* partner, int flat_code, TwinRule rule) {
    const int r = m.cur_eq;
    if (!IsAssignable(r)) return 1;  // an empty slot: nothing to release
    const int slot = m.cur_slot;

    m.eq_gain[r] = kFlatGain;
    const bool sent = m.SendParam(flat_code) != 0;

    const int recorded_twin = m.eq_link[r];
    FreeRow(m, r);
    ch.slots[slot] = -1;
    m.cur_eq = ch.slots[slot + 1];  // the filter that packing moves into this slot

    if (partner != nullptr) {
        const int twin = rule == TwinRule::kBySlotToo ? partner->slots[slot] : recorded_twin;
        if (IsAssignable(twin) && m.eq_owner[twin] == partner->code) {
            FreeRow(m, twin);
            // Packed like the edited list, so the two lists stay parallel.
            RemoveFromList(partner->slots, twin);
            Pack(partner->slots);
        }
    }

    Pack(ch.slots);
    Recount(m);
    return sent ? 1 : 0;
}

// Right-hand name of a left-hand output name, or -1 when it has none:
// "L Low", "L Mid", "L High" (6..8) → "R Low", "R Mid", "R High" (9..11),
// and "L Subs" (46) → "R Subs" (48).
int RightHandName(int name) {
    constexpr int kLeftLow = 6, kLeftHigh = 8, kLeftToRight = 3;
    constexpr int kLeftSubs = 46, kRightSubs = 48;
    if (name >= kLeftLow && name <= kLeftHigh) return name + kLeftToRight;
    if (name == kLeftSubs) return kRightSubs;
    return -1;
}

}  // namespace

int CDSDATA::SetNewPEQ() {
    const int p = GetLinkChan();
    const Channel partner = p >= 0 ? Output(*this, p) : Channel{};
    return OpenFilter(*this, Output(*this, cur_chan), p >= 0 ? &partner : nullptr, kOutputOpenCodes,
                      TwinRule::kLinkedOnly);
}

int CDSDATA::DeletePEQ() {
    if (!IsAssignable(cur_eq)) return 1;
    const int owner = eq_owner[cur_eq];
    const int flat_code = kvcom::IsInputChannel(owner) ? PC_IN_EQ_GAIN : PC_OUT_EQ_GAIN;
    const int p = GetLinkChan();
    const Channel partner = p >= 0 ? Output(*this, p) : Channel{};
    return ReleaseFilter(*this, Output(*this, cur_chan), p >= 0 ? &partner : nullptr, flat_code, TwinRule::kLinkedOnly);
}

int CDSDATA::SetNewInAPEQ() {
    const Channel in_b = InputB(*this);
    return OpenFilter(*this, InputA(*this), link_on ? &in_b : nullptr, kInputOpenCodes, TwinRule::kBySlotToo);
}

int CDSDATA::DeleteInAPEQ() {
    const Channel in_b = InputB(*this);
    return ReleaseFilter(*this, InputA(*this), link_on ? &in_b : nullptr, PC_IN_EQ_GAIN, TwinRule::kBySlotToo);
}

int CDSDATA::SetNewInBPEQ() {
    return OpenFilter(*this, InputB(*this), nullptr, kInputOpenCodes, TwinRule::kLinkedOnly);
}

int CDSDATA::DeleteInBPEQ() {
    return ReleaseFilter(*this, InputB(*this), nullptr, PC_IN_EQ_GAIN, TwinRule::kLinkedOnly);
}

int CDSDATA::SetLinkVal() {
    const int ch = cur_chan;
    const int p = GetLinkChan();
    if (p < 0) return 1;
    out_gain[p] = out_gain[ch];
    out_polarity[p] = out_polarity[ch];
    out_delay[p] = out_delay[ch];
    out_limit[p] = out_limit[ch];
    for (int side = 0; side < 2; ++side) {
        xo_type[p][side] = xo_type[ch][side];
        xo_freq[p][side] = xo_freq[ch][side];
    }
    // Only a left-hand name has a right-hand match; otherwise (the right-hand
    // output of the pair, or a name without sides) the partner keeps its name.
    const int right = RightHandName(out_name[ch]);
    if (right >= 0) out_name[p] = static_cast<char>(right);
    return 1;
}

int CDSDATA::GetLinkChan() const { return link_on ? kvcom::StereoPartner(figuration, cur_chan) : -1; }
