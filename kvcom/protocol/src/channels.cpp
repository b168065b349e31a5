#include "kvproto/channels.h"

namespace kvcom {

int* EqSlotList(CDSDATA& m, int chan) {
    if (chan == CHAN_IN_A) return m.ina_eq_slot;
    if (chan == CHAN_IN_B) return m.inb_eq_slot;
    if (IsOutputChannel(chan)) return m.out_eq_slot[chan];
    return nullptr;
}

const int* EqSlotList(const CDSDATA& m, int chan) { return EqSlotList(const_cast<CDSDATA&>(m), chan); }

}  // namespace kvcom
