#include "dsp_budget.h"

#include <kvcom/kvcom.h>

namespace tables {

bool DspBudgetAllows(const CDSDATA& model, int chan) {
    const bool first_dsp_only = chan == CHAN_IN_A || chan == CHAN_IN_B || chan == 0 || chan == 1;
    if (first_dsp_only) return model.CalDSP1() < kDsp1Room;
    return model.CalDSP1() + model.CalDSP2() < kDsp1Room + kDsp2Room;
}

}  // namespace tables
