#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <cstring>
#include <string>

#include "hex.h"
#include "model_builder.h"

namespace {

using kvtest::Bytes;
using kvtest::Hex;
using kvtest::PoolRow;
using kvtest::ToHex;

Bytes Save(const CDSDATA& m) {
    Bytes out(6000, 0xEE);
    const int n = m.SaveData(out.data());
    out.resize(static_cast<size_t>(n));
    return out;
}

// The record byte i of the split record at `base`, joined from its nibbles.
int Rec(const Bytes& img, int base, int i) { return img[base + 2 * i] + 16 * img[base + 2 * i + 1]; }
void SetRec(Bytes& img, int base, int i, int value) {
    img[base + 2 * i] = value & 0x0F;
    img[base + 2 * i + 1] = (value >> 4) & 0x0F;
}
int Chain(const Bytes& img, int k) {
    const int base = 472 + 32 * k;
    return Rec(img, base, 11) * 256 + Rec(img, base, 13);
}
int ChecksumOf(const Bytes& img) {
    unsigned sum = 0;
    for (size_t i = 8; i + 2 < img.size(); ++i) sum += img[i];
    return static_cast<int>(sum & 0x7F);
}

TEST(ImageWrite, FactoryModelIsByteExact) {
    CDSDATA m;
    const Bytes img = Save(m);
    ASSERT_EQ(img.size(), 490u);
    EXPECT_EQ(ToHex(Bytes(img.begin(), img.begin() + 8)), "F0 00 20 18 00 2C 0F 01");
    // Header: "prog" 00 22 FF 00, memory 1, 00, "UNUSED" and two blanks (0x40), six zeros.
    EXPECT_EQ(ToHex(Bytes(img.begin() + 8, img.begin() + 56)),
              ToHex(Hex("00 07 02 07 0F 06 07 06 00 00 02 02 0F 0F 00 00 01 00 00 00"
                        "05 05 0E 04 05 05 03 05 05 04 04 04 00 04 00 04"
                        "00 00 00 00 00 00 00 00 00 00 00 00")));
    const std::string marker = "04 02 09 02 07 02 01 02 05 03 04 02 09 02 0F 02 00 00";
    EXPECT_EQ(ToHex(Bytes(img.begin() + 56, img.begin() + 92)), ToHex(Hex(marker + marker)));
    for (int i = 92; i < 112; ++i) EXPECT_EQ(img[i], 0) << i;  // Mono, link off
    const Bytes input = Hex("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 0F 0F 0F 0F");
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(ToHex(Bytes(img.begin() + 112 + 24 * r, img.begin() + 136 + 24 * r)), ToHex(input)) << r;
    // Out 1: name 0, source 0, gain 75, limit 70, types 7, crossover (0, 34), muted, 0x01.
    EXPECT_EQ(ToHex(Bytes(img.begin() + 184, img.begin() + 232)),
              ToHex(Hex("00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 0B 04 06 04"
                        "00 00 00 00 07 00 00 00 07 00 02 02 01 00 01 00 00 00 00 00 00 00 00 00")));
    const int xo[6][2] = {{0, 34}, {34, 67}, {67, 100}, {100, 134}, {134, 167}, {167, 201}};
    for (int k = 1; k < 6; ++k) {
        const int base = 184 + 48 * k;
        EXPECT_EQ(Rec(img, base, 8), k);
        EXPECT_EQ(Rec(img, base, 10), 75);
        EXPECT_EQ(Rec(img, base, 11), 70);
        EXPECT_EQ(Rec(img, base, 15), xo[k][0]);
        EXPECT_EQ(Rec(img, base, 17), xo[k][1]);
        EXPECT_EQ(Rec(img, base, 18), 1);
        EXPECT_EQ(Rec(img, base, 19), 1);
    }
    for (int i = 472; i < 488; ++i) EXPECT_EQ(img[i], 0x0F) << i;
    EXPECT_EQ(img[488], ChecksumOf(img));
    EXPECT_EQ(img[489], 0xF7);
    for (size_t i = 1; i + 1 < img.size(); ++i) EXPECT_LT(img[i], 0x80) << i;
}

TEST(ImageNames, TranslatedBothWays) {
    CDSDATA m;
    std::strcpy(m.prog_name, "A-B");
    Bytes img = Save(m);
    EXPECT_EQ(ToHex(Bytes(img.begin() + 28, img.begin() + 44)), "01 04 0D 03 02 04 00 04 00 04 00 04 00 04 00 04");
    CDSDATA r;
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    EXPECT_STREQ(r.prog_name, "A-B     ");

    std::strcpy(m.prog_name, "A.B");  // a sign the display lacks goes as a blank
    img = Save(m);
    EXPECT_EQ(Rec(img, 8, 11), 0x40);
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    EXPECT_STREQ(r.prog_name, "A B     ");

    std::strcpy(m.prog_name, "!#&-=~z9");
    img = Save(m);
    const int codes[8] = {0x3A, 0x3B, 0x3E, 0x3D, 0x3F, 0x3C, 'z', '9'};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Rec(img, 8, 10 + i), codes[i]) << i;
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    EXPECT_STREQ(r.prog_name, "!#&-=~z9");
}

