// Memory operations through the recording clock and line: the exact
// messages and pauses of the stores, and the fetches answered in-process.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "hex.h"
#include "link_error.h"
#include "memory_table.h"
#include "memory_table_bytes.h"
#include "model_builder.h"
#include "param_wire.h"
#include "reception.h"
#include "kvproto/system_block.h"
#include "wire_recorder.h"

namespace {

using kvtest::Bytes;
using kvtest::Hex;
using namespace kvtest::param_wire;

const WireEvent kIdentityRequest = Msg("F0 00 20 18 00 06 01 F7");

Bytes ImageOf(const CDSDATA& m) {
    Bytes img(KV_IMAGE_MAX);
    img.resize(static_cast<std::size_t>(m.SaveData(img.data())));
    return img;
}

Bytes WithMemNum(CDSDATA m, int mem) {
    m.mem_num = static_cast<char>(mem);
    return ImageOf(m);
}

// The figuration message with its identity request, as every store opens.
Events Figuration(const std::string& body) {
    return {Param(body), SleepMs(10), SpinUs(500), kIdentityRequest, SpinUs(50000)};
}

// Eight name characters, each followed by `pause`.
Events NameChars(const std::string& codes, const WireEvent& pause) {
    Events out;
    const Bytes c = Hex(codes);
    for (int i = 0; i < 8; ++i) {
        char body[32];
        std::snprintf(body, sizeof body, "01 %02X 01 %02X", i + 1, c[i]);
        out.push_back(Param(body));
        out.push_back(pause);
    }
    return out;
}

Events Join(std::initializer_list<Events> parts) {
    Events out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

void SetName(int entry, const char* name) {
    std::memset(data_name[entry], 0, sizeof data_name[entry]);
    std::strncpy(data_name[entry], name, 8);
}

// A program with something in every part of the model.
void Edit(CDSDATA& m, int gain) {
    m.figuration = 1;
    m.InitData();
    std::strcpy(m.prog_name, "EDITED");
    m.out_gain[3] = gain;
    m.ina_delay = 480;
    m.xo_freq[4][0] = 99;
    kvtest::PoolRow(m, 0).Owner(4).Slot(0).Dsp(1);
    m.eq_freq[0] = 150;
    kvtest::PoolRow(m, 1).Owner(CHAN_IN_A).Slot(0).Dsp(0);
    m.eq_gain[1] = m.ina_eq_gain[1] = 44;
    m.eq_used = 2;
}

// The device as far as these operations need it: answers identity, image
// and dump requests from its own program and memory images.
struct FakeDevice {
    Bytes identity = Hex("F0 00 20 18 00 06 02 03 00 06 F7");
    CDSDATA working;
    std::vector<Bytes> dump;  // what a dump request returns
    std::vector<Bytes> memory = std::vector<Bytes>(KV_MEMORIES);
    bool silent = false;
    unsigned seed = 0;  // non-zero: replies come in random chunks

    void Attach(kvtest::WireRecorder& rec) {
        rec.on_write = [this](const Bytes& m) { Answer(m); };
    }
    void Answer(const Bytes& m) {
        if (silent || m.size() < 7 || m[0] != 0xF0) return;
        if (m[5] == 0x06 && m[6] == 0x01) Reply(identity);
        if (m[5] == 0x00) {
            Bytes all;
            for (const auto& b : dump) all.insert(all.end(), b.begin(), b.end());
            Reply(all);
        }
        if (m[5] == 0x02) Reply(m[6] == 0 ? WithMemNum(working, 0) : memory[m[6]]);
    }
    void Reply(const Bytes& r) {
        if (seed == 0) {
            kvcom::HandleChunk(r.data(), r.size());
            return;
        }
        std::mt19937 rng(seed++);
        for (std::size_t pos = 0; pos < r.size();) {
            const std::size_t n = std::min<std::size_t>(r.size() - pos, 1 + rng() % 64);
            kvcom::HandleChunk(r.data() + pos, n);
            pos += n;
        }
    }
};

class MemoryOps : public ::testing::Test {
protected:
    void SetUp() override {
        kvcom::ClearAllMemoryEntries();
        kvcom::rev_mode.store(kvcom::REV_IDLE);
        kvcom::rev_busy.store(0);
        device.Attach(rec);
    }
    kvtest::WireRecorder rec;
    FakeDevice device;
    CDSDATA model;
};

// ---------------------------------------------------------------------------
// Stores: exact messages and pauses.

TEST_F(MemoryOps, StoreFromPCSendsProgramNameStoreAndProgramChange) {
    model.mem_num = 0;
    SetName(0, "AB-C");
    const Bytes image = ImageOf(model);
    EXPECT_EQ(model.StoreFromPC(), 1);
    const Events expected = Join({Figuration("01 11 01"),
                                  {SpinUs(500), kvtest::WireEvent{WireEvent::kWrite, image, 0}, SpinUs(500)},
                                  NameChars("41 42 2D 43 00 00 00 00", SpinUs(100)),  // as stored
                                  {Param("01 0B 01 01"), SpinUs(100000), SpinUs(700), Msg("C0 00"), SpinUs(100)}});
    EXPECT_EQ(rec.events, expected) << rec.Describe();

    // The store value stays 1; the program change follows mem_num.
    rec.Clear();
    model.mem_num = 9;
    model.StoreFromPC();
    const auto msgs = rec.Messages();
    EXPECT_EQ(msgs[msgs.size() - 2], Hex("F0 00 20 18 00 2D 01 0B 01 01 F7"));
    EXPECT_EQ(msgs.back(), Hex("C0 08"));
}

TEST_F(MemoryOps, StoreMEMCurSendsAWorkingImageAndStoresIntoMemNum) {
    model.figuration = 2;
    model.InitData();
    model.mem_num = 5;
    SetName(5, "MY!SET");
    const Bytes image = WithMemNum(model, 0);
    EXPECT_EQ(model.StoreMEMCur(33), 1);  // the argument does not count
    const Events expected = Join({Figuration("01 12 01 02"),
                                  {SleepMs(1200), Msg("F0 00 20 18 00 02 05 F7"), SleepMs(800),
                                   kvtest::WireEvent{WireEvent::kWrite, image, 0}, SleepMs(3000)},
                                  NameChars("4D 59 3A 53 45 54 40 40", SleepMs(100)),  // translated
                                  {Param("01 0B 01 05"), SleepMs(1000), Msg("C0 04"), SleepMs(500)}});
    EXPECT_EQ(rec.events, expected) << rec.Describe();
    EXPECT_EQ(model.mem_num, 5);
}

TEST_F(MemoryOps, StoreMEMSendsTheTableEntryAsItStands) {
    CDSDATA stored;
    stored.figuration = 2;
    stored.InitData();
    const Bytes image = WithMemNum(stored, 7);
    std::memcpy(prog_save[7], image.data(), image.size());
    prog_len[7] = static_cast<int>(image.size());
    SetName(7, "B#2");
    EXPECT_EQ(model.StoreMEM(7), 1);
    const Events expected =
        Join({{Param("01 12 01 02"), SpinUs(300), kvtest::WireEvent{WireEvent::kWrite, image, 0}, SpinUs(500)},
              NameChars("42 3B 32 40 40 40 40 40", SpinUs(100)),
              {Param("01 0B 01 07"), SpinUs(100), SpinUs(700), Msg("C0 06"), SpinUs(100)}});
    EXPECT_EQ(rec.events, expected) << rec.Describe();

    // Mono images ask for figuration 0 with code 11.
    rec.Clear();
    model.StoreMEM(8);  // an empty entry: byte 100 is 0
    EXPECT_EQ(rec.Messages()[0], Hex("F0 00 20 18 00 2D 01 11 01 00 F7"));
    EXPECT_EQ(rec.Messages()[1], Hex("F0 F7"));

    rec.Clear();
    EXPECT_EQ(model.StoreMEM(61), 0);  // no such memory: nothing goes out, and that is no success
    EXPECT_TRUE(rec.events.empty());
}

TEST_F(MemoryOps, SendMEMStoreAllSendsUsedMemoriesDescendingThenTheWorkingProgram) {
    Edit(model, 12);
    const char kept = model.mem_num = 4;
    for (int m : {1, 33, 60}) {
        const Bytes image = WithMemNum(CDSDATA(model), m);
        std::memcpy(prog_save[m], image.data(), image.size());
        prog_len[m] = static_cast<int>(image.size());
    }
    prog_len[0] = 0;  // nothing fetched yet: built from the model
    EXPECT_EQ(model.SendMEMStoreAll(), 1);
    const Bytes block(kvcom::kSystemBlock, kvcom::kSystemBlock + kvcom::kSystemBlockLength);
    auto entry = [](int m) {
        return kvtest::WireEvent{WireEvent::kWrite, Bytes(prog_save[m], prog_save[m] + prog_len[m]), 0};
    };
    const Events expected = {Msg("F0 00 20 18 7F 06 01 F7"),
                             SleepMs(600),
                             Msg("F0 00 20 18 7F 06 0F F7"),
                             SleepMs(600),
                             kvtest::WireEvent{WireEvent::kWrite, block, 0},
                             SleepMs(600),
                             entry(60),
                             SleepMs(1000),
                             entry(33),
                             SleepMs(1000),
                             entry(1),
                             SleepMs(1000),
                             entry(0),
                             SleepMs(1000)};
    EXPECT_EQ(rec.events, expected) << rec.Describe();
    EXPECT_EQ(Bytes(prog_save[0], prog_save[0] + prog_len[0]), WithMemNum(model, 0));
    EXPECT_EQ(model.mem_num, kept);
}

// Asked to stop, Store All stops before the next image: every image that
// went out went out whole, with its pause, and nothing follows. A stop
// before the working program leaves the model as it was, whether the
// working program would have come from the model or from the table.
TEST_F(MemoryOps, SendMEMStoreAllStopsBeforeTheNextImageWhenAsked) {
    struct Case {
        int stop_at;            // the check that says stop (1: before the first image)
        bool fetched_working;   // entry 0 holds a program the model would take over
        std::vector<int> sent;  // the memories that went out
    };
    const Case cases[] = {
        {1, false, {}},
        {3, false, {60, 33}},
        {4, true, {60, 33, 1}},
    };
    CDSDATA fetched;
    Edit(fetched, -20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stop_at);
        CDSDATA m(model);  // leaves the table alone
        for (int n : {1, 33, 60}) {
            const Bytes image = WithMemNum(CDSDATA(model), n);
            std::memcpy(prog_save[n], image.data(), image.size());
            prog_len[n] = static_cast<int>(image.size());
        }
        const Bytes working = WithMemNum(fetched, 0);
        std::memcpy(prog_save[0], working.data(), working.size());
        prog_len[0] = c.fetched_working ? static_cast<int>(working.size()) : 0;
        const Bytes model_before = ImageOf(m);
        rec.Clear();
        struct Asked {
            int checks = 0;
            int stop_at;
        } asked{0, c.stop_at};
        SetMemCancelCheck(
            [](void* p) -> int {
                auto* a = static_cast<Asked*>(p);
                return ++a->checks >= a->stop_at ? 1 : 0;
            },
            &asked);
        EXPECT_EQ(m.SendMEMStoreAll(), 0);
        SetMemCancelCheck(nullptr, nullptr);
        EXPECT_EQ(asked.checks, c.stop_at);
        const Bytes block(kvcom::kSystemBlock, kvcom::kSystemBlock + kvcom::kSystemBlockLength);
        Events expected = {Msg("F0 00 20 18 7F 06 01 F7"),
                           SleepMs(600),
                           Msg("F0 00 20 18 7F 06 0F F7"),
                           SleepMs(600),
                           kvtest::WireEvent{WireEvent::kWrite, block, 0},
                           SleepMs(600)};
        for (int n : c.sent) {
            expected.push_back(
                kvtest::WireEvent{WireEvent::kWrite, Bytes(prog_save[n], prog_save[n] + prog_len[n]), 0});
            expected.push_back(SleepMs(1000));
        }
        EXPECT_EQ(rec.events, expected) << rec.Describe();
        // The working program was neither built nor sent nor taken over.
        EXPECT_EQ(prog_len[0], c.fetched_working ? static_cast<int>(working.size()) : 0);
        EXPECT_EQ(ImageOf(m), model_before);
    }
}

// A check that never stops anything leaves every byte and pause as it was,
// and so does clearing it.
TEST_F(MemoryOps, ACheckThatNeverStopsChangesNothingOnTheLine) {
    CDSDATA three;
    device.dump = {Bytes(kvcom::kSystemBlock, kvcom::kSystemBlock + kvcom::kSystemBlockLength), WithMemNum(three, 3),
                   WithMemNum(device.working, 0)};
    // Each run starts from the same table and model.
    auto run = [this](const std::function<int(CDSDATA&)>& operation) {
        kvcom::ClearAllMemoryEntries();
        for (int m : {7, 59}) {
            const Bytes image = WithMemNum(CDSDATA(device.working), m);
            std::memcpy(prog_save[m], image.data(), image.size());
            prog_len[m] = static_cast<int>(image.size());
        }
        CDSDATA m(device.working);
        rec.Clear();
        EXPECT_EQ(operation(m), 1);
        return rec.events;
    };
    const std::function<int(CDSDATA&)> operations[] = {[](CDSDATA& m) { return m.SendMEMStoreAll(); },
                                                       [](CDSDATA& m) { return m.MemRefresh(); }};
    for (const auto& operation : operations) {
        const bool store_all = &operation == &operations[0];
        const Events without = run(operation);
        int checks = 0;
        SetMemCancelCheck(
            [](void* c) {
                ++*static_cast<int*>(c);
                return 0;
            },
            &checks);
        const Events with = run(operation);
        SetMemCancelCheck(nullptr, nullptr);
        // Before each of three images; the fake unit's list is in before
        // the wait begins, so a list has nothing to ask.
        EXPECT_EQ(checks, store_all ? 3 : 0);
        EXPECT_EQ(with, without) << "with:\n" << Describe(with) << "without:\n" << Describe(without);
    }
}

// Asked to stop while the list is awaited, the wait ends within a few
// milliseconds and the table stays as it was.
TEST_F(MemoryOps, MemRefreshStopsWaitingWhenAskedAndKeepsTheTable) {
    device.dump = {};  // the unit answers the identity request, then takes its time
    data_memoryb[12] = 1;
    SetName(12, "KEEP");
    model.mem_num = 12;
    int checks = 0;
    SetMemCancelCheck([](void* c) { return ++*static_cast<int*>(c) >= 5 ? 1 : 0; }, &checks);
    EXPECT_EQ(model.MemRefresh(), 0);
    SetMemCancelCheck(nullptr, nullptr);
    EXPECT_EQ(checks, 5);
    EXPECT_LT(rec.nap_us, 200'000);
    EXPECT_EQ(rec.Messages(), (std::vector<Bytes>{Hex("F0 00 20 18 7F 06 01 F7"), Hex("F0 00 20 18 7F 00 F7")}));
    EXPECT_EQ(data_memoryb[12], 1);
    EXPECT_STREQ(data_name[12], "KEEP");
    EXPECT_EQ(model.mem_num, 12);
    EXPECT_EQ(kvcom::rev_mode.load(), kvcom::REV_IDLE);
}

TEST_F(MemoryOps, SendMEMStoreAllTakesAFetchedWorkingProgramIntoTheModel) {
    CDSDATA fetched;
    Edit(fetched, -20);
    const Bytes image = WithMemNum(fetched, 0);
    std::memcpy(prog_save[0], image.data(), image.size());
    prog_len[0] = static_cast<int>(image.size());
    model.SendMEMStoreAll();
    const auto msgs = rec.Messages();
    ASSERT_EQ(msgs.size(), 4u);  // empty memories are skipped
    EXPECT_EQ(msgs.back(), image);
    EXPECT_EQ(model.out_gain[3], -20);
    EXPECT_STREQ(model.prog_name, "EDITED  ");
}

// ---------------------------------------------------------------------------
// Fetches answered in-process.

void ExpectSameProgram(const CDSDATA& a, const CDSDATA& b) {
    EXPECT_EQ(ImageOf(a), ImageOf(b));
    EXPECT_EQ(0, std::memcmp(a.eq_dsp, b.eq_dsp, sizeof a.eq_dsp));
    EXPECT_EQ(0, std::memcmp(a.eq_link, b.eq_link, sizeof a.eq_link));
    EXPECT_EQ(0, std::memcmp(a.out_eq_slot, b.out_eq_slot, sizeof a.out_eq_slot));
    EXPECT_EQ(0, std::memcmp(a.ina_eq_slot, b.ina_eq_slot, sizeof a.ina_eq_slot));
    EXPECT_EQ(a.mem_num, b.mem_num);
}

TEST_F(MemoryOps, RecallToPCTakesTheWorkingProgram) {
    Edit(device.working, 17);
    device.seed = 11;  // replies in random chunks
    model.mem_num = 9;
    EXPECT_EQ(model.RecallToPC(), 1);
    EXPECT_EQ(rec.Messages(), (std::vector<Bytes>{Hex("F0 00 20 18 00 06 01 F7"), Hex("F0 00 20 18 00 02 00 F7")}));
    EXPECT_EQ(model.mem_num, 1);
    const Bytes image = WithMemNum(device.working, 0);
    EXPECT_EQ(Bytes(prog_save[0], prog_save[0] + prog_len[0]), image);
    // The device's pool comes back as the image rebuilds it.
    CDSDATA rebuilt(device.working);
    rebuilt.GetData(image.data(), static_cast<int>(image.size()), 0);
    rebuilt.mem_num = 1;
    ExpectSameProgram(model, rebuilt);
    EXPECT_EQ(model.out_gain[3], 17);
    EXPECT_EQ(kvcom::rev_mode.load(), kvcom::REV_IDLE);
}

TEST_F(MemoryOps, RecallToPCWithoutAReplyFailsAfterOneSecondAndKeepsTheModel) {
    Edit(model, 5);
    const CDSDATA before = model;
    device.silent = true;
    EXPECT_EQ(model.RecallToPC(), 0);
    // 100 ms of the writer giving way to the armed reply, then the wait.
    EXPECT_GE(rec.nap_us, 1'000'000);
    EXPECT_LT(rec.nap_us, 1'200'000);
    EXPECT_EQ(rec.Messages().size(), 1u);
    ExpectSameProgram(model, before);
    EXPECT_EQ(kvcom::rev_mode.load(), kvcom::REV_IDLE);
}

TEST_F(MemoryOps, MismatchedIdentityIsAFailureNotFactoryValues) {
    Edit(model, 5);
    const CDSDATA before = model;
    device.identity = Hex("F0 00 20 18 05 06 02 03 00 06 F7");
    EXPECT_EQ(model.RecallToPC(), 0);
    EXPECT_EQ(rec.Messages().size(), 1u);  // no image request follows
    ExpectSameProgram(model, before);

    // MemRefresh: the table stays as it was.
    data_memoryb[4] = 1;
    model.mem_num = 9;
    rec.Clear();
    EXPECT_EQ(model.MemRefresh(), 0);
    EXPECT_EQ(rec.Messages().size(), 1u);
    EXPECT_EQ(model.mem_num, 9);
    EXPECT_EQ(data_memoryb[4], 1);
    EXPECT_EQ(kvcom::rev_mode.load(), kvcom::REV_IDLE);
}

TEST_F(MemoryOps, MemRefreshListsWhatTheDeviceReports) {
    Bytes block(kvcom::kSystemBlock, kvcom::kSystemBlock + kvcom::kSystemBlockLength);
    block[kvcom::kSystemBlockMemNumOffset] = 3;
    CDSDATA three;
    std::strcpy(three.prog_name, "THREE");
    device.dump = {block, WithMemNum(three, 3), WithMemNum(device.working, 0)};
    device.seed = 5;
    EXPECT_EQ(model.MemRefresh(), 1);
    EXPECT_EQ(rec.Messages(), (std::vector<Bytes>{Hex("F0 00 20 18 7F 06 01 F7"), Hex("F0 00 20 18 7F 00 F7")}));
    EXPECT_EQ(model.mem_num, 3);
    EXPECT_EQ(data_memoryb[3], 1);
    EXPECT_STREQ(data_name[3], "THREE   ");
    EXPECT_EQ(Bytes(prog_save[3], prog_save[3] + prog_len[3]), device.dump[1]);
    for (int m : {1, 2, 4, 60}) EXPECT_STREQ(data_name[m], "<None>") << m;
}

TEST_F(MemoryOps, MemRefreshCountsTheMemoriesAsTheyComeIn) {
    CDSDATA three;
    device.dump = {Bytes(kvcom::kSystemBlock, kvcom::kSystemBlock + kvcom::kSystemBlockLength), WithMemNum(three, 3),
                   WithMemNum(three, 61), WithMemNum(three, 60), WithMemNum(device.working, 0)};
    std::vector<int> counts;
    SetMemRefreshProgress(
        [](int received, void* context) { static_cast<std::vector<int>*>(context)->push_back(received); }, &counts);
    EXPECT_EQ(model.MemRefresh(), 1);
    // A second list counts from the start again.
    EXPECT_EQ(model.MemRefresh(), 1);
    SetMemRefreshProgress(nullptr, nullptr);
    EXPECT_EQ(model.MemRefresh(), 1);
    // Memory 61 does not exist and the working program is no memory.
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 1, 2}));
}

