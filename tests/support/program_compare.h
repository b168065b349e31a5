// Compares two models as the device would tell them apart: every setting,
// and the EQ filters of each channel in slot order (pool rows may be
// numbered differently on the two sides).
#pragma once

#include <kvcom/kvcom.h>

#include <tuple>
#include <vector>

namespace kvtest {

using ChannelFilter = std::tuple<int, int, int, int>;  // type, frequency, gain, width

// The filters of channel `channel` (an output 0..5, CHAN_IN_A or CHAN_IN_B) in slot order.
std::vector<ChannelFilter> ChannelFilters(const CDSDATA& m, int channel);

// Adds a test failure for every setting in which `got` differs from `want`.
void ExpectSameSetting(const CDSDATA& got, const CDSDATA& want);

}  // namespace kvtest
