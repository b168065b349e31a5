#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kvproto/channels.h"
#include "kvproto/image_layout.h"

namespace kvfuzz {

namespace img = kvcom::image;

// Made when the target is loaded: constructing a CDSDATA resets the memory
// table, which the reception target watches. Later models are copies.
const CDSDATA kBlank;

void Broken(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

const CDSDATA& BlankModel() { return kBlank; }

const CDSDATA& EditedModel() {
    static const CDSDATA edited = [] {
        CDSDATA m(kBlank);
        m.figuration = 1;
        m.link_on = 1;
        std::memcpy(m.prog_name, "BEFORE", 7);
        m.out_gain[3] = -12;
        m.ina_delay = 480;
        m.eq_owner[0] = 2;
        m.out_eq_slot[2][0] = 0;
        m.eq_used = 1;
        return m;
    }();
    return edited;
}

bool ObjectBytes::operator==(const ObjectBytes& other) const { return std::memcmp(b, other.b, sizeof b) == 0; }

ObjectBytes BytesOf(const CDSDATA& m) {
    ObjectBytes o;
    std::memcpy(o.b, static_cast<const void*>(&m), sizeof o.b);
    return o;
}

Bytes Input::Take(std::size_t want) {
    const std::size_t n = want < left() ? want : left();
    Bytes out(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return out;
}

Bytes Save(const CDSDATA& m) {
    Bytes out(KV_IMAGE_MAX);
    out.resize(static_cast<std::size_t>(m.SaveData(out.data())));
    return out;
}

bool IsWholeSysEx(const std::uint8_t* p, std::size_t n) {
    if (n < 2 || p[0] != 0xF0 || p[n - 1] != 0xF7) return false;
    for (std::size_t i = 1; i + 1 < n; ++i)
        if (p[i] >= 0x80) return false;
    return true;
}

void CheckModel(const CDSDATA& m) {
    Check(m.figuration >= 0 && m.figuration <= 2, "figuration outside 0..2");
    Check(m.link_on == 0 || m.link_on == 1, "link outside 0..1");
    for (int d : {m.ina_delay, m.inb_delay, m.sum_delay})
        Check(d >= 0 && d <= KV_MAX_DELAY, "input delay out of range");
    for (int k = 0; k < KV_OUTPUTS; ++k) {
        Check(m.out_delay[k] >= 0 && m.out_delay[k] <= KV_MAX_DELAY, "output delay out of range");
        Check(m.out_source[k] >= 0 && m.out_source[k] <= 2, "output source out of range");
        Check(m.out_gain[k] >= -75 && m.out_gain[k] <= 75, "output gain out of range");
        Check(m.out_limit[k] >= -50 && m.out_limit[k] <= 100, "output limit out of range");
        Check(m.out_polarity[k] == 0 || m.out_polarity[k] == 1, "polarity out of range");
        Check(m.out_mute[k] == 0 || m.out_mute[k] == 1, "mute out of range");
        for (int side = 0; side < 2; ++side) {
            Check(m.xo_type[k][side] >= 0 && m.xo_type[k][side] <= 9, "crossover type out of range");
            Check(m.xo_freq[k][side] >= 0 && m.xo_freq[k][side] <= 201, "crossover frequency out of range");
        }
    }
    Check(m.eq_used >= 0 && m.eq_used <= img::kMaxFilters, "more filters than the pool holds");
    for (int j = 0; j < KV_POOL_ROWS; ++j) {
        Check(m.eq_owner[j] == -1 || kvcom::IsEqChannel(m.eq_owner[j]), "filter owned by no channel");
        Check(m.eq_type[j] >= 0 && m.eq_type[j] <= 4, "filter type out of range");
        if (m.eq_owner[j] != -1) Check(j < m.eq_used, "owned row beyond the filters in use");
    }
    // Every slot list holds exactly its channel's rows, in pool order.
    int listed = 0;
    for (int chan : {0, 1, 2, 3, 4, 5, CHAN_IN_A, CHAN_IN_B}) {
        const int* slots = kvcom::EqSlotList(m, chan);
        int s = 0, last = -1;
        for (; s < KV_POOL_ROWS && slots[s] != -1; ++s) {
            Check(slots[s] > last && slots[s] < m.eq_used, "slot list out of pool order");
            Check(m.eq_owner[slots[s]] == chan, "slot list names another channel's row");
            last = slots[s];
            ++listed;
        }
        for (; s < KV_POOL_ROWS; ++s) Check(slots[s] == -1, "slot list not packed at the front");
    }
    int owned = 0;
    for (int j = 0; j < KV_POOL_ROWS; ++j) owned += m.eq_owner[j] != -1;
    Check(listed == owned, "a filter in use missing from its slot list");
}

void CheckImageRoundTrip(const CDSDATA& m) {
    const Bytes first = Save(m);
    int owned = 0;
    for (int j = 0; j < img::kMaxFilters; ++j) owned += kvcom::IsEqChannel(m.eq_owner[j]);
    Check(first.size() == static_cast<std::size_t>(img::ImageLength(owned)),
          "image length does not follow its filters");
    Check(IsWholeSysEx(first.data(), first.size()), "written image is not one whole message");
    CDSDATA again(kBlank);
    again.GetData(first.data(), static_cast<int>(first.size()), 0);
    CheckModel(again);
    Check(Save(again) == first, "SaveData(GetData(SaveData(x))) differs from SaveData(x)");
}

}  // namespace kvfuzz
