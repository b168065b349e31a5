#include "model_builder.h"

#include <kvproto/channels.h>

#include <stdexcept>

namespace kvtest {

namespace {

constexpr int kAssignableRows = KV_POOL_ROWS - 1;  // the last row is the default filter
constexpr int kSlots = 40;

int* SlotsOf(CDSDATA& m, int chan) {
    int* slots = kvcom::EqSlotList(m, chan);
    if (slots == nullptr) throw std::invalid_argument("no EQ channel");
    return slots;
}

int FirstFreeSlot(const int* slots) {
    int s = 0;
    while (s < kSlots && slots[s] != -1) ++s;
    return s;
}

int DspUnits(const CDSDATA& m, int dsp) { return dsp == 0 ? m.CalDSP1() : m.CalDSP2(); }

}  // namespace

int HomeDsp(int chan) { return chan >= 2 && kvcom::IsOutputChannel(chan) ? 1 : 0; }

int OpenFilter(CDSDATA& m, int chan, int slot) {
    int* slots = SlotsOf(m, chan);
    m.cur_chan = chan;
    m.cur_slot = slot;
    m.cur_eq = slots[slot];
    if (chan == CHAN_IN_A)
        m.SetNewInAPEQ();
    else if (chan == CHAN_IN_B)
        m.SetNewInBPEQ();
    else
        m.SetNewPEQ();
    return slots[slot];
}

int OpenFilterWith(CDSDATA& m, int chan, FilterValues values) {
    const int slot = FirstFreeSlot(SlotsOf(m, chan));
    if (slot >= kSlots) return -1;
    const int row = OpenFilter(m, chan, slot);
    if (row >= 0) PoolRow(m, row).Values(values);
    return row;
}

int OpenAndEditFilter(CDSDATA& m, int chan, int slot, int type, int freq, int gain) {
    const int row = OpenFilter(m, chan, slot);
    if (row < 0) return row;
    PoolRow(m, row).Values({type, freq, gain, m.eq_bw[row]}).InputCopy();
    const bool input = kvcom::IsInputChannel(chan);
    m.SendParam(input ? PC_IN_EQ_TYPE : PC_OUT_EQ_TYPE);
    m.SendParam(input ? PC_IN_EQ_FREQ : PC_OUT_EQ_FREQ);
    m.SendParam(input ? PC_IN_EQ_GAIN : PC_OUT_EQ_GAIN);
    return row;
}

PoolRow& PoolRow::Owner(int chan) {
    m_.eq_owner[row_] = chan;
    return *this;
}

PoolRow& PoolRow::Values(FilterValues v) {
    m_.eq_type[row_] = v.type;
    m_.eq_freq[row_] = v.freq;
    m_.eq_gain[row_] = v.gain;
    m_.eq_bw[row_] = v.width;
    return *this;
}

PoolRow& PoolRow::InputCopy() {
    const int owner = m_.eq_owner[row_];
    if (!kvcom::IsInputChannel(owner)) return *this;
    const bool a = owner == CHAN_IN_A;
    (a ? m_.ina_eq_type : m_.inb_eq_type)[row_] = m_.eq_type[row_];
    (a ? m_.ina_eq_freq : m_.inb_eq_freq)[row_] = m_.eq_freq[row_];
    (a ? m_.ina_eq_gain : m_.inb_eq_gain)[row_] = m_.eq_gain[row_];
    (a ? m_.ina_eq_bw : m_.inb_eq_bw)[row_] = m_.eq_bw[row_];
    return *this;
}

PoolRow& PoolRow::Slot(int slot) {
    SlotsOf(m_, m_.eq_owner[row_])[slot] = row_;
    return *this;
}

PoolRow& PoolRow::NextSlot() {
    int* slots = SlotsOf(m_, m_.eq_owner[row_]);
    const int slot = FirstFreeSlot(slots);
    if (slot >= kSlots) throw std::length_error("slot list full");
    slots[slot] = row_;
    return *this;
}

PoolRow& PoolRow::Dsp(int dsp) {
    m_.eq_dsp[row_] = dsp;
    return *this;
}

PoolRow& PoolRow::Counted() {
    ++m_.eq_used;
    return *this;
}

PoolRow& PoolRow::Recount() {
    RecountPool(m_);
    return *this;
}

void WriteAllocatedFilter(CDSDATA& m, int chan, int slot, int row, FilterValues values) {
    PoolRow(m, row).Owner(chan).Values(values).Dsp(HomeDsp(chan)).InputCopy().Slot(slot).Counted();
}

void RecountPool(CDSDATA& m) {
    m.eq_used = 0;
    for (int r = 0; r < kAssignableRows; ++r) m.eq_used += m.eq_owner[r] != -1;
}

void OccupyRows(CDSDATA& m, int first_row, int count, int owner, int dsp) {
    for (int r = first_row; r < first_row + count; ++r) PoolRow(m, r).Owner(owner).Dsp(dsp);
}

void LoadDspUntil(CDSDATA& m, int dsp, int units, FromRow from) {
    const bool top = from == FromRow::kTop;
    const int step = top ? -1 : 1;
    for (int r = top ? kAssignableRows - 1 : 0; DspUnits(m, dsp) < units; r += step) {
        if (r < 0 || r >= kAssignableRows) throw std::out_of_range("no rows left to load");
        m.eq_dsp[r] = dsp;
    }
}

}  // namespace kvtest