TEST(ImageChainCodes, PositionWithinChannel) {
    CDSDATA m;
    PoolRow(m, 0).Owner(0).Values({2, 100, 31, 5}).NextSlot().Recount();
    PoolRow(m, 1).Owner(0).Values({2, 110, 31, 5}).NextSlot().Recount();
    Bytes img = Save(m);
    EXPECT_EQ(Chain(img, 0), 0x0202);
    EXPECT_EQ(Chain(img, 1), 0x0000);

    PoolRow(m, 2).Owner(3).Values({2, 110, 31, 5}).NextSlot().Recount();  // a sole filter of Out 4
    PoolRow(m, 3).Owner(0).Values({2, 120, 31, 5}).NextSlot().Recount();  // Out 1 now has three
    img = Save(m);
    EXPECT_EQ(Chain(img, 0), 0x0202);
    EXPECT_EQ(Chain(img, 1), 0x0300);
    EXPECT_EQ(Chain(img, 2), 0x0002);
    EXPECT_EQ(Chain(img, 3), 0x0000);
    EXPECT_EQ(Rec(img, 472 + 64, 5), 0x63);  // owner byte of Out 4
}

TEST(ImageChainCodes, LinkedChannelsFormOneChain) {
    CDSDATA m;
    m.figuration = 1;
    m.link_on = 1;
    m.InitData();
    PoolRow(m, 0).Owner(CHAN_IN_A).Values({2, 100, 31, 5}).NextSlot().Recount();
    PoolRow(m, 1).Owner(CHAN_IN_B).Values({2, 100, 31, 5}).NextSlot().Recount();
    PoolRow(m, 2).Owner(CHAN_IN_A).Values({2, 140, 31, 5}).NextSlot().Recount();
    PoolRow(m, 3).Owner(CHAN_IN_B).Values({2, 140, 31, 5}).NextSlot().Recount();
    Bytes img = Save(m);
    EXPECT_EQ(Chain(img, 0), 0x0203);
    EXPECT_EQ(Chain(img, 1), 0x0303);
    EXPECT_EQ(Chain(img, 2), 0x0001);
    EXPECT_EQ(Chain(img, 3), 0x0001);
    EXPECT_EQ(Rec(img, 92, 3), 1);
    EXPECT_EQ(Rec(img, 92, 4), 1);

    // Out 1 and Out 2 are partners in "2 Channel 3 Way"; Out 3's sole
    // filter stands apart from them.
    CDSDATA o;
    o.figuration = 1;
    o.link_on = 1;
    o.InitData();
    PoolRow(o, 0).Owner(0).Values({2, 100, 31, 5}).NextSlot().Recount();
    PoolRow(o, 1).Owner(1).Values({2, 100, 31, 5}).NextSlot().Recount();
    PoolRow(o, 2).Owner(2).Values({2, 100, 31, 5}).NextSlot().Recount();
    img = Save(o);
    EXPECT_EQ(Chain(img, 0), 0x0003);
    EXPECT_EQ(Chain(img, 1), 0x0003);
    EXPECT_EQ(Chain(img, 2), 0x0201);
}

