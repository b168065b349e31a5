#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <cstring>

namespace {

TEST(Model, ConstructionResetsMemoryTable) {
    prog_len[7] = 900;
    data_memoryb[7] = 1;
    CDSDATA m;
    EXPECT_STREQ(data_name[0], "UNSAVED");
    EXPECT_EQ(prog_len[0], 0);
    EXPECT_EQ(data_memoryb[0], 0);
    for (int i = 1; i <= 60; ++i) {
        EXPECT_STREQ(data_name[i], "<None>") << i;
        EXPECT_EQ(prog_len[i], 2) << i;
        EXPECT_EQ(prog_save[i][0], 0xF0) << i;
        EXPECT_EQ(prog_save[i][1], 0xF7) << i;
        EXPECT_EQ(data_memoryb[i], 0) << i;
    }
    EXPECT_EQ(m.link_on, 0);
    EXPECT_EQ(m.figuration, 0);
    EXPECT_EQ(m.mem_num, 1);
}

TEST(Model, CopyKeepsMemoryTableAndCopiesEverything) {
    CDSDATA a;
    data_memoryb[3] = 1;
    a.out_gain[4] = 33;
    a.eq_owner[5] = 2;
    a.figuration = 2;
    std::strcpy(a.prog_name, "ABC");
    CDSDATA b(a);
    EXPECT_EQ(data_memoryb[3], 1);  // only the default constructor resets the table
    EXPECT_EQ(b.out_gain[4], 33);
    EXPECT_EQ(b.eq_owner[5], 2);
    EXPECT_EQ(b.figuration, 2);
    EXPECT_STREQ(b.prog_name, "ABC");
    CDSDATA c;
    c = a;
    EXPECT_EQ(0, std::memcmp(c.out_eq_slot, a.out_eq_slot, sizeof a.out_eq_slot));
    EXPECT_EQ(c.out_gain[4], 33);
}

TEST(Model, InitDataPerFiguration) {
    CDSDATA m;
    m.figuration = 2;
    m.link_on = 1;
    m.out_mute[1] = 0;
    m.eq_used = 5;
    m.out_eq_slot[3][0] = 7;
    m.InitData();
    EXPECT_EQ(m.out_source[1], 2);  // In SUM A+B
    EXPECT_EQ(m.out_name[1], 12);   // "C Low"
    EXPECT_EQ(m.xo_freq[1][0], 0);
    EXPECT_EQ(m.xo_freq[1][1], 120);
    EXPECT_EQ(m.link_on, 1);
    EXPECT_EQ(m.figuration, 2);
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(m.out_mute[n], 1);
        EXPECT_EQ(m.out_limit[n], 20);
        EXPECT_EQ(m.xo_type[n][0], 7);
        for (int k = 0; k < 40; ++k) EXPECT_EQ(m.out_eq_slot[n][k], -1);
    }
    EXPECT_EQ(m.cur_eq, -1);
    EXPECT_EQ(m.cur_slot, -1);
    EXPECT_EQ(m.eq_used, 0);
    EXPECT_STREQ(m.prog_name, "UNUSED");

    m.figuration = 1;
    m.InitData();
    const int names[6] = {6, 9, 7, 10, 8, 11};
    const int sources[6] = {0, 1, 0, 1, 0, 1};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(m.out_name[n], names[n]);
        EXPECT_EQ(m.out_source[n], sources[n]);
    }
    EXPECT_EQ(m.xo_freq[2][0], 54);
    EXPECT_EQ(m.xo_freq[5][1], 201);
}

TEST(Model, DspLoadCounts) {
    CDSDATA m;
    EXPECT_EQ(m.CalDSP1(), 6);   // Out 1 high-pass off; 3 sides of type 7
    EXPECT_EQ(m.CalDSP2(), 14);  // Out 6 low-pass off
    m.xo_type[1][0] = 8;         // 48 dB costs 4
    EXPECT_EQ(m.CalDSP1(), 8);
    m.xo_type[0][0] = 9;  // switched out: costs nothing whatever its type
    EXPECT_EQ(m.CalDSP1(), 8);
    m.eq_dsp[0] = 0;
    m.eq_dsp[39] = 0;  // every row counts, the default row too
    m.eq_dsp[5] = 1;
    EXPECT_EQ(m.CalDSP1(), 10);
    EXPECT_EQ(m.CalDSP2(), 15);
}

TEST(Model, NibbleHelpers) {
    EXPECT_EQ(CDSDATA::ByteLow(0xA7), 7);
    EXPECT_EQ(CDSDATA::ByteHig(0xA7), 10);
}

}  // namespace