TEST_F(MemoryOps, MemRefreshFailsWhenTheDumpStopsBeforeMemoryZero) {
    device.dump = {Bytes(kvcom::kSystemBlock, kvcom::kSystemBlock + kvcom::kSystemBlockLength),
                   WithMemNum(device.working, 8)};
    model.mem_num = 2;
    EXPECT_EQ(model.MemRefresh(), 0);
    EXPECT_GE(rec.nap_us, 30'000'000);
    EXPECT_EQ(model.mem_num, 2);
    EXPECT_EQ(kvcom::rev_mode.load(), kvcom::REV_IDLE);
}

TEST_F(MemoryOps, MemRefreshWithoutADeviceLeavesTheTableAsItWas) {
    device.silent = true;
    data_memoryb[0] = 1;
    data_memoryb[12] = 1;
    SetName(12, "KEEP");
    const Bytes kept = WithMemNum(model, 12);
    std::memcpy(prog_save[12], kept.data(), kept.size());
    prog_len[12] = static_cast<int>(kept.size());
    EXPECT_EQ(model.MemRefresh(), 0);
    EXPECT_LT(rec.nap_us, 1'200'000);
    for (int m = 0; m < KV_MEMORIES; ++m) {
        SCOPED_TRACE(m);
        EXPECT_EQ(data_memoryb[m], m == 0 || m == 12 ? 1 : 0);
        EXPECT_EQ(prog_len[m], m == 12 ? static_cast<int>(kept.size()) : 2);
        EXPECT_STREQ(data_name[m], m == 12 ? "KEEP" : "<None>");
    }
    EXPECT_EQ(Bytes(prog_save[12], prog_save[12] + prog_len[12]), kept);
}

