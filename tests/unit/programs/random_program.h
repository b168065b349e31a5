// Programs for the tests of the programs module, built through the
// library's own operations.
#pragma once

#include <kvcom/kvcom.h>

#include <cstdint>
#include <random>
#include <vector>

namespace kvtest::programs {

// Opens a filter in the next free slot of `chan` as the EQ editor does and
// gives it the values; false when the pages would not allow it.
bool AddFilter(CDSDATA& m, int chan, int type, int freq, int gain, int width);

// A random program the pages could have made: random configuration, link,
// name and output settings, then filters opened and released in random
// order within the DSP budget. The caller holds a WireRecorder.
void RandomProgram(CDSDATA& m, std::mt19937& rng);

std::vector<std::uint8_t> Image(const CDSDATA& m);

}  // namespace kvtest::programs
