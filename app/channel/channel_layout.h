// Where the controls of the channel pages stand, in dialog units (x, y,
// width, height). The pages convert with DialogUnits, so the layout keeps its
// proportions with any font.
#pragma once

#include <array>

namespace channel_layout {

struct DuRect {
    int x, y, w, h;
};

// Width of the up/down arrows attached to the right end of a delay edit; the
// edit gives up that much of its width to them.
inline constexpr int kSpinWidth = 10;

// EQ grids: 12 rows (slots 0..11) of four cells, type, frequency, gain, width.
inline constexpr int kGridRows = 12;
inline constexpr int kGridRowStep = 16;
inline constexpr int kCellWidth = 37;
inline constexpr int kCellHeight = 11;

// ---------------------------------------------------------------------------
// Output page.
inline constexpr int kOutputPageWidth = 476;
inline constexpr int kOutputPageHeight = 274;

inline constexpr DuRect kGainSlider{43, 27, 20, 163};
inline constexpr DuRect kGainScale{13, 27, 28, 163};  // "+15dB" .. "-15dB" beside the slider
inline constexpr DuRect kGainEdit{13, 195, 49, 12};
inline constexpr DuRect kPolarity{19, 213, 40, 10};
inline constexpr DuRect kMute{20, 228, 50, 10};
inline constexpr DuRect kPartnerMute{20, 239, 50, 10};

inline constexpr DuRect kLimitSlider{114, 25, 20, 165};
inline constexpr DuRect kLimitScale{86, 25, 26, 165};  // "+20" .. "-10"
inline constexpr DuRect kLimitEdit{87, 195, 51, 12};

inline constexpr DuRect kSourceGroup{158, 12, 112, 54};
inline constexpr DuRect kPartnerSourceGroup{157, 67, 112, 54};
inline constexpr int kSourceRadioX = 166;
inline constexpr int kSourceRadioWidth = 96;
inline constexpr int kSourceRadioHeight = 10;
inline constexpr std::array<int, 3> kSourceRadioY{24, 37, 50};          // first group
inline constexpr std::array<int, 3> kPartnerSourceRadioY{79, 92, 105};  // partner's group

inline constexpr DuRect kDelayLabel{159, 129, 30, 8};
inline constexpr DuRect kDelayEdit{200, 127, 72, 12};

inline constexpr DuRect kLowFreqLabel{162, 155, 50, 8};
inline constexpr DuRect kHighFreqLabel{162, 185, 50, 8};
// High-pass frequency, high-pass type, low-pass frequency, low-pass type.
inline constexpr std::array<DuRect, 4> kXoverCells{{
    {216, 153, 47, 12},
    {216, 168, 47, 12},
    {216, 183, 47, 12},
    {216, 198, 47, 12},
}};

inline constexpr std::array<int, 4> kOutputGridX{290, 332, 374, 416};
inline constexpr int kOutputGridY = 27;
inline constexpr int kOutputHeaderY = 13;

inline constexpr DuRect kNote{164, 230, 296, 42};

// ---------------------------------------------------------------------------
// Input page.
inline constexpr int kInputPageWidth = 476;
inline constexpr int kInputPageHeight = 262;

inline constexpr DuRect kDelayGroup{7, 13, 96, 80};
inline constexpr int kInputLabelX = 10;
inline constexpr int kInputLabelWidth = 27;
// In A, In B, In SUM: one edit (with its arrows) per input.
inline constexpr std::array<DuRect, 3> kInputDelayEdits{{
    {38, 31, 60, 12},
    {38, 50, 60, 12},
    {38, 69, 60, 12},
}};

inline constexpr DuRect kInAGroup{111, 13, 175, 222};
inline constexpr std::array<int, 4> kInAGridX{116, 158, 200, 242};
inline constexpr int kInAGridY = 27;

inline constexpr DuRect kInBGroup{294, 12, 175, 222};
inline constexpr std::array<int, 4> kInBGridX{298, 340, 382, 424};
inline constexpr int kInBGridY = 26;

}  // namespace channel_layout
