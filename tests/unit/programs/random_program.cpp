#include "random_program.h"

#include <cstring>

#include "kvproto/channels.h"
#include "kvprog/settings.h"
#include "model_builder.h"

namespace kvtest::programs {

namespace {

int Pick(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

void Release(CDSDATA& m, int chan, int slot) {
    m.cur_chan = chan;
    m.cur_slot = slot;
    m.cur_eq = kvprog::EqRow(m, chan, slot);
    if (chan == CHAN_IN_A)
        m.DeleteInAPEQ();
    else if (chan == CHAN_IN_B)
        m.DeleteInBPEQ();
    else
        m.DeletePEQ();
}

}  // namespace

bool AddFilter(CDSDATA& m, int chan, int type, int freq, int gain, int width) {
    if (kvprog::EqCount(m, chan) >= kvprog::kEqSlotsPerChannel || !kvcom::EqFilterFits(m, chan)) return false;
    return kvtest::OpenFilterWith(m, chan, {type, freq, gain, width}) >= 0;
}

void RandomProgram(CDSDATA& m, std::mt19937& rng) {
    m.figuration = static_cast<char>(Pick(rng, 0, 2));
    m.link_on = Pick(rng, 0, 1);
    m.InitData();
    const char letters[] = "ABCXYZ019 -!#&=~";
    std::memset(m.prog_name, 0, sizeof m.prog_name);
    const int len = Pick(rng, 0, 8);
    for (int i = 0; i < len; ++i) m.prog_name[i] = letters[Pick(rng, 0, sizeof letters - 2)];
    m.ina_delay = Pick(rng, 0, 12000);
    m.inb_delay = Pick(rng, 0, 12000);
    m.sum_delay = Pick(rng, 0, 12000);
    for (int n = 0; n < KV_OUTPUTS; ++n) {
        m.out_name[n] = static_cast<char>(Pick(rng, 0, 48));
        m.out_source[n] = static_cast<char>(Pick(rng, 0, 2));
        m.out_gain[n] = Pick(rng, -75, 75);
        m.out_limit[n] = Pick(rng, -50, 100);
        m.out_mute[n] = Pick(rng, 0, 1);
        m.out_polarity[n] = Pick(rng, 0, 1);
        m.out_delay[n] = Pick(rng, 0, 18000);
        m.xo_freq[n][0] = Pick(rng, 0, 100);
        m.xo_freq[n][1] = Pick(rng, 101, 201);
        m.xo_type[n][0] = Pick(rng, 0, 7);
        m.xo_type[n][1] = Pick(rng, 0, 9);
    }
    const int chans[] = {CHAN_IN_A, CHAN_IN_B, 0, 1, 2, 3, 4, 5};
    for (int step = Pick(rng, 0, 40); step > 0; --step) {
        const int chan = chans[Pick(rng, 0, 7)];
        // While linked the pages edit a pair through its leading channel.
        m.cur_chan = chan;
        if (m.link_on && (chan == CHAN_IN_B || (chan < KV_OUTPUTS && m.GetLinkChan() >= 0 && m.GetLinkChan() < chan)))
            continue;
        const int count = kvprog::EqCount(m, chan);
        if (count > 0 && Pick(rng, 0, 3) == 0) {
            Release(m, chan, Pick(rng, 0, count - 1));
        } else {
            AddFilter(m, chan, Pick(rng, 0, 4), Pick(rng, 1, 200), Pick(rng, 0, 60), Pick(rng, 0, 59));
        }
    }
}

std::vector<std::uint8_t> Image(const CDSDATA& m) {
    std::vector<std::uint8_t> image(KV_IMAGE_MAX);
    image.resize(static_cast<std::size_t>(m.SaveData(image.data())));
    return image;
}

}  // namespace kvtest::programs
