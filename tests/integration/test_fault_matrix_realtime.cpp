// Every device operation against every way the line or the unit can let it
// down, in real time: the library on one side of a pseudo-terminal, the
// simulator on the other. Each cell of the table below is one test: the
// operation must end within the time its own time-outs and pauses allow,
// return 1 only when it did what it says, leave the model and the memory
// table as they were when it failed, and leave the port fit for the next
// fetch once the fault is gone.
//
// COM1 names a symbolic link to the simulator's pty, so a dead port can be
// brought back under the same name, as a udev name stays when the adapter
// returns.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>
#include <stdlib.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "fast_clock.h"
#include "hex.h"
#include "sim_on_com1.h"
#include "memory_table_bytes.h"
#include "pacing.h"
#include "program_compare.h"
#include "pty_server.h"
#include "reception.h"

namespace {

using kvtest::Bytes;
using kvtest::ExpectSameSetting;
using kvtest::MemoryTableBytes;
using std::chrono::milliseconds;

// The library's own waits and pauses, in milliseconds: the bound of each
// cell is made of these.
constexpr int kIdentityMs = 1000;                      // identity reply before a fetch or a list
constexpr int kWorkingImageMs = 5000;                  // the working program's image
constexpr int kDumpMs = 30000;                         // the whole memory dump
constexpr int kMemImageMs = 1000;                      // one memory's image
constexpr int kRecallPausesMs = 1000;                  // after the image, around the program change
constexpr int kStoreGapsMs = 3;                        // StoreMEM's gaps: 2.5 ms in all
constexpr int kStoreAllOneMs = 3 * 600 + 1000 + 1000;  // prelude, one memory, working program
constexpr int kParamMs = 10;                           // after a parameter message
constexpr int kAtOnce = 0;                             // nothing sent, no pause
// Scheduling on a busy machine; a cell that must end at once gets less.
constexpr int kSlackMs = 300;
constexpr int kAtOnceSlackMs = 50;

enum class Fault {
    kDropReplies,
    kWrongDevice,
    kCutDump,
    kRandomChunks,
    kCorruptReplies,
    kCorruptImage,
    kNoSuchPort,
    kHungUpPort
};
enum class Op { kFetch, kList, kRecall, kStore, kStoreAll, kParam };

const char* Name(Fault f) {
    switch (f) {
    case Fault::kDropReplies: return "DropReplies";
    case Fault::kWrongDevice: return "WrongDevice";
    case Fault::kCutDump: return "CutDump";
    case Fault::kRandomChunks: return "RandomChunks";
    case Fault::kCorruptReplies: return "CorruptReplies";
    case Fault::kCorruptImage: return "CorruptImage";
    case Fault::kNoSuchPort: return "NoSuchPort";
    case Fault::kHungUpPort: return "HungUpPort";
    }
    return "?";
}

const char* Name(Op op) {
    switch (op) {
    case Op::kFetch: return "Fetch";
    case Op::kList: return "List";
    case Op::kRecall: return "Recall";
    case Op::kStore: return "Store";
    case Op::kStoreAll: return "StoreAll";
    case Op::kParam: return "Param";
    }
    return "?";
}

bool IsDeadPort(Fault f) { return f == Fault::kNoSuchPort || f == Fault::kHungUpPort; }

struct Cell {
    Fault fault;
    Op op;
    int result;               // the honest result
    int bound_ms;             // on the library's clock, before slack
    bool fast_clock = false;  // the wait is the 30 s dump time-out: run the clock ten times fast
};

// clang-format off
const Cell kCells[] = {
    // The unit answers nothing: a fetch or list gives up after the identity
    // time-out, a recall after the image time-out. Sending needs no reply.
    {Fault::kDropReplies, Op::kFetch,    0, kIdentityMs},
    {Fault::kDropReplies, Op::kList,     0, kIdentityMs},
    {Fault::kDropReplies, Op::kRecall,   0, kMemImageMs},
    {Fault::kDropReplies, Op::kStore,    1, kStoreGapsMs},
    {Fault::kDropReplies, Op::kStoreAll, 1, kStoreAllOneMs},
    {Fault::kDropReplies, Op::kParam,    1, kParamMs},
    // Another unit answers the identity request. A recall asks no identity:
    // the image it gets is the one it asked for.
    {Fault::kWrongDevice, Op::kFetch,    0, kIdentityMs},
    {Fault::kWrongDevice, Op::kList,     0, kIdentityMs},
    {Fault::kWrongDevice, Op::kRecall,   1, kMemImageMs + kRecallPausesMs},
    {Fault::kWrongDevice, Op::kStore,    1, kStoreGapsMs},
    {Fault::kWrongDevice, Op::kStoreAll, 1, kStoreAllOneMs},
    {Fault::kWrongDevice, Op::kParam,    1, kParamMs},
    // Dumps end before the working program: only a list is hurt, and it
    // waits out its whole time-out (on a fast clock here).
    {Fault::kCutDump, Op::kFetch,    1, kIdentityMs + kWorkingImageMs},
    {Fault::kCutDump, Op::kList,     0, kIdentityMs + kDumpMs, true},
    {Fault::kCutDump, Op::kRecall,   1, kMemImageMs + kRecallPausesMs},
    {Fault::kCutDump, Op::kStore,    1, kStoreGapsMs},
    {Fault::kCutDump, Op::kStoreAll, 1, kStoreAllOneMs},
    {Fault::kCutDump, Op::kParam,    1, kParamMs},
    // Replies cut into random pieces at the line rate: everything works.
    {Fault::kRandomChunks, Op::kFetch,    1, kIdentityMs + kWorkingImageMs},
    {Fault::kRandomChunks, Op::kList,     1, kIdentityMs + kDumpMs},
    {Fault::kRandomChunks, Op::kRecall,   1, kMemImageMs + kRecallPausesMs},
    {Fault::kRandomChunks, Op::kStore,    1, kStoreGapsMs},
    {Fault::kRandomChunks, Op::kStoreAll, 1, kStoreAllOneMs},
    {Fault::kRandomChunks, Op::kParam,    1, kParamMs},
    // The next reply has one data byte changed: for a fetch or a list that
    // is the identity reply, which the reader refuses. For a recall it is
    // the memory's image, whose closing checksum then no longer matches:
    // the reader can tell, and must not take it.
    {Fault::kCorruptReplies, Op::kFetch,    0, kIdentityMs},
    {Fault::kCorruptReplies, Op::kList,     0, kIdentityMs},
    {Fault::kCorruptReplies, Op::kRecall,   0, kMemImageMs + kRecallPausesMs},
    {Fault::kCorruptReplies, Op::kStore,    1, kStoreGapsMs},
    {Fault::kCorruptReplies, Op::kStoreAll, 1, kStoreAllOneMs},
    {Fault::kCorruptReplies, Op::kParam,    1, kParamMs},
    // The reply that carries the program (the working program's image, the
    // dump) has one data byte changed; the identity reply comes through
    // whole. The checksum tells, so the operation must fail, and a list
    // must not file the damage for a later Store All to send back.
    {Fault::kCorruptImage, Op::kFetch, 0, kIdentityMs + kWorkingImageMs},
    {Fault::kCorruptImage, Op::kList,  0, kIdentityMs + kDumpMs},
    // Nothing behind the port's name, or a pty whose other end has gone:
    // every operation fails at once, sending nothing.
    {Fault::kNoSuchPort, Op::kFetch,    0, kAtOnce},
    {Fault::kNoSuchPort, Op::kList,     0, kAtOnce},
    {Fault::kNoSuchPort, Op::kRecall,   0, kAtOnce},
    {Fault::kNoSuchPort, Op::kStore,    0, kAtOnce},
    {Fault::kNoSuchPort, Op::kStoreAll, 0, kAtOnce},
    {Fault::kNoSuchPort, Op::kParam,    0, kAtOnce},
    {Fault::kHungUpPort, Op::kFetch,    0, kAtOnce},
    {Fault::kHungUpPort, Op::kList,     0, kAtOnce},
    {Fault::kHungUpPort, Op::kRecall,   0, kAtOnce},
    {Fault::kHungUpPort, Op::kStore,    0, kAtOnce},
    {Fault::kHungUpPort, Op::kStoreAll, 0, kAtOnce},
    {Fault::kHungUpPort, Op::kParam,    0, kAtOnce},
};
// clang-format on

void PrintTo(const Cell& c, std::ostream* os) {
    *os << Name(c.fault) << " x " << Name(c.op) << " -> " << c.result << " within " << c.bound_ms << " ms";
}

std::string CellName(const ::testing::TestParamInfo<Cell>& info) {
    return std::string(Name(info.param.fault)) + "_" + Name(info.param.op);
}

using kvtest::FastClock;

// A program with `filters` output EQ filters and settings told apart by `tag`.
CDSDATA Program(int filters, int tag, const char* name) {
    CDSDATA p;
    for (int k = 0; k < KV_OUTPUTS; ++k) p.out_gain[k] = tag - 3 * k;
    p.out_delay[3] = 100 + tag;
    p.ina_delay = 10 * tag;
    for (int j = 0; j < filters; ++j) {
        const int owner = j % KV_OUTPUTS;
        p.eq_owner[j] = owner;
        p.out_eq_slot[owner][j / KV_OUTPUTS] = j;
        p.eq_dsp[j] = 0;
        p.eq_freq[j] = 40 + j + tag;
        p.eq_gain[j] = 20 + j;
    }
    p.eq_used = filters;
    std::snprintf(p.prog_name, sizeof p.prog_name, "%s", name);
    return p;
}

// Memory numbers of the setting every cell starts from.
constexpr int kDeviceMemory = 7;  // used on the unit, not in the PC's table
constexpr int kTableMemory = 42;  // used in the PC's table, not on the unit
constexpr int kDeviceCurrent = 3;
constexpr int kModelMemory = 9;
constexpr int kParamOutput = 2;
constexpr int kParamGain = -20;

class FaultMatrix : public ::testing::TestWithParam<Cell> {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(line_.SetUp("matrix")); }
    void TearDown() override {
        line_.TearDown();
        kvcom::SetPacing(nullptr);
    }

