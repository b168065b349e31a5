// Memory operations end to end: the library on one side of a pseudo-terminal,
// the simulator on the other, replies paced at 19200 baud, in real time.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "fast_clock.h"
#include "hex.h"
#include "model_builder.h"
#include "pacing.h"
#include "program_compare.h"
#include "pty_server.h"
#include "reception.h"

namespace {

using kvtest::Bytes;
using Clock = std::chrono::steady_clock;
using kvtest::ExpectSameSetting;

void Set(CDSDATA& m, int chan, int code) {
    m.cur_chan = chan;
    m.SendParam(code);
}

using kvtest::FastClock;

class MemoryRealtime : public ::testing::Test {
protected:
    // Starts the simulator on a pty and opens the link to it as COM1.
    void Connect(kvsim::PtyOptions options = {}) {
        server_ = std::make_unique<kvsim::PtyServer>(device, options);
        const std::string path = server_->Start();
        ASSERT_FALSE(path.empty());
        ::setenv("KVCOM_COM1", path.c_str(), 1);
        rs232_port = 1;
        ASSERT_EQ(CreateTTYInfo(), 1);
        ASSERT_NE(OpenConnection(), 0);
    }
    void TearDown() override {
        DestroyTTYInfo();
        if (server_) server_->Stop();
        ::unsetenv("KVCOM_COM1");
        kvcom::SetPacing(nullptr);
        kvcom::rev_busy.store(0);
        kvcom::rev_mode.store(kvcom::REV_IDLE);
    }
    kvsim::Device device;
    CDSDATA model;

private:
    std::unique_ptr<kvsim::PtyServer> server_;
};

TEST_F(MemoryRealtime, EditsComeBackWithRecallToPCThoughRepliesArriveInPieces) {
    kvsim::PtyOptions options;
    options.random_chunks = true;
    options.seed = 3;
    Connect(options);

    model.out_gain[2] = -25;
    Set(model, 2, PC_OUT_GAIN);
    model.out_mute[2] = 0;
    Set(model, 2, PC_OUT_MUTE);
    model.out_delay[4] = 1234;
    Set(model, 4, PC_OUT_DELAY);
    model.out_polarity[5] = 1;
    Set(model, 5, PC_OUT_POLARITY);
    model.xo_side = 0;
    model.xo_freq[1][0] = 40;
    Set(model, 1, PC_XO_HP_FREQ);
    model.xo_side = 1;
    model.xo_type[1][1] = 3;
    Set(model, 1, PC_XO_LP_TYPE);
    model.ina_delay = 300;
    Set(model, 0, PC_INA_DELAY);
    kvtest::OpenAndEditFilter(model, 3, 0, 2, 150, 40);
    kvtest::OpenAndEditFilter(model, 3, 1, 0, 20, 24);
    kvtest::OpenAndEditFilter(model, CHAN_IN_A, 0, 4, 180, 22);

    CDSDATA fetched;
    EXPECT_EQ(fetched.RecallToPC(), 1);
    ExpectSameSetting(fetched, model);
    EXPECT_EQ(fetched.mem_num, 1);
}

TEST_F(MemoryRealtime, StoredMemoryIsListedWithItsNameAndRecalled) {
    Connect();
    model.out_gain[0] = 33;
    Set(model, 0, PC_OUT_GAIN);
    model.mem_num = 5;
    std::strcpy(data_name[5], "LIVE-1");
    std::strcpy(model.prog_name, "LIVE-1");
    data_memoryb[5] = 1;
    EXPECT_EQ(model.StoreMEMCur(0), 1);

    CDSDATA other;  // (resets the table, as a fresh start would)
    ASSERT_EQ(other.MemRefresh(), 1);
    EXPECT_EQ(data_memoryb[5], 1);
    EXPECT_STREQ(data_name[5], "LIVE-1  ");
    EXPECT_EQ(other.mem_num, 5);  // the store selected it

    ASSERT_EQ(other.MEMRECALLFROMMCU(5), 1);
    EXPECT_STREQ(other.prog_name, "LIVE-1  ");
    ExpectSameSetting(other, model);
}

TEST_F(MemoryRealtime, StoreAllThenRefreshGivesBackEveryEntry) {
    Connect();
    const int used[] = {60, 17, 3};
    for (int m : used) {
        CDSDATA program(model);
        program.mem_num = static_cast<char>(m);
        program.out_gain[m % 6] = m;
        std::snprintf(program.prog_name, sizeof program.prog_name, "MEM%02d", m);
        kvtest::PoolRow(program, 0).Owner(m % 6).Slot(0).Dsp(0);
        program.eq_freq[0] = 100 + m;
        program.eq_used = 1;
        prog_len[m] = program.SaveData(prog_save[m]);
    }
    prog_len[0] = 0;  // the working program comes from the model
    EXPECT_EQ(model.SendMEMStoreAll(), 1);

    std::vector<Bytes> sent(KV_MEMORIES);
    for (int m = 0; m < KV_MEMORIES; ++m) sent[m] = Bytes(prog_save[m], prog_save[m] + prog_len[m]);
    ASSERT_EQ(model.MemRefresh(), 1);
    for (int m = 0; m < KV_MEMORIES; ++m) {
        SCOPED_TRACE(m);
        EXPECT_EQ(Bytes(prog_save[m], prog_save[m] + prog_len[m]), sent[m]);
        const bool is_used = m == 0 || m == 3 || m == 17 || m == 60;
        EXPECT_EQ(data_memoryb[m], is_used ? 1 : 0);
    }
    EXPECT_STREQ(data_name[17], "MEM17   ");
}

TEST_F(MemoryRealtime, SilentDeviceFailsAfterAboutOneSecondAndKeepsTheModel) {
    device.faults().drop_replies = 1;
    Connect();
    model.out_gain[1] = 12;
    const CDSDATA before = model;
    const auto start = Clock::now();
    EXPECT_EQ(model.RecallToPC(), 0);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1000));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    ExpectSameSetting(model, before);
    EXPECT_EQ(model.mem_num, before.mem_num);
}

TEST_F(MemoryRealtime, ReplyFromAnotherDeviceIsNoSuccess) {
    device.faults().wrong_device_byte = true;
    Connect();
    model.out_gain[1] = 12;
    const CDSDATA before = model;
    EXPECT_EQ(model.RecallToPC(), 0);
    ExpectSameSetting(model, before);
    EXPECT_EQ(model.MemRefresh(), 0);
    EXPECT_EQ(model.mem_num, before.mem_num);
}

TEST_F(MemoryRealtime, DumpCutBeforeTheWorkingProgramTimesOut) {
    device.StoreMemory(9, model, "NINE");
    device.faults().cut_dump = true;
    Connect();
    FastClock fast;
    kvcom::SetPacing(&fast);
    const auto start = Clock::now();
    EXPECT_EQ(model.MemRefresh(), 0);
    // 30 s on the fast clock: about 3 s of real time.
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30'000 / FastClock::kFactor));
    EXPECT_EQ(kvcom::rev_mode.load(), kvcom::REV_IDLE);
    CloseConnection();              // the reader has stopped: the table can be read
    EXPECT_EQ(data_memoryb[9], 0);  // what came is not listed: the refresh failed
    EXPECT_EQ(data_memoryb[0], 0);
}

}  // namespace
