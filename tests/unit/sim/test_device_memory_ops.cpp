// The library's memory operations against the simulator, in-process: what
// the PC writes goes to the device, what the device answers goes to the
// reader's chunk handler, with no real waiting.
#include <gtest/gtest.h>

#include <cstring>

#include "model_builder.h"
#include "reception.h"
#include "sim_messages.h"
#include "wire_recorder.h"

namespace {

using namespace kvtest::sim;

class SimMemoryOps : public ::testing::Test {
protected:
    SimMemoryOps() {
        rec.on_write = [this](const Bytes& m) {
            const Bytes r = dev.Feed(m.data(), m.size());
            if (!r.empty()) kvcom::HandleChunk(r.data(), r.size());
        };
        kvcom::rev_mode = kvcom::REV_IDLE;
        kvcom::rev_busy = 0;
        kvcom::ResetAccumulation();
    }

    // A program that differs from the factory one in many places.
    static CDSDATA Program(int figuration, int seed) {
        CDSDATA m;
        m.figuration = static_cast<char>(figuration);
        m.link_on = figuration != 0;
        m.InitData();
        m.out_gain[seed % 6] = seed - 40;
        m.out_delay[(seed + 1) % 6] = 100 * seed;
        m.ina_delay = seed;
        m.out_mute[2] = 0;
        kvtest::PoolRow(m, 0).Owner(3).Slot(0);
        m.eq_freq[0] = 60 + seed;
        m.eq_gain[0] = 20;
        m.eq_used = 1;
        return m;
    }

    void Name(int entry, const char* name) {
        std::memset(data_name[entry], 0, sizeof data_name[entry]);
        std::strncpy(data_name[entry], name, 8);
    }