TEST(ImageRead, OutOfRangeValuesAreReplaced) {
    CDSDATA m;
    Bytes img = Save(m);
    const int out2 = 184 + 48;
    SetRec(img, out2, 10, 200);  // gain
    SetRec(img, out2, 11, 200);  // limit
    SetRec(img, out2, 9, 3);     // source
    SetRec(img, out2, 13, 2);    // polarity
    SetRec(img, out2, 14, 10);   // high-pass type
    SetRec(img, out2, 15, 202);  // high-pass frequency
    SetRec(img, out2, 16, 12);
    SetRec(img, out2, 17, 255);
    SetRec(img, out2, 18, 3);    // mute
    SetRec(img, out2, 2, 0x77);  // delay 0x7777 > 30500
    SetRec(img, out2, 3, 0x77);
    SetRec(img, 136, 2, 0x77);  // In B delay
    SetRec(img, 136, 3, 0x25);  // 0x7725 = 30501
    SetRec(img, 92, 4, 3);      // figuration
    SetRec(img, 92, 3, 2);      // link
    CDSDATA r;
    r.figuration = 2;
    r.link_on = 1;
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    EXPECT_EQ(r.figuration, 0);
    EXPECT_EQ(r.link_on, 0);
    EXPECT_EQ(r.out_gain[1], 0);
    EXPECT_EQ(r.out_limit[1], 20);
    EXPECT_EQ(r.out_source[1], 0);
    EXPECT_EQ(r.out_polarity[1], 0);
    EXPECT_EQ(r.xo_type[1][0], 0);
    EXPECT_EQ(r.xo_freq[1][0], 0);
    EXPECT_EQ(r.xo_type[1][1], 0);
    EXPECT_EQ(r.xo_freq[1][1], 0);
    EXPECT_EQ(r.out_mute[1], 0);
    EXPECT_EQ(r.out_delay[1], 0);
    EXPECT_EQ(r.inb_delay, 0);

    // The edges of each range are kept.
    SetRec(img, out2, 10, 0);
    SetRec(img, out2, 11, 150);
    SetRec(img, 136, 3, 0x24);  // 0x7724 = 30500
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    EXPECT_EQ(r.out_gain[1], -75);
    EXPECT_EQ(r.out_limit[1], 100);
    EXPECT_EQ(r.inb_delay, 30500);
}

TEST(ImageRead, FilterTypeAndOwnerChecks) {
    CDSDATA m;
    PoolRow(m, 0).Owner(4).Values({2, 90, 20, 7}).NextSlot().Recount();
    PoolRow(m, 1).Owner(4).Values({2, 95, 25, 8}).NextSlot().Recount();
    Bytes img = Save(m);
    SetRec(img, 472, 7, 5);          // type out of range
    SetRec(img, 472 + 32, 5, 0x66);  // no such channel
    CDSDATA r;
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    EXPECT_EQ(r.eq_type[0], 0);
    EXPECT_EQ(r.eq_owner[0], 4);
    EXPECT_EQ(r.eq_owner[1], -1);  // left free, in no slot list
    EXPECT_EQ(r.out_eq_slot[4][0], 0);
    EXPECT_EQ(r.out_eq_slot[4][1], -1);
    EXPECT_EQ(r.eq_dsp[1], -1);
}

TEST(ImageRead, FilterCountFollowsFileLength) {
    CDSDATA m;
    Bytes file = Hex("50 01 00 00");
    Bytes img = Save(m);
    file.insert(file.end(), img.begin(), img.end());
    ASSERT_EQ(file.size(), 494u);
    CDSDATA r;
    r.GetData(file.data(), static_cast<int>(file.size()), 4);
    EXPECT_EQ(r.eq_used, 0);

    PoolRow(m, 0).Owner(2).Values({1, 77, 40, 9}).NextSlot().Recount();
    img = Save(m);
    file.resize(4);
    file.insert(file.end(), img.begin(), img.end());
    ASSERT_EQ(file.size(), 526u);
    r.GetData(file.data(), static_cast<int>(file.size()), 4);
    EXPECT_EQ(r.eq_used, 1);
    EXPECT_EQ(r.eq_owner[0], 2);
    EXPECT_EQ(r.eq_freq[0], 77);
    EXPECT_EQ(r.out_eq_slot[2][0], 0);
}

TEST(ImageRead, NeverReadsPastTheBuffer) {
    // An image further into a buffer than the length rule allows for: the
    // length suggests two records, only one fits.
    CDSDATA m;
    PoolRow(m, 0).Owner(1).Values({2, 50, 35, 3}).NextSlot().Recount();
    const Bytes img = Save(m);
    Bytes buf(40, 0x00);
    buf.insert(buf.end(), img.begin(), img.end());
    CDSDATA r;
    r.GetData(buf.data(), static_cast<int>(buf.size()), 40);
    EXPECT_EQ(r.eq_used, 1);
    EXPECT_EQ(r.eq_owner[0], 1);

    // A field that lies exactly at the length is not there: Out 1's gain
    // byte (+10 dB, 0x55 split at 204 and 205) read from a longer buffer.
    CDSDATA g;
    g.out_gain[0] = 10;
    const Bytes gain_img = Save(g);
    const struct {
        int len;
        int gain;
    } rows[] = {{204, -75}, {205, 5 - 75}, {206, 10}};
    for (const auto& row : rows) {
        r.GetData(gain_img.data(), row.len, 0);
        EXPECT_EQ(r.out_gain[0], row.gain) << row.len;
    }

    // A buffer shorter than the fixed part gives the factory model.
    Bytes tiny(img.begin(), img.begin() + 60);
    r.GetData(tiny.data(), static_cast<int>(tiny.size()), 0);
    EXPECT_EQ(r.eq_used, 0);
    EXPECT_EQ(r.figuration, 0);
    r.GetData(tiny.data(), 0, 0);
    EXPECT_EQ(r.eq_used, 0);
}

