#include "response/curve_colours.h"

#include <array>

namespace response {

QColor OutputColour(int output) {
    // Blue, vermilion, bluish green, reddish purple, orange, sky blue.
    static const std::array<QColor, 6> kColours = {QColor(0, 114, 178),   QColor(213, 94, 0),  QColor(0, 158, 115),
                                                   QColor(204, 121, 167), QColor(230, 159, 0), QColor(86, 180, 233)};
    return kColours[static_cast<std::size_t>(output) % kColours.size()];
}

QColor SumColour() { return QColor(20, 20, 20); }

}  // namespace response
