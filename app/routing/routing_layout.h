// The routing view's geometry and routing tables as plain data: which
// button stands where (in dialog units), which output each row stands for,
// which output page a row opens, which input feeds which rows. Nothing here
// draws, so every table can be checked without a window.
#pragma once

#include <array>
#include <vector>

namespace routing {

inline constexpr int kRows = 6;
inline constexpr int kColumns = 5;

// The form, in dialog units.
inline constexpr int kFormWidth = 346;
inline constexpr int kFormHeight = 192;
inline constexpr int kButtonWidth = 45;
inline constexpr int kButtonHeight = 13;

struct ButtonSpec {
    int id;
    int x;  // dialog units
    int y;
    const char* caption;
};

// Row buttons: column x and caption, row y, and the control id of each.
inline constexpr std::array<int, kColumns> kColumnX = {85, 135, 185, 235, 285};
inline constexpr std::array<const char*, kColumns> kColumnCaption = {"Gain", "EQ", "Xover", "Delay", "Limit"};
inline constexpr std::array<int, kRows> kRowY = {22, 40, 58, 76, 94, 111};
inline constexpr int kRowButtonId[kRows][kColumns] = {
    {1002, 1138, 1014, 1137, 1136}, {1003, 1142, 1015, 1141, 1139}, {1004, 1145, 1016, 1144, 1143},
    {1005, 1148, 1017, 1147, 1146}, {1006, 1151, 1018, 1150, 1149}, {1007, 1154, 1019, 1153, 1152},
};

inline constexpr ButtonSpec kInA = {1140, 8, 22, "InA"};
inline constexpr ButtonSpec kInB = {1155, 7, 58, "InB"};
inline constexpr ButtonSpec kInSum = {1156, 7, 94, "InSUM A+B"};

// Picture control for the logo: x, y, width, height.
inline constexpr int kLogoId = 1176;
inline constexpr std::array<int, 4> kLogoRect = {33, 135, 53, 12};

// All 30 row buttons plus the three inputs, in creation order.
std::vector<ButtonSpec> AllButtons();

// Row (0..5) and column (0..4) of a row button id; false for any other id.
bool FindRowButton(int id, int* row, int* column);

// Output index (0..5) whose label row r (0..5) carries, or -1 for a
// figuration other than 0, 1, 2.
int RowOutput(int figuration, int row);

// Output index (0..5) of the page the buttons of row r open. With the link
// on, the second output of a stereo pair opens its leader's page.
int RowPage(int figuration, bool link_on, int row);

// An input and the rows (0-based, inclusive) it feeds.
struct InputGroup {
    int input_id;  // kInA.id, kInB.id or kInSum.id
    int first_row;
    int last_row;
};

// The groups drawn for a figuration; empty for values other than 0, 1, 2.
std::vector<InputGroup> InputGroups(int figuration);

// Visibility of InB and InSUM A+B for a figuration (InA is always shown).
struct InputVisibility {
    bool known;  // false: a figuration other than 0, 1, 2 leaves them alone
    bool inb;
    bool sum;
};
InputVisibility InputsShown(int figuration);

// Row (0-based) whose Gain button InB is moved beside, or -1 when InB
// stays where it is (Mono or unknown figuration).
int InBRow(int figuration);

}  // namespace routing