TEST(ImageRoundTrip, EveryFieldWithLinkedFilters) {
    CDSDATA m;
    m.figuration = 1;
    m.link_on = 1;
    m.InitData();
    std::strcpy(m.prog_name, "Hall 2=#");
    m.ina_delay = 30500;
    m.inb_delay = 257;
    m.sum_delay = 1;
    for (int k = 0; k < 6; ++k) {
        m.out_delay[k] = 1000 * k + 7;
        m.out_name[k] = static_cast<char>(20 + k);
        m.out_source[k] = static_cast<char>(k % 3);
        m.out_gain[k] = k % 2 ? -75 + k : 75 - k;
        m.out_limit[k] = k % 2 ? -50 : 100 - k;
        m.out_polarity[k] = k % 2;
        m.out_mute[k] = (k + 1) % 2;
    }
    // Crossovers that leave DSP 2 at 18 units: two more filters fit there.
    m.xo_type[2][0] = 8;
    m.xo_type[2][1] = 9;
    m.xo_freq[2][0] = 40;
    m.xo_freq[2][1] = 150;
    m.xo_type[3][0] = 3;
    m.xo_type[3][1] = 0;
    m.xo_freq[3][0] = 40;
    m.xo_freq[3][1] = 150;
    m.xo_type[4][0] = 9;
    m.xo_type[4][1] = 5;
    m.xo_freq[4][0] = 120;
    m.xo_freq[4][1] = 201;
    m.xo_type[5][0] = 1;
    m.xo_type[5][1] = 2;
    m.xo_freq[5][0] = 120;
    m.xo_freq[5][1] = 201;
    m.xo_freq[0][0] = 0;
    m.xo_type[0][1] = 4;

    PoolRow(m, 0).Owner(CHAN_IN_A).Values({0, 10, 0, 0}).NextSlot().Recount();
    PoolRow(m, 1).Owner(CHAN_IN_B).Values({0, 10, 0, 0}).NextSlot().Recount();
    PoolRow(m, 2).Owner(0).Values({4, 200, 60, 59}).NextSlot().Recount();
    PoolRow(m, 3).Owner(1).Values({4, 200, 60, 59}).NextSlot().Recount();
    PoolRow(m, 4).Owner(2).Values({1, 1, 33, 20}).NextSlot().Recount();
    PoolRow(m, 5).Owner(3).Values({1, 1, 33, 20}).NextSlot().Recount();
    PoolRow(m, 6).Owner(2).Values({3, 150, 12, 44}).NextSlot().Recount();
    PoolRow(m, 7).Owner(3).Values({3, 150, 12, 44}).NextSlot().Recount();
    PoolRow(m, 8).Owner(5).Values({2, 66, 29, 1}).NextSlot().Recount();  // Out 6 alone: it follows, never leads
    const Bytes img = Save(m);
    ASSERT_EQ(img.size(), 490u + 9 * 32);
    EXPECT_EQ(img[6], 9 + 15);

    CDSDATA r;
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    EXPECT_EQ(r.figuration, 1);
    EXPECT_EQ(r.link_on, 1);
    EXPECT_STREQ(r.prog_name, "Hall 2=#");
    EXPECT_EQ(r.ina_delay, 30500);
    EXPECT_EQ(r.inb_delay, 257);
    EXPECT_EQ(r.sum_delay, 1);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(r.out_delay[k], m.out_delay[k]) << k;
        EXPECT_EQ(r.out_name[k], m.out_name[k]) << k;
        EXPECT_EQ(r.out_source[k], m.out_source[k]) << k;
        EXPECT_EQ(r.out_gain[k], m.out_gain[k]) << k;
        EXPECT_EQ(r.out_limit[k], m.out_limit[k]) << k;
        EXPECT_EQ(r.out_polarity[k], m.out_polarity[k]) << k;
        EXPECT_EQ(r.out_mute[k], m.out_mute[k]) << k;
        for (int s = 0; s < 2; ++s) {
            EXPECT_EQ(r.xo_type[k][s], m.xo_type[k][s]) << k;
            EXPECT_EQ(r.xo_freq[k][s], m.xo_freq[k][s]) << k;
        }
    }
    EXPECT_EQ(r.eq_used, 9);
    for (int j = 0; j < 40; ++j) {
        EXPECT_EQ(r.eq_owner[j], m.eq_owner[j]) << j;
        EXPECT_EQ(r.eq_type[j], m.eq_type[j]) << j;
        EXPECT_EQ(r.eq_freq[j], m.eq_freq[j]) << j;
        EXPECT_EQ(r.eq_gain[j], m.eq_gain[j]) << j;
        EXPECT_EQ(r.eq_bw[j], m.eq_bw[j]) << j;
    }
    EXPECT_EQ(0, std::memcmp(r.ina_eq_slot, m.ina_eq_slot, sizeof m.ina_eq_slot));
    EXPECT_EQ(0, std::memcmp(r.inb_eq_slot, m.inb_eq_slot, sizeof m.inb_eq_slot));
    EXPECT_EQ(0, std::memcmp(r.out_eq_slot, m.out_eq_slot, sizeof m.out_eq_slot));
    EXPECT_EQ(r.ina_eq_freq[0], 10);
    EXPECT_EQ(r.ina_eq_gain[0], 0);
    EXPECT_EQ(r.inb_eq_type[1], 0);
    EXPECT_EQ(r.ina_eq_freq[1], 120);  // In A's copies hold only In A's rows

    const int link[9] = {1, -1, 3, -1, 5, -1, 7, -1, -1};
    const int dsp[9] = {0, 0, 0, 0, 1, 1, 0, 0, 0};
    for (int j = 0; j < 9; ++j) {
        EXPECT_EQ(r.eq_link[j], link[j]) << j;
        EXPECT_EQ(r.eq_dsp[j], dsp[j]) << j;
    }
    EXPECT_EQ(r.eq_link[9], -1);

    // Without the link the same image derives no twins.
    CDSDATA unlinked(m);
    unlinked.link_on = 0;
    const Bytes img2 = Save(unlinked);
    r.GetData(img2.data(), static_cast<int>(img2.size()), 0);
    for (int j = 0; j < 40; ++j) EXPECT_EQ(r.eq_link[j], -1) << j;
}

