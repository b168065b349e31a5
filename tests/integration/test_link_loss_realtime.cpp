// The adapter pulled and put back, in real time: the library on one side of a
// pseudo-terminal, the simulator on the other. COM1 names a symbolic link
// that points at the simulator's pty, so the device comes back on the same
// port whichever pty it gets (as a udev name stays when the adapter returns).
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "hex.h"
#include "memory_table_bytes.h"
#include "program_compare.h"
#include "pty_server.h"
#include "reception.h"
#include "sim_on_com1.h"

namespace {

using kvtest::Bytes;
using kvtest::ExpectSameSetting;
using kvtest::MemoryTableBytes;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How soon after the line is gone an operation must have given up.
constexpr milliseconds kGiveUpWithin{100};

// A program whose image is long on the line: `filters` EQ filters over the outputs.
CDSDATA ProgramWithFilters(int filters, int gain) {
    CDSDATA p;
    p.out_gain[1] = gain;
    for (int j = 0; j < filters; ++j) {
        const int owner = j % KV_OUTPUTS;
        p.eq_owner[j] = owner;
        p.out_eq_slot[owner][j / KV_OUTPUTS] = j;
        p.eq_dsp[j] = 0;
        p.eq_freq[j] = 40 + j;
    }
    p.eq_used = filters;
    return p;
}

// A table the user has: two memories and a working program, none of which
// is what the device would list. (A model's constructor resets the table,
// so the programs are made first.)
void FillTable() {
    const int used[] = {0, 7, 42};
    std::vector<CDSDATA> programs;
    for (int m : used) {
        programs.push_back(ProgramWithFilters(m % 5, m));
        programs.back().mem_num = static_cast<char>(m);
    }
    for (std::size_t i = 0; i < programs.size(); ++i) {
        const int m = used[i];
        prog_len[m] = programs[i].SaveData(prog_save[m]);
        std::snprintf(data_name[m], sizeof data_name[m], "KEEP%02d  ", m);
        data_memoryb[m] = 1;
    }
}

class LinkLossRealtime : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(line_.SetUp("port")); }
    void TearDown() override {
        line_.TearDown();
        SetMemStoreAllProgress(nullptr, nullptr);
    }

    void PlugIn() { ASSERT_NO_FATAL_FAILURE(line_.PlugIn(device)); }
    Clock::time_point Unplug() { return line_.Unplug(); }

    struct Outcome {
        int result;
        Clock::time_point unplugged, started, ended;
    };
    // Runs `op` while another thread pulls the adapter once `ready()` holds
    // and `delay` has passed.
    Outcome RunUnpluggedMidWay(
        const std::function<int()>& op, milliseconds delay, const std::function<bool()>& ready = [] { return true; }) {
        Outcome out{};
        std::atomic<bool> done{false};
        std::thread puller([&] {
            while (!ready() && !done.load()) std::this_thread::sleep_for(milliseconds(1));
            std::this_thread::sleep_for(delay);
            out.unplugged = Unplug();
        });
        out.started = Clock::now();
        out.result = op();
        out.ended = Clock::now();
        done.store(true);
        puller.join();
        return out;
    }
    // The operation was still running when the line went, and gave up soon after.
    static void ExpectGaveUpInTime(const Outcome& o) {
        EXPECT_EQ(o.result, 0);
        EXPECT_GT(o.ended, o.unplugged - milliseconds(5)) << "the operation ended before the unplug";
        EXPECT_LT(o.ended - o.unplugged, kGiveUpWithin);
        EXPECT_EQ(npTTYInfo->connected.load(), 0);
        EXPECT_EQ(LinkLastError(), EIO);
    }

    kvsim::Device device;
    CDSDATA model;

private:
    kvtest::SimOnCom1 line_;
};

TEST_F(LinkLossRealtime, DeadPortFailsEveryOperationAtOnce) {
    model = ProgramWithFilters(3, 12);
    model.mem_num = 7;
    FillTable();
    EXPECT_EQ(OpenConnection(), 0);  // nothing behind the port's name
    EXPECT_EQ(LinkLastError(), ENOENT);

    struct Case {
        const char* name;
        std::function<int(CDSDATA&)> run;
    };
    const Case cases[] = {
        {"SendParam", [](CDSDATA& m) { return m.SendParam(PC_OUT_GAIN); }},
        {"StoreFromPC", [](CDSDATA& m) { return m.StoreFromPC(); }},
        {"StoreMEMCur", [](CDSDATA& m) { return m.StoreMEMCur(0); }},
        {"SendMEMStoreAll", [](CDSDATA& m) { return m.SendMEMStoreAll(); }},
        {"RecallToPC", [](CDSDATA& m) { return m.RecallToPC(); }},
        {"MemRefresh", [](CDSDATA& m) { return m.MemRefresh(); }},
        {"MEMRECALLFROMMCU", [](CDSDATA& m) { return m.MEMRECALLFROMMCU(7); }},
    };
    const Bytes table = MemoryTableBytes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDSDATA m(model);
        const auto start = Clock::now();
        EXPECT_EQ(c.run(m), 0);
        EXPECT_LT(Clock::now() - start, milliseconds(5));
        ExpectSameSetting(m, model);
        EXPECT_EQ(m.mem_num, model.mem_num);
        EXPECT_EQ(MemoryTableBytes(), table);
    }
}

