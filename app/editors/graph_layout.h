// Geometry, texts and colours of the response graph's 460 x 190 picture
// (origin top left, pixels). A drawing widget paints exactly these, then the
// curve of response_curve.h, and places the picture with PicturePlacement.
#pragma once

#include <array>

namespace graph {

struct Rgb {
    int r, g, b;
};

inline constexpr int kPictureWidth = 460;
inline constexpr int kPictureHeight = 190;

inline constexpr Rgb kBackground{0, 0, 0};      // whole picture filled first
inline constexpr Rgb kTextColour{255, 255, 0};  // all labels, transparent background
inline constexpr Rgb kGridColour{55, 155, 55};  // level and frequency lines, solid 1 px
inline constexpr Rgb kAxisColour{0, 255, 0};    // 0 dB line and frame, solid 1 px
inline constexpr Rgb kCurveColour{255, 0, 0};   // the response curve, solid 1 px

inline constexpr const char* kFontFamily = "Microsoft Sans Serif";
inline constexpr double kFontPoints = 8.2;

// The plot area; the frame is drawn along these edges.
inline constexpr int kPlotLeft = 50;
inline constexpr int kPlotRight = 445;
inline constexpr int kPlotTop = 15;
inline constexpr int kPlotBottom = 165;
inline constexpr int kZeroDbY = 90;  // axis pen, from kPlotLeft to kPlotRight

// Graph point j is drawn at x = kCurveStartX + j (points 1..394).
inline constexpr int kCurveStartX = 50;

// Frame, drawn as one polyline with the axis pen.
struct Point {
    int x, y;
};
inline constexpr std::array<Point, 5> kFrame{{{kPlotLeft, kPlotTop},
                                              {kPlotLeft, kPlotBottom},
                                              {kPlotRight, kPlotBottom},
                                              {kPlotRight, kPlotTop},
                                              {kPlotLeft, kPlotTop}}};

// A text in yellow on a transparent background; x is its right or left edge
// as the list it belongs to says, top its top.
struct Label {
    const char* text;
    int x;
    int top;
};

// Horizontal grid lines from kPlotLeft to kPlotRight, every 6 dB from +30 to
// -30; each label right-aligned at x = 45, its top 7 pixels above the line.
struct LevelLine {
    int y;
    Label label;  // x = right edge
};
inline constexpr std::array<LevelLine, 11> kLevelLines = [] {
    constexpr std::array<const char*, 11> texts{"30", "24", "18", "12", "6", "0", "-6", "-12", "-18", "-24", "-30"};
    std::array<LevelLine, 11> lines{};
    for (int k = 0; k < 11; ++k) {
        const int y = 15 + 15 * k;
        lines[k] = {y, {texts[k], 45, y - 7}};
    }
    return lines;
}();

// Vertical grid lines from kPlotTop to kPlotBottom; each label's left edge 3
// pixels per character left of the line, its top at y = 170.
struct FreqLine {
    int x;
    Label label;  // x = left edge
};
inline constexpr std::array<FreqLine, 10> kFreqLines = [] {
    struct Spec {
        int x;
        const char* text;
        int chars;
    };
    constexpr std::array<Spec, 10> specs{{{86, "20", 2},
                                          {133, "50", 2},
                                          {168, "100", 3},
                                          {205, "200", 3},
                                          {252, "500", 3},
                                          {289, "1k", 2},
                                          {325, "2k", 2},
                                          {372, "5k", 2},
                                          {409, "10k", 3},
                                          {445, "20k", 3}}};
    std::array<FreqLine, 10> lines{};
    for (int i = 0; i < 10; ++i) lines[i] = {specs[i].x, {specs[i].text, specs[i].x - 3 * specs[i].chars, 170}};
    return lines;
}();

// The lone "10" at the 10 Hz end of the axis, right-aligned at x = 56.
inline constexpr Label kAxisStartLabel{"10", 56, 170};

// Where the picture goes on a control of the given size (its area starting
// at 0, 0): unscaled and centred when the control is wider than 460 and
// taller than 190, otherwise scaled to fill the whole control.
struct Placement {
    int x, y, width, height;
    bool scaled;
};
constexpr Placement PicturePlacement(int control_width, int control_height) {
    if (control_width > kPictureWidth && control_height > kPictureHeight)
        return {(control_width - kPictureWidth) / 2, (control_height - kPictureHeight) / 2, kPictureWidth,
                kPictureHeight, false};
    return {0, 0, control_width, control_height, true};
}

}  // namespace graph
