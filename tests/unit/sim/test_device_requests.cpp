// The requests the PC makes of the device, answered byte for byte.
#include <gtest/gtest.h>

#include <cstring>

#include "kvproto/image_layout.h"
#include "sim_messages.h"
#include "state_file.h"

namespace {

using namespace kvtest::sim;
using kvtest::ToHex;

TEST(SimIdentity, AnswersOwnAndAllDevices) {
    kvsim::Device dev;
    EXPECT_EQ(ToHex(Feed(dev, Hex("F0 00 20 18 00 06 01 F7"))), "F0 00 20 18 00 06 02 03 01 06 F7");
    EXPECT_EQ(ToHex(Feed(dev, Hex("F0 00 20 18 7F 06 01 F7"))), "F0 00 20 18 00 06 02 03 01 06 F7");
    EXPECT_TRUE(Feed(dev, Hex("F0 00 20 18 03 06 01 F7")).empty());
    EXPECT_TRUE(Feed(dev, Hex("F0 00 20 19 00 06 01 F7")).empty());

    dev.faults().wrong_device_byte = true;
    EXPECT_EQ(ToHex(Feed(dev, Hex("F0 00 20 18 00 06 01 F7"))), "F0 00 20 18 05 06 02 03 01 06 F7");
}

TEST(SimIdentity, MessagesSplitAnywhere) {
    kvsim::Device dev;
    const Bytes req = Hex("F0 00 20 18 00 06 01 F7 F0 00 20 18 00 02 00 F7");
    Bytes whole = Feed(dev, req);
    ASSERT_EQ(whole.size(), 11u + 490u);
    for (size_t cut = 1; cut < req.size(); ++cut) {
        Bytes r = dev.Feed(req.data(), cut);
        const Bytes rest = dev.Feed(req.data() + cut, req.size() - cut);
        r.insert(r.end(), rest.begin(), rest.end());
        EXPECT_EQ(r, whole) << "cut at " << cut;
    }
    // MIDI real-time bytes (F8..FF) may stand anywhere, even inside a
    // message, and cut nothing.
    for (int rt = 0xF8; rt <= 0xFF; ++rt) {
        Bytes spiced = req;
        spiced.insert(spiced.begin() + 4, static_cast<uint8_t>(rt));
        spiced.insert(spiced.end() - 1, static_cast<uint8_t>(rt));
        EXPECT_EQ(Feed(dev, spiced), whole) << std::hex << rt;
    }
    Bytes r;
    for (uint8_t b : req) {
        const Bytes part = dev.Feed(&b, 1);
        r.insert(r.end(), part.begin(), part.end());
    }
    EXPECT_EQ(r, whole);
}

TEST(SimImageRequest, WorkingProgramAndMemories) {
    kvsim::Device dev;
    const CDSDATA factory;
    EXPECT_EQ(Feed(dev, Hex("F0 00 20 18 00 02 00 F7")), ImageOf(factory, 0));
    EXPECT_TRUE(Feed(dev, Hex("F0 00 20 18 00 02 05 F7")).empty());  // empty memory: silence
    EXPECT_TRUE(Feed(dev, Hex("F0 00 20 18 00 02 3D F7")).empty());  // memory 61 does not exist

    CDSDATA prog(factory);
    prog.out_gain[2] = -12;
    dev.StoreMemory(5, prog, "Five");
    const Bytes image = Feed(dev, Hex("F0 00 20 18 00 02 05 F7"));
    ASSERT_EQ(image.size(), 490u);
    EXPECT_EQ(image[7], 5);
    EXPECT_EQ(Decode(image).out_gain[2], -12);
    EXPECT_STREQ(Decode(image).prog_name, "Five    ");
    EXPECT_EQ(dev.MemoryAt(5).name, "Five    ");
    EXPECT_EQ(dev.CurrentMemory(), 1);  // a test's StoreMemory changes nothing else
}

TEST(SimDump, SystemBlockMemoriesDownThenWorking) {
    kvsim::Device dev;
    const CDSDATA factory;
    CDSDATA a(factory), b(factory);
    a.out_delay[0] = 480;
    b.figuration = 2;
    b.InitData();
    dev.StoreMemory(3, a, "THREE");
    dev.StoreMemory(42, b, "FORTYTWO");
    Feed(dev, Hex("C0 29"));  // current memory 42
    ASSERT_EQ(dev.CurrentMemory(), 42);

    const Bytes dump = Feed(dev, Hex("F0 00 20 18 7F 00 F7"));
    ASSERT_EQ(dump.size(), 106u + 3 * 490u);
    const Bytes block(dump.begin(), dump.begin() + 106);
    EXPECT_EQ(block[58], 42 % 16);
    EXPECT_EQ(block[59], 42 / 16);
    EXPECT_EQ(block[104], kvcom::image::Checksum(block.data(), 8, 104));
    EXPECT_EQ(block[105], 0xF7);
    const Bytes first(dump.begin() + 106, dump.begin() + 596);
    const Bytes second(dump.begin() + 596, dump.begin() + 1086);
    const Bytes last(dump.begin() + 1086, dump.end());
    EXPECT_EQ(first, dev.MemoryAt(42).image);
    EXPECT_EQ(second, dev.MemoryAt(3).image);
    EXPECT_EQ(last[7], 0);
    EXPECT_EQ(last, dev.WorkingImage());
    EXPECT_EQ(Decode(last).figuration, 2);  // memory 42 was recalled

    dev.faults().cut_dump = true;
    EXPECT_EQ(Feed(dev, Hex("F0 00 20 18 7F 00 F7")).size(), 106u + 2 * 490u);
}

TEST(SimFaults, DropAndCorruptCountDown) {
    kvsim::Device dev;
    const Bytes id = Hex("F0 00 20 18 00 06 01 F7");
    dev.faults().drop_replies = 1;
    EXPECT_TRUE(Feed(dev, id).empty());
    EXPECT_EQ(Feed(dev, id).size(), 11u);
    dev.faults().corrupt_replies = 1;
    const Bytes bad = Feed(dev, id);
    EXPECT_NE(ToHex(bad), "F0 00 20 18 00 06 02 03 01 06 F7");
    EXPECT_EQ(bad.size(), 11u);
    EXPECT_EQ(bad.front(), 0xF0);
    EXPECT_EQ(bad.back(), 0xF7);
    EXPECT_EQ(ToHex(Feed(dev, id)), "F0 00 20 18 00 06 02 03 01 06 F7");

    // A dump whose middle falls on the F0 of memory 1's image (106 + 874
    // bytes before it, 980 after): one data byte changes, the framing stays.
    CDSDATA twelve = dev.Working();
    for (int j = 0; j < 12; ++j) twelve.eq_owner[j] = 0;
    FeedAll(dev, {Hex("F0 00 20 18 7F 06 0F F7"), ImageOf(twelve, 2), ImageOf(dev.Working(), 1)});
    const Bytes request = Hex("F0 00 20 18 7F 00 F7");
    const Bytes clean = Feed(dev, request);
    ASSERT_EQ(clean.size(), 1960u);
    dev.faults().corrupt_replies = 1;
    const Bytes dump = Feed(dev, request);
    ASSERT_EQ(dump.size(), clean.size());
    int changed = 0;
    for (std::size_t i = 0; i < dump.size(); ++i) {
        if (dump[i] == clean[i]) continue;
        ++changed;
        EXPECT_LT(clean[i], 0x80) << i;
        EXPECT_LT(dump[i], 0x80) << i;
    }
    EXPECT_EQ(changed, 1);
}

TEST(SimRobustness, MalformedInputIsIgnoredAndReported) {
    kvsim::Device dev;
    std::vector<std::string> notes;
    dev.SetObserver([&](const Bytes&, const std::string& note) {
        if (!note.empty()) notes.push_back(note);
    });
    const CDSDATA before = dev.Working();
    const Bytes junk[] = {
        Hex("00 11 22 F7"),                                   // outside any message
        Hex("F0 00 20 18 00 06 F0"),                          // cut short by a new message
        Hex("F7 F0 00 20 18 00 2D 62 F7"),                    // parameter message too short
        Hex("F0 00 20 18 00 2D 62 62 00 01 02 03 04 05 F7"),  // too long
        Hex("F0 00 20 18 00 2D 70 62 00 4B F7"),              // no such channel
        Hex("F0 00 20 18 00 2C 0F 00 F7"),                    // a stump of an image
        Hex("F0 00 20 18 00 77 F7"),                          // unknown command
        Hex("C5 10"),                                         // program change for another MIDI channel
        Hex("C0 F0 00 20 18 00 06 01 F7"),                    // program change without its number
        Hex("F0 00 20 18 00 2D 60 6E 00 31 02 F7"),           // EQ gain for an empty slot
    };
    for (const Bytes& j : junk) Feed(dev, j);
    EXPECT_GE(notes.size(), 10u);
    EXPECT_EQ(dev.WorkingImage(), ImageOf(before, 0));

    // An endless message is dropped without growing, and the device recovers.
    Bytes endless = Hex("F0");
    endless.resize(20000, 0x01);
    Feed(dev, endless);
    EXPECT_EQ(ToHex(Feed(dev, Hex("F7 F0 00 20 18 00 06 01 F7"))), "F0 00 20 18 00 06 02 03 01 06 F7");

    // Random bytes never crash it.
    uint32_t seed = 12345;
    Bytes noise(50000);
    for (auto& b : noise) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    notes.clear();
    Feed(dev, noise);
    EXPECT_FALSE(notes.empty());
    EXPECT_EQ(ToHex(Feed(dev, Hex("F7 F0 00 20 18 00 06 01 F7"))), "F0 00 20 18 00 06 02 03 01 06 F7");
}

TEST(SimState, ExportImportAndFile) {
    kvsim::Device dev;
    CDSDATA prog = dev.Working();
    prog.sum_delay = 99;
    dev.StoreMemory(60, prog, "LAST");
    dev.StoreMemory(1, prog, "FIRST");
    Feed(dev, Hex("C0 3B"));  // recall 60
    kvfiles::BankTable t = dev.ExportState();
    EXPECT_EQ(t.current, 60);
    EXPECT_TRUE(t.entries[60].used);
    EXPECT_FALSE(t.entries[2].used);
    EXPECT_EQ(t.entries[0].image, dev.WorkingImage());

    kvsim::Device copy;
    copy.ImportState(t);
    EXPECT_EQ(copy.CurrentMemory(), 60);
    EXPECT_EQ(copy.MemoryAt(1).image, dev.MemoryAt(1).image);
    EXPECT_EQ(copy.MemoryAt(1).name, "FIRST   ");
    EXPECT_FALSE(copy.MemoryAt(2).used);
    EXPECT_EQ(copy.Working().sum_delay, 99);
    EXPECT_EQ(copy.WorkingImage(), dev.WorkingImage());

    const std::string path = ::testing::TempDir() + "kvsim_state.ay";
    ASSERT_FALSE(kvsim::SaveStateFile(path, dev));
    kvsim::Device loaded;
    ASSERT_FALSE(kvsim::LoadStateFile(path, loaded));
    EXPECT_EQ(loaded.CurrentMemory(), 60);
    EXPECT_EQ(loaded.MemoryAt(60).image, dev.MemoryAt(60).image);
    EXPECT_EQ(loaded.WorkingImage(), dev.WorkingImage());
    std::remove(path.c_str());
    EXPECT_TRUE(kvsim::LoadStateFile(path, loaded));
    EXPECT_EQ(loaded.CurrentMemory(), 60);
}

}  // namespace
