#include "kvproto/channels.h"

namespace kvcom {

int* EqSlotList(CDSDATA& m, int chan) {
    if (chan == CHAN_IN_A) return m.ina_eq_slot;
    if (chan == CHAN_IN_B) return m.inb_eq_slot;
    if (IsOutputChannel(chan)) return m.out_eq_slot[chan];
    return nullptr;
}

const int* EqSlotList(const CDSDATA& m, int chan) { return EqSlotList(const_cast<CDSDATA&>(m), chan); }

int DspForOpenedFilter(const CDSDATA& m, int chan) {
    return HomeDsp(chan) == kSecondDsp && m.CalDSP2() <= kSecondDspRoom ? kSecondDsp : kFirstDsp;
}

int DspForReadFilter(const CDSDATA& m, int chan) {
    return HomeDsp(chan) == kSecondDsp && m.CalDSP2() < kSecondDspRoom ? kSecondDsp : kFirstDsp;
}

bool EqFilterFits(const CDSDATA& m, int chan) {
    if (HomeDsp(chan) == kFirstDsp) return m.CalDSP1() < kFirstDspRoom;
    return m.CalDSP1() + m.CalDSP2() < kFirstDspRoom + kSecondDspRoom;
}

bool CrossoverSideFits(const CDSDATA& m, int out) {
    return HomeDsp(out) == kFirstDsp ? m.CalDSP1() < kFirstDspRoom : m.CalDSP2() < kSecondDspRoom;
}

}  // namespace kvcom