    CDSDATA pc;  // constructed first: it resets the memory table
    kvsim::Device dev;
    kvtest::WireRecorder rec;
};

TEST_F(SimMemoryOps, StoreMemCurThenRefreshAndRecall) {
    pc = Program(1, 7);
    pc.mem_num = 5;
    Name(5, "Hall-2");
    std::strcpy(pc.prog_name, "Hall-2");
    data_memoryb[5] = 1;
    EXPECT_EQ(pc.StoreMEMCur(5), 1);

    ASSERT_TRUE(dev.MemoryAt(5).used);
    EXPECT_EQ(dev.MemoryAt(5).name, "Hall-2  ");
    EXPECT_EQ(dev.CurrentMemory(), 5);
    const CDSDATA stored = Decode(dev.MemoryAt(5).image);
    EXPECT_EQ(stored.out_gain[1], -33);
    EXPECT_EQ(stored.out_eq_slot[3][0], 0);
    EXPECT_EQ(stored.eq_freq[0], 67);

    // Refresh lists it under its name, and only it (with the working program).
    CDSDATA other = Program(0, 3);
    dev.StoreMemory(60, other, "LAST");
    ASSERT_EQ(pc.MemRefresh(), 1);
    EXPECT_EQ(pc.mem_num, 5);
    EXPECT_EQ(data_memoryb[5], 1);
    EXPECT_EQ(data_memoryb[60], 1);
    EXPECT_EQ(data_memoryb[0], 1);
    EXPECT_STREQ(data_name[5], "Hall-2  ");
    EXPECT_STREQ(data_name[60], "LAST    ");
    for (int m = 1; m < 60; ++m) {
        if (m == 5) continue;
        EXPECT_EQ(data_memoryb[m], 0) << m;
        EXPECT_STREQ(data_name[m], "<None>") << m;
    }
    EXPECT_EQ(Bytes(prog_save[60], prog_save[60] + prog_len[60]), dev.MemoryAt(60).image);

    // Recall 60 into the PC: the device switches to it as well.
    CDSDATA fresh;
    ASSERT_EQ(fresh.MEMRECALLFROMMCU(60), 1);
    EXPECT_EQ(dev.CurrentMemory(), 60);
    EXPECT_EQ(fresh.out_gain[3], -37);
    EXPECT_EQ(fresh.out_delay[4], 300);
    EXPECT_STREQ(fresh.prog_name, "LAST    ");
    EXPECT_EQ(dev.Working().out_gain[3], -37);
}

// Reading a memory leaves the unit on the program it plays; the working
// program reads back as the unit holds it.
TEST_F(SimMemoryOps, FetchMemoryNeverRecalls) {
    dev.StoreMemory(9, Program(1, 5), "NINE");
    dev.StoreMemory(4, Program(0, 2), "FOUR");
    const CDSDATA live = Program(2, 13);
    dev.SetWorking(live);
    const int current = dev.CurrentMemory();
    ASSERT_EQ(pc.FetchMemory(9), 1);
    EXPECT_EQ(pc.figuration, 1);
    EXPECT_EQ(pc.out_gain[5], -35);
    EXPECT_STREQ(pc.prog_name, "NINE    ");
    EXPECT_EQ(dev.CurrentMemory(), current);
    EXPECT_EQ(dev.Working().out_gain[1], -27);  // still the live program
    ASSERT_EQ(pc.FetchMemory(0), 1);
    EXPECT_EQ(pc.figuration, 2);
    EXPECT_EQ(pc.out_gain[1], -27);
    EXPECT_EQ(pc.eq_used, 1);
    EXPECT_EQ(pc.FetchMemory(30), 0);  // empty: the unit sends nothing
}

TEST_F(SimMemoryOps, UploadAndDownload) {
    CDSDATA live = Program(2, 11);
    dev.SetWorking(live);
    ASSERT_EQ(pc.RecallToPC(), 1);
    EXPECT_EQ(pc.figuration, 2);
    EXPECT_EQ(pc.out_gain[5], -29);
    EXPECT_EQ(pc.ina_delay, 11);
    EXPECT_EQ(pc.out_eq_slot[3][0], 0);
    EXPECT_EQ(pc.eq_used, 1);
    EXPECT_EQ(pc.mem_num, 1);

    // Download: the program goes to the device as memory 1 and becomes its
    // working program.
    pc.out_limit[0] = 60;
    pc.mem_num = 0;
    Name(0, "DOWN");
    std::strcpy(pc.prog_name, "DOWN");
    EXPECT_EQ(pc.StoreFromPC(), 1);
    EXPECT_EQ(dev.MemoryAt(1).name, "DOWN    ");
    EXPECT_EQ(Decode(dev.MemoryAt(1).image).out_limit[0], 60);
    EXPECT_EQ(dev.Working().out_limit[0], 60);
    EXPECT_EQ(dev.CurrentMemory(), 1);
}

TEST_F(SimMemoryOps, StoreAllWritesTheTable) {
    // Every CDSDATA construction clears the table: build the models first.
    pc = Program(2, 23);
    const CDSDATA a = Program(0, 21), b = Program(1, 22);
    prog_len[42] = a.SaveData(prog_save[42]);
    prog_save[42][7] = 42;
    Name(42, "A");
    data_memoryb[42] = 1;
    CDSDATA bb(b);
    bb.mem_num = 9;
    prog_len[9] = bb.SaveData(prog_save[9]);
    Name(9, "B");
    data_memoryb[9] = 1;
    EXPECT_EQ(pc.SendMEMStoreAll(), 1);

    EXPECT_TRUE(dev.MemoryAt(42).used);
    EXPECT_TRUE(dev.MemoryAt(9).used);
    EXPECT_EQ(Bytes(prog_save[9], prog_save[9] + prog_len[9]), dev.MemoryAt(9).image);
    EXPECT_EQ(Decode(dev.MemoryAt(42).image).out_gain[3], -19);
    EXPECT_FALSE(dev.MemoryAt(1).used);
    EXPECT_EQ(dev.Working().figuration, 2);
    EXPECT_EQ(dev.Working().out_gain[5], -17);
    EXPECT_EQ(dev.CurrentMemory(), 1);  // the block the PC sends names memory 1
}

TEST_F(SimMemoryOps, FaultsMakeTheOperationsFail) {
    dev.faults().drop_replies = 1;  // the identity reply
    EXPECT_EQ(pc.RecallToPC(), 0);
    kvcom::rev_busy = 0;

    dev.faults().wrong_device_byte = true;
    EXPECT_EQ(pc.RecallToPC(), 0);
    dev.faults().wrong_device_byte = false;
    kvcom::rev_busy = 0;

    dev.faults().cut_dump = true;
    EXPECT_EQ(pc.MemRefresh(), 0);
    dev.faults().cut_dump = false;
    kvcom::rev_busy = 0;
    kvcom::rev_mode = kvcom::REV_IDLE;

    EXPECT_EQ(pc.MemRefresh(), 1);
    EXPECT_EQ(data_memoryb[0], 1);
}

}  // namespace