TEST_F(MemoryOps, MEMRECALLFROMMCUTakesTheMemoryAndSelectsIt) {
    CDSDATA stored;
    Edit(stored, -44);
    stored.link_on = 1;
    // Filters of Out 3..6 fill DSP 2 up to its limit, then go to DSP 1.
    for (int j = 2; j < 12; ++j) kvtest::PoolRow(stored, j).Owner(5).Slot(j - 2);
    stored.eq_used = 12;
    device.memory[7] = WithMemNum(stored, 7);
    EXPECT_EQ(model.MEMRECALLFROMMCU(7), 1);
    const Events expected = {SpinUs(100), Msg("F0 00 20 18 00 02 07 F7"), SleepMs(500), Msg("C0 06"), SleepMs(500),
                             SpinUs(100)};
    EXPECT_EQ(rec.events, expected) << rec.Describe();
    EXPECT_EQ(model.out_gain[3], -44);
    EXPECT_EQ(model.link_on, 1);
    EXPECT_EQ(model.eq_used, 12);
    EXPECT_EQ(model.eq_owner[1], CHAN_IN_A);
    EXPECT_EQ(model.ina_eq_slot[0], 1);
    EXPECT_EQ(model.ina_eq_gain[1], 44);
    EXPECT_EQ(model.out_eq_slot[4][0], 0);
    EXPECT_EQ(model.out_eq_slot[5][9], 11);
    EXPECT_EQ(model.CalDSP2(), 20);  // never placed beyond the DSP's budget
    EXPECT_EQ(model.eq_dsp[11], 0);

    // The working program needs no program change.
    rec.Clear();
    EXPECT_EQ(model.MEMRECALLFROMMCU(0), 1);
    EXPECT_EQ(rec.Messages(), std::vector<Bytes>{Hex("F0 00 20 18 00 02 00 F7")});
}

