#include "kvproto/stereo.h"

namespace kvcom {

namespace {
constexpr int kPartners[3][6] = {
    {-1, -1, -1, -1, -1, -1},  // Mono
    {1, 0, 3, 2, 5, 4},        // 2 Channel 3 Way
    {2, -1, 0, 5, -1, 3},      // 3 Channel 2 Way
};
}  // namespace

int StereoPartner(int figuration, int out) {
    if (figuration < 0 || figuration > 2 || out < 0 || out > 5) return -1;
    return kPartners[figuration][out];
}

bool LeadsStereoPair(int figuration, int out) {
    const int p = StereoPartner(figuration, out);
    return p > out;
}

}  // namespace kvcom