TEST(ImageRoundTrip, TwinMustBeThePartnersFilter) {
    // Out 1 filter opened while the link was off, followed by Out 3's: with
    // the link on, Out 3's filter must not become Out 1's twin.
    CDSDATA m;
    m.figuration = 1;
    m.link_on = 1;
    m.InitData();
    PoolRow(m, 0).Owner(0).Values({2, 100, 31, 5}).NextSlot().Recount();
    PoolRow(m, 1).Owner(2).Values({2, 100, 31, 5}).NextSlot().Recount();
    PoolRow(m, 2).Owner(CHAN_IN_A).Values({2, 100, 31, 5}).NextSlot().Recount();  // last record: no twin after it
    const Bytes img = Save(m);
    CDSDATA r;
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    EXPECT_EQ(r.eq_link[0], -1);
    EXPECT_EQ(r.eq_link[2], -1);
}

TEST(ImageRoundTrip, AllThirtyNineFilters) {
    CDSDATA m;
    const int owners[8] = {0, 1, 2, 3, 4, 5, CHAN_IN_A, CHAN_IN_B};
    for (int j = 0; j < 39; ++j)
        PoolRow(m, j).Owner(owners[j % 8]).Values({j % 5, 1 + 5 * j, j, 59 - j}).NextSlot().Recount();
    const Bytes img = Save(m);
    ASSERT_EQ(img.size(), 490u + 39 * 32);
    EXPECT_EQ(img[6], 39 + 15);
    EXPECT_EQ(img.back(), 0xF7);
    EXPECT_EQ(img[img.size() - 2], ChecksumOf(img));

    CDSDATA r;
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    ASSERT_EQ(r.eq_used, 39);
    for (int j = 0; j < 39; ++j) {
        EXPECT_EQ(r.eq_owner[j], owners[j % 8]) << j;
        EXPECT_EQ(r.eq_type[j], j % 5) << j;
        EXPECT_EQ(r.eq_freq[j], 1 + 5 * j) << j;
        EXPECT_EQ(r.eq_gain[j], j) << j;
        EXPECT_EQ(r.eq_bw[j], 59 - j) << j;
    }
    EXPECT_EQ(0, std::memcmp(r.out_eq_slot, m.out_eq_slot, sizeof m.out_eq_slot));
    EXPECT_EQ(r.eq_owner[39], -1);

    // A file of the same image (start 4) also gives all 39.
    Bytes file = Hex("50 01 00 00");
    file.insert(file.end(), img.begin(), img.end());
    r.GetData(file.data(), static_cast<int>(file.size()), 4);
    EXPECT_EQ(r.eq_used, 39);
}