TEST_F(MemoryOps, MEMRECALLFROMMCUWithoutAReplyKeepsTheModel) {
    Edit(model, 3);
    const CDSDATA before = model;
    EXPECT_EQ(model.MEMRECALLFROMMCU(12), 0);  // memory 12 was never stored: no reply
    ExpectSameProgram(model, before);
    EXPECT_EQ(rec.Messages().size(), 1u);
}

// Reading a memory never recalls it: the request and nothing after it, and
// the model the same program a recall gives.
TEST_F(MemoryOps, FetchMemoryReadsWithoutRecalling) {
    CDSDATA stored;
    Edit(stored, -44);
    stored.link_on = 1;
    device.memory[7] = WithMemNum(stored, 7);
    model.mem_num = 3;
    EXPECT_EQ(model.FetchMemory(7), 1);
    const Events expected = {SpinUs(100), Msg("F0 00 20 18 00 02 07 F7")};
    EXPECT_EQ(rec.events, expected) << rec.Describe();
    CDSDATA recalled = model;
    ASSERT_EQ(recalled.MEMRECALLFROMMCU(7), 1);
    ExpectSameProgram(model, recalled);
    EXPECT_EQ(model.out_gain[3], -44);
    EXPECT_EQ(int(model.mem_num), 3);  // the memory the user works on stays

    const CDSDATA before = model;
    rec.Clear();
    EXPECT_EQ(model.FetchMemory(12), 0);  // never stored: no reply
    ExpectSameProgram(model, before);
    EXPECT_EQ(model.FetchMemory(61), 0);  // no such memory: nothing asked
    EXPECT_EQ(rec.Messages().size(), 1u);
}