TEST_F(LinkLossRealtime, UnplugMidListKeepsTheTable) {
    for (int m = 1; m <= 10; ++m) device.StoreMemory(m, ProgramWithFilters(10, m), "DEV" + std::to_string(m));
    PlugIn();
    ASSERT_NE(OpenConnection(), 0);
    FillTable();
    model.mem_num = 42;
    ASSERT_EQ(data_memoryb[7] + data_memoryb[42] + data_memoryb[0], 3);
    const Bytes table = MemoryTableBytes();

    // Ten memories take over four seconds on the line: half a second in, the
    // dump is well under way.
    const Outcome o = RunUnpluggedMidWay([&] { return model.MemRefresh(); }, milliseconds(500));
    ExpectGaveUpInTime(o);
    EXPECT_EQ(MemoryTableBytes(), table);
    EXPECT_EQ(model.mem_num, 42);
}

TEST_F(LinkLossRealtime, UnplugMidStoreAllStopsAtTheMemoryInHand) {
    PlugIn();
    ASSERT_NE(OpenConnection(), 0);
    model = ProgramWithFilters(2, -7);
    const CDSDATA before = model;
    FillTable();
    ASSERT_EQ(data_memoryb[7] + data_memoryb[42] + data_memoryb[0], 3);
    const Bytes table = MemoryTableBytes();

    struct Progress {
        std::atomic<int> reported{0};
        std::vector<int> memories;
    } progress;
    SetMemStoreAllProgress(
        [](int memory, void* context) {
            auto* p = static_cast<Progress*>(context);
            p->memories.push_back(memory);
            p->reported.fetch_add(1);
        },
        &progress);
    // Pulled 200 ms into the second's pause after memory 42.
    const Outcome o = RunUnpluggedMidWay([&] { return model.SendMEMStoreAll(); }, milliseconds(200),
                                         [&] { return progress.reported.load() > 0; });
    ExpectGaveUpInTime(o);
    EXPECT_EQ(progress.memories, std::vector<int>{42});
    EXPECT_TRUE(device.MemoryAt(42).used);  // it got there before the line went
    EXPECT_FALSE(device.MemoryAt(7).used);
    ExpectSameSetting(model, before);
    EXPECT_EQ(MemoryTableBytes(), table);
}

TEST_F(LinkLossRealtime, UnplugMidFetchKeepsTheModel) {
    device.SetWorking(ProgramWithFilters(39, 20));  // about 0.9 s on the line
    PlugIn();
    ASSERT_NE(OpenConnection(), 0);
    model = ProgramWithFilters(4, -3);
    model.mem_num = 9;
    const CDSDATA before = model;

    const Outcome o = RunUnpluggedMidWay([&] { return model.RecallToPC(); }, milliseconds(400));
    ExpectGaveUpInTime(o);
    ExpectSameSetting(model, before);
    EXPECT_EQ(model.mem_num, 9);
}

TEST_F(LinkLossRealtime, ReplugAndReopenTheSamePort) {
    PlugIn();
    ASSERT_NE(OpenConnection(), 0);
    const auto unplugged = Unplug();
    while (npTTYInfo->connected.load() != 0 && Clock::now() - unplugged < milliseconds(500))
        std::this_thread::sleep_for(milliseconds(1));
    EXPECT_LT(Clock::now() - unplugged, kGiveUpWithin);
    EXPECT_EQ(LinkLastError(), EIO);
    EXPECT_EQ(OpenConnection(), 0);  // the adapter is still out
    EXPECT_EQ(LinkLastError(), ENOENT);

    PlugIn();  // a new pty behind the same name
    ASSERT_NE(OpenConnection(), 0);
    EXPECT_EQ(LinkLastError(), 0);
    model.out_gain[1] = 33;
    model.cur_chan = 1;
    EXPECT_EQ(model.SendParam(PC_OUT_GAIN), 1);
    CDSDATA fetched;
    ASSERT_EQ(fetched.RecallToPC(), 1);
    EXPECT_EQ(fetched.out_gain[1], 33);
}

}  // namespace
