// The colour of each output's curve and of the sum, the same in the plot,
// its legend and cursor table, and in pictures exported from it. Chosen to
// stay apart for the common kinds of colour blindness.
#pragma once

#include <QColor>

namespace response {

// Output 0..5.
QColor OutputColour(int output);
QColor SumColour();

}  // namespace response
