#include "kvvalues/channel_eq_set.h"

#include <kvcom/kvcom.h>

#include "kvvalues/value_tables.h"

namespace kvvalues {

EqSet FlatEqSet() {
    EqSet set;
    set.fill(EqEntry{0, kFreqRow1k, kEqGainZero, 3});
    return set;
}

EqSet ChannelEqSet(const CDSDATA& model, int chan) {
    EqSet set;
    set.fill({2, 120, 30, 5});
    int n = 0;
    for (int r = 0; r < KV_DEFAULT_ROW && n < kEqSetSize; ++r) {
        if (model.eq_owner[r] == chan)
            set[n++] = {model.eq_type[r], model.eq_freq[r], model.eq_gain[r], model.eq_bw[r]};
    }
    return set;
}

}  // namespace kvvalues