TEST(ImageWrite, PoolWithFreeRowsBelowUsedOnes) {
    CDSDATA m;
    PoolRow(m, 0).Owner(0).Values({2, 100, 31, 5}).NextSlot().Recount();
    PoolRow(m, 2).Owner(0).Values({1, 110, 35, 6}).NextSlot().Recount();
    PoolRow(m, 5).Owner(3).Values({3, 130, 40, 7}).NextSlot().Recount();
    m.eq_freq[1] = 77;  // leftovers in a free row are not written
    m.eq_used = 2;      // a stale count must not drop the last used row
    const Bytes img = Save(m);
    ASSERT_EQ(img.size(), 490u + 3 * 32);
    EXPECT_EQ(img[6], 3 + 15);
    EXPECT_EQ(Rec(img, 472, 8), 100);
    EXPECT_EQ(Rec(img, 472 + 32, 8), 110);
    EXPECT_EQ(Rec(img, 472 + 64, 8), 130);
    EXPECT_EQ(Rec(img, 472 + 64, 5), 0x63);
    EXPECT_EQ(Chain(img, 0), 0x0202);
    EXPECT_EQ(Chain(img, 1), 0x0000);
    EXPECT_EQ(Chain(img, 2), 0x0002);
    for (size_t i = 472 + 96; i < 472 + 112; ++i) EXPECT_EQ(img[i], 0x0F) << i;
    EXPECT_EQ(img[img.size() - 2], ChecksumOf(img));

    CDSDATA r;
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    EXPECT_EQ(r.eq_used, 3);
    EXPECT_EQ(r.out_eq_slot[0][0], 0);
    EXPECT_EQ(r.out_eq_slot[0][1], 1);
    EXPECT_EQ(r.out_eq_slot[3][0], 2);
    EXPECT_EQ(r.eq_freq[2], 130);
}

TEST(ImageWrite, ReusedRowKeepsEachChannelsSlotOrder) {
    // Out 1 had filters in rows 0 and 1; row 0 was released (the list packed
    // to row 1 in slot 0), then a new filter took row 0 again in slot 1.
    // Out 2's filter sits between them in the pool.
    CDSDATA m;
    PoolRow(m, 1).Owner(0).Values({2, 101, 31, 5}).NextSlot().Recount();  // Out 1 slot 0
    PoolRow(m, 0).Owner(0).Values({2, 100, 32, 5}).NextSlot().Recount();  // Out 1 slot 1, reused row 0
    PoolRow(m, 2).Owner(1).Values({2, 150, 33, 5}).NextSlot().Recount();  // Out 2 slot 0
    ASSERT_EQ(m.out_eq_slot[0][0], 1);
    ASSERT_EQ(m.out_eq_slot[0][1], 0);
    const Bytes img = Save(m);
    ASSERT_EQ(img.size(), 490u + 3 * 32);
    // Out 1's records come in its slot order; Out 2's record stays last.
    EXPECT_EQ(Rec(img, 472, 8), 101);
    EXPECT_EQ(Rec(img, 472 + 32, 8), 100);
    EXPECT_EQ(Rec(img, 472 + 64, 5), 0x61);
    EXPECT_EQ(Chain(img, 0), 0x0202);
    EXPECT_EQ(Chain(img, 1), 0x0000);
    EXPECT_EQ(Chain(img, 2), 0x0002);

    CDSDATA r;
    r.GetData(img.data(), static_cast<int>(img.size()), 0);
    EXPECT_EQ(r.eq_freq[r.out_eq_slot[0][0]], 101);
    EXPECT_EQ(r.eq_freq[r.out_eq_slot[0][1]], 100);
    EXPECT_EQ(r.eq_freq[r.out_eq_slot[1][0]], 150);
}

}  // namespace