// ---------------------------------------------------------------------------
// A dead port, and the adapter pulled at every message in turn.

struct LinkCase {
    const char* name;
    std::function<int(CDSDATA&)> run;
    bool edits_model;  // an edit the model keeps whether or not it reached the unit
};

const LinkCase kLinkCases[] = {
    {"SendParam",
     [](CDSDATA& m) {
         m.cur_chan = 0;
         return m.SendParam(PC_OUT_GAIN);
     },
     false},
    {"SendParam input EQ gain",
     [](CDSDATA& m) {
         m.cur_eq = 1;
         m.cur_slot = 0;
         return m.SendParam(PC_IN_EQ_GAIN);
     },
     false},
    {"SendParam figuration", [](CDSDATA& m) { return m.SendParam(PC_FIGURATION); }, false},
    {"SendOutSrce", [](CDSDATA& m) { return m.SendOutSrce(2); }, false},
    {"SetNewPEQ",
     [](CDSDATA& m) {
         m.cur_chan = 2;
         m.cur_slot = 0;
         return m.SetNewPEQ();
     },
     true},
    {"DeleteInAPEQ",
     [](CDSDATA& m) {
         m.cur_eq = 1;
         m.cur_slot = 0;
         return m.DeleteInAPEQ();
     },
     true},
    {"StoreFromPC", [](CDSDATA& m) { return m.StoreFromPC(); }, false},
    {"StoreMEMCur", [](CDSDATA& m) { return m.StoreMEMCur(0); }, false},
    {"StoreMEM", [](CDSDATA& m) { return m.StoreMEM(33); }, false},
    {"SendMEMStoreAll", [](CDSDATA& m) { return m.SendMEMStoreAll(); }, false},
    {"RecallToPC", [](CDSDATA& m) { return m.RecallToPC(); }, false},
    {"MemRefresh", [](CDSDATA& m) { return m.MemRefresh(); }, false},
    {"MEMRECALLFROMMCU", [](CDSDATA& m) { return m.MEMRECALLFROMMCU(33); }, false},
    {"FetchMemory", [](CDSDATA& m) { return m.FetchMemory(33); }, false},
};

