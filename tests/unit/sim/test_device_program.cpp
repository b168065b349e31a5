// Parameter messages, EQ by slot and the memory sequences change the
// device's working program and memories as the PC means them to.
#include <gtest/gtest.h>

#include <cstring>

#include "kvfiles/bank_file.h"
#include "sim_messages.h"

namespace {

using namespace kvtest::sim;

TEST(SimParameters, OutputsAndInputs) {
    kvsim::Device dev;
    FeedAll(dev, {
                     Hex("F0 00 20 18 00 2D 62 70 00 F7"),           // Out 3 unmuted
                     Hex("F0 00 20 18 00 2D 60 62 00 16 01 F7"),     // Out 1 gain +15 dB
                     Hex("F0 00 20 18 00 2D 61 62 F7 "),             // stump: ignored
                     Hex("F0 00 20 18 00 2D 61 63 00 F7"),           // Out 2 limit -10 dBu
                     Hex("F0 00 20 18 00 2D 21 20 00 20 1C 01 F7"),  // In B delay 20000
                     Hex("F0 00 20 18 00 2D 22 20 00 05 F7"),        // In SUM delay 5
                     Hex("F0 00 20 18 00 2D 63 64 00 7F 7F 01 F7"),  // Out 4 delay 32767: too long
                     Hex("F0 00 20 18 00 2D 65 64 00 10 0E F7"),     // Out 6 delay 1808
                     Hex("F0 00 20 18 00 2D 64 66 00 01 F7"),        // Out 5 polarity
                     Hex("F0 00 20 18 00 2D 64 61 00 02 F7"),        // Out 5 source In SUM
                     Hex("F0 00 20 18 00 2D 60 61 00 00 F7"),        // Out 1 source In A, data byte kept
                     Hex("F0 00 20 18 00 2D 61 67 00 09 F7"),        // Out 2 high-pass type 9
                     Hex("F0 00 20 18 00 2D 61 68 00 F7"),           // Out 2 high-pass off (index 0)
                     Hex("F0 00 20 18 00 2D 61 69 00 03 F7"),        // Out 2 low-pass type 3
                     Hex("F0 00 20 18 00 2D 61 6A 00 49 01 F7"),     // Out 2 low-pass index 201
                 });
    const CDSDATA& w = dev.Working();
    EXPECT_EQ(w.out_mute[2], 0);
    EXPECT_EQ(w.out_mute[0], 1);
    EXPECT_EQ(w.out_gain[0], 75);
    EXPECT_EQ(w.out_limit[1], -50);
    EXPECT_EQ(w.inb_delay, 20000);
    EXPECT_EQ(w.sum_delay, 5);
    EXPECT_EQ(w.out_delay[3], 0);
    EXPECT_EQ(w.out_delay[5], 1808);
    EXPECT_EQ(w.out_polarity[4], 1);
    EXPECT_EQ(w.out_source[4], 2);
    EXPECT_EQ(w.out_source[0], 0);
    EXPECT_EQ(w.xo_type[1][0], 9);
    EXPECT_EQ(w.xo_freq[1][0], 0);
    EXPECT_EQ(w.xo_type[1][1], 3);
    EXPECT_EQ(w.xo_freq[1][1], 201);
    // What the device sends back carries all of it.
    const CDSDATA back = Decode(Feed(dev, Hex("F0 00 20 18 00 02 00 F7")));
    EXPECT_EQ(back.out_gain[0], 75);
    EXPECT_EQ(back.inb_delay, 20000);
    EXPECT_EQ(back.xo_freq[1][1], 201);
}

TEST(SimParameters, FigurationResetsAndLinkFollows) {
    kvsim::Device dev;
    Feed(dev, Hex("F0 00 20 18 00 2D 60 62 00 10 F7"));
    FeedAll(dev, OpenOutputFilter(0, -1, 0, {2, 100, 31, 5}));
    ASSERT_EQ(dev.Working().eq_used, 1);

    // The figuration command: 12 01 02, identity request, link on.
    const Bytes replies = FeedAll(dev, {Hex("F0 00 20 18 00 2D 01 12 01 02 F7"), Hex("F0 00 20 18 00 06 01 F7"),
                                        Hex("F0 00 20 18 00 2D 01 02 00 01 F7")});
    EXPECT_EQ(replies.size(), 11u);  // the identity reply, which the PC drops
    const CDSDATA& w = dev.Working();
    EXPECT_EQ(w.figuration, 2);
    EXPECT_EQ(w.link_on, 1);
    EXPECT_EQ(w.out_gain[0], 0);
    EXPECT_EQ(w.eq_used, 0);
    EXPECT_EQ(w.out_source[1], 2);  // factory values of "3 Channel 2 Way"
    EXPECT_EQ(w.out_name[1], 12);

    Feed(dev, Hex("F0 00 20 18 00 2D 01 11 01 F7"));  // back to Mono: no link message follows
    EXPECT_EQ(dev.Working().figuration, 0);
    EXPECT_EQ(dev.Working().link_on, 0);
    Feed(dev, Hex("F0 00 20 18 00 2D 01 12 01 07 F7"));  // no such configuration
    EXPECT_EQ(dev.Working().figuration, 0);
}

TEST(SimEq, OutputFiltersBySlot) {
    kvsim::Device dev;
    FeedAll(dev, OpenOutputFilter(2, -1, 0, {2, 130, 31, 5}));
    FeedAll(dev, OpenOutputFilter(2, -1, 1, {0, 20, 40, 9}));
    FeedAll(dev, OpenOutputFilter(5, -1, 0, {4, 200, 12, 59}));
    FeedAll(dev, OpenOutputFilter(2, -1, 2, {1, 1, 60, 0}));
    // Edit the middle filter of Out 3: frequency 150 in slot 1 (d2 = 4 + 1).
    Feed(dev, Hex("F0 00 20 18 00 2D 62 6D 00 16 05 F7"));
    FeedAll(dev, {Param(0x62, 0x6E, 0x00, {29, 4}), Param(0x62, 0x1A, 0x01)});  // gain -0.5 dB and its trailer

    CDSDATA pc = Decode(Feed(dev, Hex("F0 00 20 18 00 02 00 F7")));
    EXPECT_EQ(pc.eq_used, 4);
    ASSERT_EQ(FiltersOf(pc, pc.out_eq_slot[2]).size(), 3u);
    EXPECT_TRUE(FiltersOf(pc, pc.out_eq_slot[2])[0] == (Filter{2, 130, 31, 5}));
    EXPECT_TRUE(FiltersOf(pc, pc.out_eq_slot[2])[1] == (Filter{0, 150, 29, 9}));
    EXPECT_TRUE(FiltersOf(pc, pc.out_eq_slot[2])[2] == (Filter{1, 1, 60, 0}));
    ASSERT_EQ(FiltersOf(pc, pc.out_eq_slot[5]).size(), 1u);
    EXPECT_TRUE(FiltersOf(pc, pc.out_eq_slot[5])[0] == (Filter{4, 200, 12, 59}));

    // Releasing slot 0 moves the others up, as the PC packs its list.
    FeedAll(dev, ReleaseOutputFilter(2, -1, 0));
    pc = Decode(dev.WorkingImage());
    EXPECT_EQ(pc.eq_used, 3);
    ASSERT_EQ(FiltersOf(pc, pc.out_eq_slot[2]).size(), 2u);
    EXPECT_TRUE(FiltersOf(pc, pc.out_eq_slot[2])[0] == (Filter{0, 150, 29, 9}));
    // The next edit of slot 0 reaches that filter.
    Feed(dev, Param(0x62, 0x6F, 0x00, {33, 2}));
    EXPECT_EQ(FiltersOf(dev.Working(), dev.Working().out_eq_slot[2])[0].bw, 33);
    EXPECT_TRUE(dev.Working().out_eq_slot[2][0] >= 0);
}

TEST(SimEq, LinkedOutputsGetTwinsInImageOrder) {
    kvsim::Device dev;
    FeedAll(dev, {Hex("F0 00 20 18 00 2D 01 12 01 01 F7"), Hex("F0 00 20 18 00 2D 01 02 00 01 F7")});
    FeedAll(dev, OpenOutputFilter(4, -1, 0, {2, 90, 20, 3}));  // Out 5 alone: its twin never opened
    FeedAll(dev, OpenOutputFilter(0, 1, 0, {2, 100, 35, 5}));  // Out 1 with its twin on Out 2
    FeedAll(dev, OpenOutputFilter(1, 0, 1, {3, 110, 36, 6}));  // opened from Out 2: twin on Out 1
    FeedAll(dev, OpenOutputFilter(2, 3, 0, {1, 120, 37, 7}));  // Out 3 and Out 4

    const CDSDATA pc = Decode(Feed(dev, Hex("F0 00 20 18 00 02 00 F7")));
    EXPECT_EQ(pc.eq_used, 7);
    for (int out : {0, 1}) {
        const auto f = FiltersOf(pc, pc.out_eq_slot[out]);
        ASSERT_EQ(f.size(), 2u) << out;
        EXPECT_TRUE(f[0] == (Filter{2, 100, 35, 5})) << out;
        EXPECT_TRUE(f[1] == (Filter{3, 110, 36, 6})) << out;
    }
    // Each filter of a leading output is followed by its twin.
    for (int out : {0, 2}) {
        for (int s = 0; pc.out_eq_slot[out][s] >= 0; ++s) {
            const int r = pc.out_eq_slot[out][s];
            EXPECT_EQ(pc.eq_link[r], pc.out_eq_slot[out + 1][s]) << out << " slot " << s;
        }
    }
    EXPECT_EQ(pc.eq_link[pc.out_eq_slot[4][0]], -1);  // Out 5's twin was never opened

    // A linked release drops the filter and its twin.
    FeedAll(dev, ReleaseOutputFilter(0, 1, 0));
    const CDSDATA after = Decode(dev.WorkingImage());
    EXPECT_EQ(after.eq_used, 5);
    EXPECT_TRUE(FiltersOf(after, after.out_eq_slot[0])[0] == (Filter{3, 110, 36, 6}));
    EXPECT_TRUE(FiltersOf(after, after.out_eq_slot[1])[0] == (Filter{3, 110, 36, 6}));
    EXPECT_EQ(after.eq_link[after.out_eq_slot[0][0]], after.out_eq_slot[1][0]);
}

TEST(SimEq, InputsWithAndWithoutLink) {
    kvsim::Device dev;
    FeedAll(dev, OpenInputFilter(0x20, false, 0, {2, 130, 31, 5}));
    FeedAll(dev, OpenInputFilter(0x21, false, 0, {1, 60, 22, 4}));
    CDSDATA pc = Decode(dev.WorkingImage());
    EXPECT_TRUE(FiltersOf(pc, pc.ina_eq_slot)[0] == (Filter{2, 130, 31, 5}));
    EXPECT_TRUE(FiltersOf(pc, pc.inb_eq_slot)[0] == (Filter{1, 60, 22, 4}));
    EXPECT_EQ(pc.ina_eq_freq[pc.ina_eq_slot[0]], 130);

    // Link on: In A's messages are repeated to In B; In B's own arrive twice.
    FeedAll(dev, {Hex("F0 00 20 18 00 2D 01 12 01 01 F7"), Hex("F0 00 20 18 00 2D 01 02 00 01 F7")});
    FeedAll(dev, OpenInputFilter(0x20, true, 0, {2, 100, 33, 5}));
    FeedAll(dev, OpenInputFilter(0x20, true, 1, {3, 140, 34, 6}));
    FeedAll(dev, OpenInputFilter(0x21, true, 2, {4, 180, 35, 7}));
    pc = Decode(dev.WorkingImage());
    ASSERT_EQ(FiltersOf(pc, pc.ina_eq_slot).size(), 2u);
    ASSERT_EQ(FiltersOf(pc, pc.inb_eq_slot).size(), 3u);
    EXPECT_TRUE(FiltersOf(pc, pc.inb_eq_slot)[1] == (Filter{3, 140, 34, 6}));
    EXPECT_TRUE(FiltersOf(pc, pc.inb_eq_slot)[2] == (Filter{4, 180, 35, 7}));
    EXPECT_EQ(pc.eq_link[pc.ina_eq_slot[0]], pc.inb_eq_slot[0]);
    EXPECT_EQ(pc.eq_link[pc.ina_eq_slot[1]], pc.inb_eq_slot[1]);

    // In B's own filter released with the link on: one release, not two.
    FeedAll(dev, ReleaseInputFilter(0x21, true, 2));
    pc = Decode(dev.WorkingImage());
    EXPECT_EQ(FiltersOf(pc, pc.inb_eq_slot).size(), 2u);
    // In A's first filter released: its twin goes too.
    FeedAll(dev, ReleaseInputFilter(0x20, true, 0));
    pc = Decode(dev.WorkingImage());
    ASSERT_EQ(FiltersOf(pc, pc.ina_eq_slot).size(), 1u);
    ASSERT_EQ(FiltersOf(pc, pc.inb_eq_slot).size(), 1u);
    EXPECT_TRUE(FiltersOf(pc, pc.ina_eq_slot)[0] == (Filter{3, 140, 34, 6}));
}

TEST(SimEq, PoolRunsOutAtThirtyNine) {
    kvsim::Device dev;
    for (int i = 0; i < 39; ++i) FeedAll(dev, OpenOutputFilter(i % 6, -1, i / 6, {2, 1 + i, 31, 5}));
    const Bytes full = dev.WorkingImage();
    EXPECT_EQ(Decode(full).eq_used, 39);
    EXPECT_EQ(full.size(), 490u + 39 * 32);
    // A 40th filter, on a channel with room and on each of the others, is
    // refused and leaves every channel's filters as they were.
    for (int out = 0; out < 6; ++out) FeedAll(dev, OpenOutputFilter(out, -1, 7, {4, 99, 50, 9}));
    FeedAll(dev, OpenInputFilter(0x20, false, 0, {4, 99, 50, 9}));
    EXPECT_EQ(dev.WorkingImage(), full);
}

TEST(SimMemory, ImageBecomesWorkingProgram) {
    kvsim::Device dev;
    CDSDATA prog = dev.Working();
    prog.figuration = 1;
    prog.link_on = 1;
    prog.InitData();
    prog.out_limit[4] = 77;
    std::strcpy(prog.prog_name, "Gig");
    Feed(dev, ImageOf(prog, 7));  // outside a bulk store: the working program, whatever its number
    EXPECT_EQ(dev.Working().out_limit[4], 77);
    EXPECT_EQ(dev.Working().link_on, 1);
    EXPECT_STREQ(dev.Working().prog_name, "Gig     ");
    EXPECT_FALSE(dev.MemoryAt(7).used);
}

TEST(SimMemory, StoreMemCurSequence) {
    kvsim::Device dev;
    CDSDATA prog = dev.Working();
    prog.figuration = 2;
    prog.InitData();
    prog.out_delay[3] = 1234;
    std::strcpy(prog.prog_name, "My-Hall");
    // Figuration, the identity request after it, the image request the PC
    // ignores, the image as memory 0, eight translated name characters, the
    // store message with v = 5 and the program change C0 04.
    std::vector<Bytes> seq = {Hex("F0 00 20 18 00 2D 01 12 01 02 F7"), Hex("F0 00 20 18 00 06 01 F7"),
                              Hex("F0 00 20 18 00 02 05 F7"), ImageOf(prog, 0)};
    const int codes[8] = {'M', 'y', 0x3D, 'H', 'a', 'l', 'l', 0x40};
    for (int i = 0; i < 8; ++i) seq.push_back(Param(0x01, i + 1, 0x01, {codes[i]}));
    seq.push_back(Hex("F0 00 20 18 00 2D 01 0B 01 05 F7"));
    seq.push_back(Hex("C0 04"));
    const Bytes replies = FeedAll(dev, seq);
    EXPECT_EQ(replies.size(), 11u);  // the identity reply; memory 5 was empty

    const kvsim::Memory& m5 = dev.MemoryAt(5);
    ASSERT_TRUE(m5.used);
    EXPECT_EQ(m5.name, "My-Hall ");
    EXPECT_EQ(m5.image[7], 5);
    EXPECT_EQ(dev.CurrentMemory(), 5);
    const CDSDATA stored = Decode(m5.image);
    EXPECT_EQ(stored.figuration, 2);
    EXPECT_EQ(stored.out_delay[3], 1234);
    EXPECT_STREQ(stored.prog_name, "My-Hall ");
    EXPECT_EQ(dev.Working().out_delay[3], 1234);

    // Recalled later by the PC: the image request answers with memory 5.
    EXPECT_EQ(Feed(dev, Hex("F0 00 20 18 00 02 05 F7")), m5.image);
}

TEST(SimMemory, StoreFromPcSendsNamesUntranslated) {
    kvsim::Device dev;
    CDSDATA prog = dev.Working();
    prog.out_gain[0] = 5;
    std::vector<Bytes> seq = {Hex("F0 00 20 18 00 2D 01 11 01 F7"), Hex("F0 00 20 18 00 06 01 F7"), ImageOf(prog, 0)};
    const char name[9] = "Show-1\0";
    for (int i = 0; i < 8; ++i) seq.push_back(Param(0x01, i + 1, 0x01, {static_cast<uint8_t>(name[i])}));
    seq.push_back(Hex("F0 00 20 18 00 2D 01 0B 01 01 F7"));
    seq.push_back(Hex("C0 00"));
    FeedAll(dev, seq);
    EXPECT_EQ(dev.MemoryAt(1).name, "Show-1  ");
    EXPECT_EQ(Decode(dev.MemoryAt(1).image).out_gain[0], 5);
    EXPECT_EQ(dev.CurrentMemory(), 1);
}

TEST(SimMemory, ProgramChangeRecalls) {
    kvsim::Device dev;
    CDSDATA a = dev.Working();
    a.out_gain[1] = -30;
    dev.StoreMemory(9, a, "NINE");
    Feed(dev, Hex("C0 08"));
    EXPECT_EQ(dev.CurrentMemory(), 9);
    EXPECT_EQ(dev.Working().out_gain[1], -30);
    EXPECT_STREQ(dev.Working().prog_name, "NINE    ");
    Feed(dev, Hex("C0 0A"));  // memory 11 is empty: the working program stays
    EXPECT_EQ(dev.CurrentMemory(), 11);
    EXPECT_EQ(dev.Working().out_gain[1], -30);
    Feed(dev, Hex("C0 7F"));  // no memory 128
    EXPECT_EQ(dev.CurrentMemory(), 11);
}

TEST(SimMemory, BulkStoreFilesImagesByNumber) {
    kvsim::Device dev;
    CDSDATA base = dev.Working();
    base.out_gain[3] = 11;
    dev.StoreMemory(20, base, "KEEP");  // not in the bulk store: stays

    CDSDATA p60(base), p3(base), p0(base);
    p60.out_delay[0] = 60;
    p3.out_delay[0] = 3;
    p0.out_delay[0] = 100;
    std::strcpy(p60.prog_name, "SIXTY");
    std::strcpy(p3.prog_name, "THREE");
    FeedAll(dev, {Hex("F0 00 20 18 7F 06 01 F7"), Hex("F0 00 20 18 7F 06 0F F7"), kvfiles::SystemBlock(7),
                  ImageOf(p60, 60), ImageOf(p3, 3), ImageOf(p0, 0)});
    EXPECT_EQ(dev.CurrentMemory(), 7);
    EXPECT_EQ(dev.MemoryAt(60).name, "SIXTY   ");
    EXPECT_EQ(Decode(dev.MemoryAt(60).image).out_delay[0], 60);
    EXPECT_EQ(Decode(dev.MemoryAt(3).image).out_delay[0], 3);
    EXPECT_EQ(dev.MemoryAt(3).image, ImageOf(p3, 3));  // kept as sent
    EXPECT_TRUE(dev.MemoryAt(20).used);
    EXPECT_EQ(dev.Working().out_delay[0], 100);

    // Once the working program closed it, an image numbered 4 is no memory.
    Feed(dev, ImageOf(p3, 4));
    EXPECT_FALSE(dev.MemoryAt(4).used);
    EXPECT_EQ(dev.Working().out_delay[0], 3);
}

}  // namespace
