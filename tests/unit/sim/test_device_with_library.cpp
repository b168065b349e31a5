// The library's own editing operations, sent to the simulator as they would
// go on the line: afterwards the program the device sends back must rebuild
// on the PC into the same channels, filters and values as the PC holds.
#include <gtest/gtest.h>

#include "program_compare.h"
#include "sim_messages.h"
#include "wire_recorder.h"

namespace {

using namespace kvtest::sim;

void ExpectSameProgram(const CDSDATA& pc, const CDSDATA& device) { kvtest::ExpectSameSetting(device, pc); }

class SimWithLibrary : public ::testing::Test {
protected:
    SimWithLibrary() {
        rec.on_write = [this](const Bytes& m) { dev.Feed(m.data(), m.size()); };
    }
    // Sends a changed value of filter cur_eq; its twin takes the value too,
    // as the link repeat changes it on the device.
    void EditFilter(int code) {
        const int r = pc.cur_eq;
        const int link = pc.eq_link[r];
        if (pc.link_on && link >= 0) {
            pc.eq_type[link] = pc.eq_type[r];
            pc.eq_freq[link] = pc.eq_freq[r];
            pc.eq_gain[link] = pc.eq_gain[r];
            pc.eq_bw[link] = pc.eq_bw[r];
        }
        pc.SendParam(code);
    }

    kvsim::Device dev;
    CDSDATA pc;
    kvtest::WireRecorder rec;
};

TEST_F(SimWithLibrary, LinkedEditsReachTheDeviceAsThePcHoldsThem) {
    pc.figuration = 1;
    pc.link_on = 1;
    pc.InitData();
    pc.SendParam(PC_FIGURATION);
    pc.SendParam(PC_LINK);

    pc.cur_chan = 0;
    pc.out_gain[0] = -20;
    pc.SetLinkVal();
    pc.SendParam(PC_OUT_GAIN);
    pc.out_limit[0] = 88;
    pc.SetLinkVal();
    pc.SendParam(PC_OUT_LIMIT);
    pc.out_mute[0] = 0;
    pc.SendParam(PC_OUT_MUTE);
    pc.cur_chan = 2;
    pc.xo_side = 1;
    pc.xo_freq[2][1] = 150;
    pc.xo_type[2][1] = 9;
    pc.SetLinkVal();
    pc.SendParam(PC_XO_LP_FREQ);
    pc.SendParam(PC_XO_LP_TYPE);
    pc.out_delay[2] = 20000;
    pc.SetLinkVal();
    pc.SendParam(PC_OUT_DELAY);
    pc.out_source[5] = 2;
    pc.SendOutSrce(5);
    pc.ina_delay = pc.inb_delay = 4321;  // while linked In B follows In A
    pc.SendParam(PC_INA_DELAY);

    // Two filters on Out 1 (twins on Out 2), one edited.
    pc.cur_chan = 0;
    for (int slot = 0; slot < 2; ++slot) {
        pc.cur_slot = slot;
        pc.SetNewPEQ();
    }
    pc.cur_slot = 1;
    pc.cur_eq = pc.out_eq_slot[0][1];
    pc.eq_freq[pc.cur_eq] = 170;
    EditFilter(PC_OUT_EQ_FREQ);
    pc.eq_type[pc.cur_eq] = 4;
    EditFilter(PC_OUT_EQ_TYPE);

    // Out 3 with three filters, the first released.
    pc.cur_chan = 2;
    for (int slot = 0; slot < 3; ++slot) {
        pc.cur_slot = slot;
        pc.SetNewPEQ();
        pc.cur_eq = pc.out_eq_slot[2][slot];
        pc.eq_gain[pc.cur_eq] = 40 + slot;
        EditFilter(PC_OUT_EQ_GAIN);
    }
    pc.cur_slot = 0;
    pc.cur_eq = pc.out_eq_slot[2][0];
    pc.DeletePEQ();

    // In A with its twin on In B, then In B's own filter.
    pc.cur_chan = CHAN_IN_A;
    pc.cur_slot = 0;
    pc.SetNewInAPEQ();
    pc.cur_eq = pc.ina_eq_slot[0];
    pc.eq_bw[pc.cur_eq] = pc.ina_eq_bw[pc.cur_eq] = 30;
    EditFilter(PC_IN_EQ_BW);
    pc.inb_eq_bw[pc.eq_link[pc.cur_eq]] = 30;
    pc.cur_chan = CHAN_IN_B;
    pc.cur_slot = 1;
    pc.SetNewInBPEQ();

    ASSERT_FALSE(rec.Messages().empty());
    const CDSDATA fetched = Decode(dev.WorkingImage());
    ExpectSameProgram(pc, fetched);
    EXPECT_EQ(fetched.eq_link[fetched.out_eq_slot[0][0]], fetched.out_eq_slot[1][0]);
    EXPECT_EQ(fetched.eq_link[fetched.ina_eq_slot[0]], fetched.inb_eq_slot[0]);

    // Releasing In B's own filter with the link on leaves In A's pair alone.
    pc.cur_slot = 1;
    pc.cur_eq = pc.inb_eq_slot[1];
    pc.DeleteInBPEQ();
    ExpectSameProgram(pc, Decode(dev.WorkingImage()));
}

TEST_F(SimWithLibrary, ReusedPoolRowsKeepSlotOrder) {
    // Mono without link: a release frees a low row that the next filter
    // takes, so pool order and slot order part; the device keeps slots.
    pc.cur_chan = 4;
    for (int slot = 0; slot < 3; ++slot) {
        pc.cur_slot = slot;
        pc.SetNewPEQ();
        pc.cur_eq = pc.out_eq_slot[4][slot];
        pc.eq_freq[pc.cur_eq] = 50 + 10 * slot;
        pc.SendParam(PC_OUT_EQ_FREQ);
    }
    pc.cur_slot = 0;
    pc.cur_eq = pc.out_eq_slot[4][0];
    pc.DeletePEQ();
    pc.cur_slot = 2;
    pc.SetNewPEQ();
    ASSERT_EQ(pc.out_eq_slot[4][2], 0);  // the freed row came back
    pc.cur_eq = 0;
    pc.eq_freq[0] = 190;
    pc.SendParam(PC_OUT_EQ_FREQ);

    const CDSDATA fetched = Decode(dev.WorkingImage());
    ExpectSameProgram(pc, fetched);
    EXPECT_EQ(fetched.eq_freq[fetched.out_eq_slot[4][2]], 190);
}

}  // namespace