class LostLink : public MemoryOps {
protected:
    void SetUp() override {
        MemoryOps::SetUp();
        Edit(model, 9);
        model.link_on = 1;  // with the stereo repeats
        model.mem_num = 4;
        // Two used memories and a fetched working program, which the device
        // also reports in its dump.
        CDSDATA other;
        Edit(other, -3);
        for (int m : {33, 0}) {
            const Bytes image = WithMemNum(other, m);
            std::memcpy(prog_save[m], image.data(), image.size());
            prog_len[m] = static_cast<int>(image.size());
            data_memoryb[m] = 1;
            device.memory[m] = image;
        }
        Bytes block(kvcom::kSystemBlock, kvcom::kSystemBlock + kvcom::kSystemBlockLength);
        device.dump = {block, device.memory[33], device.memory[0]};
        device.working = other;
        SetLinkError(0);
    }
    static void SetLinkError(int code) { kvcom::SetLinkError(code); }
};

TEST_F(LostLink, DeadPortSendsNothingWaitsForNothingAndChangesNothing) {
    rec.up = false;
    for (const LinkCase& c : kLinkCases) {
        SCOPED_TRACE(c.name);
        CDSDATA m(model);
        const Bytes table = kvtest::MemoryTableBytes();
        rec.Clear();
        EXPECT_EQ(c.run(m), 0);
        EXPECT_TRUE(rec.events.empty()) << rec.Describe();
        EXPECT_EQ(rec.nap_us, 0);  // returned at once
        if (!c.edits_model) {
            EXPECT_EQ(ImageOf(m), ImageOf(model));
            EXPECT_EQ(m.mem_num, model.mem_num);
        }
        EXPECT_EQ(kvtest::MemoryTableBytes(), table);
    }
}