    // What the unit holds, copied while the simulator cannot touch it.
    struct Unit {
        CDSDATA working;
        Bytes working_image;
        kvsim::Memory memories[kvsim::Device::kMemories + 1];
        int current;
    };
    static Unit Copy(const kvsim::Device& d) {
        Unit u{d.Working(), d.WorkingImage(), {}, d.CurrentMemory()};
        for (int m = 1; m <= kvsim::Device::kMemories; ++m) u.memories[m] = d.MemoryAt(m);
        return u;
    }
    // The unit once it has taken in what was sent: the last bytes of an
    // operation that needs no reply may still be on the line when it returns.
    Unit Settled(const std::function<bool(const kvsim::Device&)>& done) {
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            bool ok = false;
            line_.server().WithDevice([&](kvsim::Device& d) { ok = done(d); });
            if (ok || std::chrono::steady_clock::now() - start > milliseconds(1000)) break;
            std::this_thread::sleep_for(milliseconds(1));
        }
        std::unique_ptr<Unit> u;
        line_.server().WithDevice([&](kvsim::Device& d) { u = std::make_unique<Unit>(Copy(d)); });
        return *u;
    }

    // The unit holds memory 7 and a working program of its own, memory 3
    // current; the PC's table holds memory 42 and a working program the
    // unit has not got; the model is a third program. (A model's
    // constructor empties the table, so every program is made first.)
    void MakeSetting() {
        device_.SetWorking(unit_working_);
        device_.StoreMemory(kDeviceMemory, unit_memory_, "DEV7");
        const std::uint8_t select[] = {0xC0, kDeviceCurrent - 1};  // memory 3 is empty: selected, nothing recalled
        device_.Feed(select, sizeof select);
        ASSERT_EQ(device_.CurrentMemory(), kDeviceCurrent);

        table_memory_.mem_num = kTableMemory;
        prog_len[kTableMemory] = table_memory_.SaveData(prog_save[kTableMemory]);
        std::snprintf(data_name[kTableMemory], sizeof data_name[kTableMemory], "KEEP42  ");
        data_memoryb[kTableMemory] = 1;
        table_working_.mem_num = 0;
        prog_len[0] = table_working_.SaveData(prog_save[0]);
        std::snprintf(data_name[0], sizeof data_name[0], "PCWORK  ");
        data_memoryb[0] = 1;
        model_.mem_num = kModelMemory;
    }

    // Sets the cell's fault and brings the port into the state it names.
    void Arrange(Fault fault) {
        kvsim::PtyOptions options;
        options.line_rate = false;  // the line rate matters only with random chunks
        kvsim::Faults& f = device_.faults();
        switch (fault) {
        case Fault::kDropReplies: f.drop_replies = 1000; break;
        case Fault::kWrongDevice: f.wrong_device_byte = true; break;
        case Fault::kCutDump: f.cut_dump = true; break;
        case Fault::kRandomChunks:
            options.line_rate = true;
            options.random_chunks = true;
            options.seed = 5;
            break;
        case Fault::kCorruptReplies: f.corrupt_replies = 1; break;
        case Fault::kCorruptImage: break;  // armed by the observer below
        case Fault::kNoSuchPort:
            EXPECT_EQ(OpenConnection(), 0);
            EXPECT_EQ(LinkLastError(), ENOENT);
            return;
        case Fault::kHungUpPort: break;
        }
        ASSERT_NO_FATAL_FAILURE(line_.PlugIn(device_, options));
        ASSERT_NE(OpenConnection(), 0);
        if (fault == Fault::kCorruptImage) {
            // The unit sees the request for the working program or for the
            // dump just before it answers: that answer gets the changed byte.
            line_.server().WithDevice([](kvsim::Device& d) {
                d.SetObserver([&d](const Bytes& m, const std::string& note) {
                    const bool asks_program = note.empty() && m.size() >= 7 && (m[5] == 0x02 || m[5] == 0x00);
                    if (asks_program) d.faults().corrupt_replies = 1;
                });
            });
        }
        if (fault == Fault::kHungUpPort) {
            line_.HangUp();  // the name stays; the pty behind it is gone
            const auto start = std::chrono::steady_clock::now();
            while (npTTYInfo->connected.load() != 0 && std::chrono::steady_clock::now() - start < milliseconds(500))
                std::this_thread::sleep_for(milliseconds(1));
            ASSERT_EQ(npTTYInfo->connected.load(), 0);
            EXPECT_EQ(LinkLastError(), EIO);
        }
    }

    int Run(Op op) {
        switch (op) {
        case Op::kFetch: return model_.RecallToPC();
        case Op::kList: return model_.MemRefresh();
        case Op::kRecall: return model_.MEMRECALLFROMMCU(kDeviceMemory);
        case Op::kStore: return model_.StoreMEM(kTableMemory);
        case Op::kStoreAll: return model_.SendMEMStoreAll();
        case Op::kParam: return model_.SendParam(PC_OUT_GAIN);
        }
        return -1;
    }

    // The operation did what it says: the unit, or the PC, now holds it.
    void ExpectDone(Op op, const CDSDATA& before, const Bytes& table) {
        switch (op) {
        case Op::kFetch: {
            const Unit unit = Settled([](const kvsim::Device&) { return true; });
            ExpectSameSetting(model_, unit_working_);
            EXPECT_EQ(model_.mem_num, 1);
            // The fetched image becomes the table's working program.
            EXPECT_EQ(Bytes(prog_save[0], prog_save[0] + prog_len[0]), unit.working_image);
            break;
        }
        case Op::kList: {
            const Unit unit = Settled([](const kvsim::Device&) { return true; });
            for (int m = 1; m <= kvsim::Device::kMemories; ++m) {
                SCOPED_TRACE("memory " + std::to_string(m));
                const kvsim::Memory& want = unit.memories[m];
                ASSERT_EQ(data_memoryb[m], want.used ? 1 : 0);
                if (!want.used) continue;
                EXPECT_EQ(Bytes(prog_save[m], prog_save[m] + prog_len[m]), want.image);
                EXPECT_EQ(std::string(data_name[m]), want.name);
            }
            EXPECT_EQ(Bytes(prog_save[0], prog_save[0] + prog_len[0]), unit.working_image);
            EXPECT_EQ(model_.mem_num, kDeviceCurrent);
            break;
        }
        case Op::kRecall: {
            const Unit unit = Settled([](const kvsim::Device& d) { return d.CurrentMemory() == kDeviceMemory; });
            ExpectSameSetting(model_, unit_memory_);
            EXPECT_STREQ(model_.prog_name, "DEV7    ");
            EXPECT_EQ(unit.current, kDeviceMemory);
            EXPECT_EQ(MemoryTableBytes(), table);
            break;
        }
        case Op::kStore: {
            const Unit unit = Settled([](const kvsim::Device& d) { return d.CurrentMemory() == kTableMemory; });
            const kvsim::Memory& stored = unit.memories[kTableMemory];
            ASSERT_TRUE(stored.used);
            EXPECT_EQ(stored.name, "KEEP42  ");
            CDSDATA got(before);
            got.GetData(stored.image.data(), static_cast<int>(stored.image.size()), 0);
            ExpectSameSetting(got, table_memory_);
            EXPECT_EQ(unit.current, kTableMemory);
            ExpectSameSetting(model_, before);
            EXPECT_EQ(MemoryTableBytes(), table);
            break;
        }
        case Op::kStoreAll: {
            const Unit unit = Settled([](const kvsim::Device& d) { return d.MemoryAt(kTableMemory).used; });
            const kvsim::Memory& stored = unit.memories[kTableMemory];
            ASSERT_TRUE(stored.used);
            EXPECT_EQ(stored.image, Bytes(prog_save[kTableMemory], prog_save[kTableMemory] + prog_len[kTableMemory]));
            EXPECT_EQ(stored.name, "KEEP42  ");
            EXPECT_TRUE(unit.memories[kDeviceMemory].used);  // what the unit had stays
            ExpectSameSetting(unit.working, table_working_);
            ExpectSameSetting(model_, table_working_);  // the model takes the table's working program
            EXPECT_EQ(MemoryTableBytes(), table);
            break;
        }
        case Op::kParam: {
            const Unit unit =
                Settled([](const kvsim::Device& d) { return d.Working().out_gain[kParamOutput] == kParamGain; });
            EXPECT_EQ(unit.working.out_gain[kParamOutput], kParamGain);
            ExpectSameSetting(model_, before);
            EXPECT_EQ(MemoryTableBytes(), table);
            break;
        }
        }
    }

    // Clears the fault (for a dead port: the unit comes back behind the
    // same name and the port is opened again); a fetch then works.
    void ExpectPortReusable(Fault fault) {
        if (IsDeadPort(fault)) {
            EXPECT_FALSE(device_.MemoryAt(kTableMemory).used);  // nothing reached the unit
            kvsim::PtyOptions options;
            options.line_rate = false;
            ASSERT_NO_FATAL_FAILURE(line_.PlugIn(device_, options));
            ASSERT_NE(OpenConnection(), 0);
        } else {
            line_.server().WithDevice([](kvsim::Device& d) {
                d.SetObserver(nullptr);
                d.faults() = kvsim::Faults{};
            });
        }
        CDSDATA fetched(model_);
        ASSERT_EQ(fetched.RecallToPC(), 1);
        ExpectSameSetting(fetched, Settled([](const kvsim::Device&) { return true; }).working);
    }

    kvsim::Device device_;
    // The programs of the setting (see MakeSetting).
    CDSDATA unit_working_ = Program(3, 11, "WORK");
    CDSDATA unit_memory_ = Program(4, 17, "DEV7");
    CDSDATA table_memory_ = Program(2, 23, "KEEP42");
    CDSDATA table_working_ = Program(1, 29, "PCWORK");
    CDSDATA model_ = Program(5, 31, "MODEL");
    FastClock fast_clock_;

