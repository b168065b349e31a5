#include "routing/routing_layout.h"

namespace routing {

namespace {

// Output shown in each row, per figuration (0-based outputs).
constexpr int kRowOutput[3][kRows] = {
    {0, 1, 2, 3, 4, 5},
    {0, 2, 4, 1, 3, 5},
    {0, 3, 2, 5, 1, 4},
};

// The leader of each output's stereo pair with the link on, per figuration.
constexpr int kPairLeader[3][kRows] = {
    {0, 1, 2, 3, 4, 5},
    {0, 0, 2, 2, 4, 4},
    {0, 1, 0, 3, 4, 3},
};

bool KnownFiguration(int figuration) { return figuration >= 0 && figuration <= 2; }

}  // namespace

std::vector<ButtonSpec> AllButtons() {
    std::vector<ButtonSpec> out;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            out.push_back({kRowButtonId[r][c], kColumnX[c], kRowY[r], kColumnCaption[c]});
    out.push_back(kInA);
    out.push_back(kInB);
    out.push_back(kInSum);
    return out;
}

bool FindRowButton(int id, int* row, int* column) {
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            if (kRowButtonId[r][c] == id) {
                if (row) *row = r;
                if (column) *column = c;
                return true;
            }
    return false;
}

int RowOutput(int figuration, int row) {
    if (!KnownFiguration(figuration) || row < 0 || row >= kRows) return -1;
    return kRowOutput[figuration][row];
}

int RowPage(int figuration, bool link_on, int row) {
    const int output = RowOutput(figuration, row);
    if (output < 0) return -1;
    return link_on ? kPairLeader[figuration][output] : output;
}

std::vector<InputGroup> InputGroups(int figuration) {
    switch (figuration) {
    case 0: return {{kInA.id, 0, 5}};
    case 1: return {{kInA.id, 0, 2}, {kInB.id, 3, 5}};
    case 2: return {{kInA.id, 0, 1}, {kInB.id, 2, 3}, {kInSum.id, 4, 5}};
    default: return {};
    }
}

InputVisibility InputsShown(int figuration) {
    if (!KnownFiguration(figuration)) return {false, false, false};
    return {true, figuration >= 1, figuration == 2};
}

int InBRow(int figuration) {
    switch (figuration) {
    case 1: return 3;
    case 2: return 2;
    default: return -1;
    }
}

}  // namespace routing