// Whichever message the adapter is pulled at, the operation returns 0, has
// sent exactly what went before it, pauses no more, waits for nothing, and
// leaves the model and the table as a dead port would.
TEST_F(LostLink, UnpluggedAtEveryMessageStopsThereAndSaysSo) {
    for (const LinkCase& c : kLinkCases) {
        SCOPED_TRACE(c.name);
        const Bytes table = kvtest::MemoryTableBytes();
        rec.Clear();
        rec.up = true;
        {
            CDSDATA whole(model);
            ASSERT_EQ(c.run(whole), 1) << rec.Describe();
        }
        const std::vector<WireEvent> full = rec.events;
        kvtest::RestoreMemoryTable(table);  // a refresh may have replaced it

        int write_no = 0;
        for (std::size_t at = 0; at < full.size(); ++at) {
            if (full[at].kind != WireEvent::kWrite) continue;
            SCOPED_TRACE(++write_no);
            rec.Clear();
            rec.up = true;
            rec.unplug_at_write = write_no;
            SetLinkError(0);
            CDSDATA m(model);
            EXPECT_EQ(c.run(m), 0);
            EXPECT_EQ(rec.events, std::vector<WireEvent>(full.begin(), full.begin() + static_cast<long>(at)))
                << rec.Describe();
            EXPECT_EQ(LinkLastError(), EIO);
            EXPECT_LT(rec.nap_us, 100'250);  // at most the writer's giving way before the failed write
            if (!c.edits_model) {
                EXPECT_EQ(ImageOf(m), ImageOf(model));
                EXPECT_EQ(m.mem_num, model.mem_num);
            }
            EXPECT_EQ(kvtest::MemoryTableBytes(), table);
        }
        EXPECT_GT(write_no, 0);
    }
}

TEST_F(LostLink, WriterReportsEveryFailedOrPartWrite) {
    const Bytes msg = Hex("F0 00 20 18 00 06 01 F7");
    struct Case {
        int unplug_at;        // 0: the line stays up
        std::size_t partial;  // bytes that reach the line before it goes
        int result;
        std::vector<Bytes> on_line;
    };
    const Case cases[] = {
        {0, 0, 1, {msg}},
        {1, 0, 0, {}},
        {1, 3, 0, {Hex("F0 00 20")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.partial);
        for (bool block : {false, true}) {
            rec.Clear();
            rec.up = true;
            rec.unplug_at_write = c.unplug_at;
            rec.bytes_before_unplug = c.partial;
            SetLinkError(0);
            const int r = block ? WriteCommBlock(msg.data(), static_cast<unsigned>(msg.size()))
                                : model.SendMIDI(msg.data(), static_cast<int>(msg.size()), 0);
            EXPECT_EQ(r, c.result);
            EXPECT_EQ(rec.Messages(), c.on_line);
            EXPECT_EQ(LinkLastError(), c.result ? 0 : EIO);
        }
    }
}

}  // namespace