private:
    kvtest::SimOnCom1 line_;
};

TEST_P(FaultMatrix, Cell) {
    const Cell& cell = GetParam();
    MakeSetting();
    if (cell.fast_clock) kvcom::SetPacing(&fast_clock_);
    ASSERT_NO_FATAL_FAILURE(Arrange(cell.fault));
    if (cell.op == Op::kParam) {
        model_.out_gain[kParamOutput] = kParamGain;  // the caller writes the model first
        model_.cur_chan = kParamOutput;
    }
    const CDSDATA before = model_;
    const Bytes table = MemoryTableBytes();

    const std::int64_t start = kvcom::pacing().NowUs();
    const int result = Run(cell.op);
    const std::int64_t took_ms = (kvcom::pacing().NowUs() - start) / 1000;

    EXPECT_EQ(result, cell.result);
    // Only a program image that arrived changed is reported as damaged.
    const bool image_damaged =
        cell.fault == Fault::kCorruptImage || (cell.fault == Fault::kCorruptReplies && cell.op == Op::kRecall);
    EXPECT_EQ(LastReplyDamaged(), image_damaged ? 1 : 0);
    const int slack =
        (cell.bound_ms == kAtOnce ? kAtOnceSlackMs : kSlackMs) * (cell.fast_clock ? FastClock::kFactor : 1);
    EXPECT_LE(took_ms, cell.bound_ms + slack);
    if (cell.result == 0) {
        ExpectSameSetting(model_, before);
        EXPECT_EQ(model_.mem_num, before.mem_num);
        EXPECT_STREQ(model_.prog_name, before.prog_name);
        EXPECT_EQ(MemoryTableBytes(), table);
    } else {
        ExpectDone(cell.op, before, table);
    }
    ExpectPortReusable(cell.fault);
}

INSTANTIATE_TEST_SUITE_P(Realtime, FaultMatrix, ::testing::ValuesIn(kCells), CellName);

}  // namespace
