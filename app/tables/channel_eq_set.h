// The EQ filters of one channel as the response graph sums them.
#pragma once

#include "response_curve.h"

class CDSDATA;

namespace tables {

// The pool rows 0..38 that chan (a channel code) owns, in pool order, at
// most kEqSetSize; the rest are flat bells at 1 kHz.
EqSet ChannelEqSet(const CDSDATA& model, int chan);

}  // namespace tables
