// The settings of a program as one flat row of numbers: every value the
// pages edit and the unit holds (delays, output values, crossovers, the EQ
// pool with its slot lists and input copies), without the editing cursors,
// the configuration or the names. An undo step is a few entries of this
// row: which ones changed, from what, to what.
#pragma once

#include <kvcom/kvcom.h>

#include <vector>

namespace history {

struct FieldChange {
    int index = 0;  // position in the flat row
    int before = 0;
    int after = 0;
    bool operator==(const FieldChange&) const = default;
};

std::vector<int> Flatten(const CDSDATA& m);

// The entries of `now` that differ from `then`, as changes from then to now.
std::vector<FieldChange> Changes(const std::vector<int>& then, const std::vector<int>& now);

// Writes the `before` (undo) or `after` (redo) value of every change.
void Apply(CDSDATA& m, const std::vector<FieldChange>& changes, bool undo);

}  // namespace history
