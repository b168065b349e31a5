#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <cstring>

#include "kvfiles/bank_file.h"
#include "hex.h"

namespace {

using kvtest::Bytes;
using kvtest::Hex;
using kvtest::ToHex;
using kvfiles::BankTable;

Bytes ImageOf(CDSDATA m, int mem, const char* name, int filters = 0) {
    m.mem_num = static_cast<char>(mem);
    std::memset(m.prog_name, 0, sizeof m.prog_name);
    std::strncpy(m.prog_name, name, 8);
    for (int j = 0; j < filters; ++j) {
        m.eq_owner[j] = j % 6;
        m.eq_freq[j] = 10 + j;
        m.out_eq_slot[j % 6][j / 6] = j;
    }
    Bytes out(3000);
    out.resize(static_cast<size_t>(m.SaveData(out.data())));
    return out;
}

const CDSDATA& Model() {
    static const CDSDATA m;
    return m;
}

TEST(BankSystemBlock, CarriesTheCurrentMemory) {
    EXPECT_EQ(ToHex(kvfiles::SystemBlock(1)),
              ToHex(Hex("F0 00 20 18 00 2B 03 00 03 07 09 07 03 07 04 07 00 00 04 00 0F 0F 00 00 00 00 09 00 "
                        "00 00 0A 00 00 00 0A 00 00 00 0A 00 00 00 09 00 00 00 09 00 00 00 00 00 00 00 0F 01 "
                        "00 00 01 00 00 00 00 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                        "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 0F 0F 0F 0F 5B F7")));
    const Bytes b60 = kvfiles::SystemBlock(60);
    EXPECT_EQ(b60[58], 0x0C);
    EXPECT_EQ(b60[59], 0x03);
    EXPECT_EQ(b60[104], 0x69);  // 0x5B - 1 + 12 + 3
    EXPECT_EQ(kvfiles::SystemBlock(2)[104], 0x5C);
}

TEST(BankEncode, EmptyTableWithWorkingProgram) {
    BankTable t = kvfiles::EmptyBankTable();
    t.entries[0].image = ImageOf(Model(), 0, "LIVE");
    const Bytes file = kvfiles::EncodeBank(t);
    ASSERT_EQ(file.size(), 110u + 120u + 490u);
    EXPECT_EQ(ToHex(Bytes(file.begin(), file.begin() + 4)), "50 01 00 00");
    EXPECT_EQ(file[62], 1);
    EXPECT_EQ(file[63], 0);
    EXPECT_EQ(file[108], 0x5B);
    EXPECT_EQ(file[109], 0xF7);
    for (size_t i = 110; i < 230; i += 2) {
        EXPECT_EQ(file[i], 0xF0) << i;
        EXPECT_EQ(file[i + 1], 0xF7) << i;
    }
    EXPECT_EQ(Bytes(file.begin() + 230, file.end()), t.entries[0].image);

    // Another current memory changes the header and its checksum only.
    t.current = 35;
    const Bytes f35 = kvfiles::EncodeBank(t);
    EXPECT_EQ(f35[62], 3);
    EXPECT_EQ(f35[63], 2);
    EXPECT_EQ(f35[108], 0x5B - 1 + 3 + 2);

    const BankTable back = kvfiles::DecodeBank(file.data(), file.size());
    EXPECT_EQ(back.current, 1);
    for (int m = 1; m <= 60; ++m) {
        EXPECT_FALSE(back.entries[m].used) << m;
        EXPECT_EQ(back.entries[m].name, "<None>") << m;
        EXPECT_EQ(back.entries[m].image, Hex("F0 F7")) << m;
    }
    EXPECT_TRUE(back.entries[0].used);
    EXPECT_EQ(back.entries[0].name, "LIVE    ");
    EXPECT_EQ(back.entries[0].image, t.entries[0].image);
}

TEST(BankDecode, RoundTripOfUsedMemories) {
    BankTable t = kvfiles::EmptyBankTable();
    const int used[3] = {3, 17, 60};
    const char* names[3] = {"Stage", "-!#&=~ 9", "Z"};
    for (int i = 0; i < 3; ++i) {
        t.entries[used[i]].image = ImageOf(Model(), used[i], names[i], 2 * i + 1);
        t.entries[used[i]].used = true;
    }
    t.entries[0].image = ImageOf(Model(), 0, "W", 39);
    t.current = 17;
    const Bytes file = kvfiles::EncodeBank(t);

    const BankTable back = kvfiles::DecodeBank(file.data(), file.size());
    EXPECT_EQ(back.current, 17);
    EXPECT_EQ(back.entries[3].name, "Stage   ");
    EXPECT_EQ(back.entries[17].name, "-!#&=~ 9");
    EXPECT_EQ(back.entries[60].name, "Z       ");
    for (int m = 0; m <= 60; ++m) {
        const bool expect_used = m == 0 || m == 3 || m == 17 || m == 60;
        EXPECT_EQ(back.entries[m].used, expect_used) << m;
        if (expect_used) {
            EXPECT_EQ(back.entries[m].image, t.entries[m].image) << m;
        }
    }
    // Decoding the encoding of a decoded file gives the same file.
    EXPECT_EQ(kvfiles::EncodeBank(back), file);
}

TEST(BankDecode, NameCodesOfTheDeviceList) {
    Bytes image = ImageOf(Model(), 5, "AB");
    // A NUL code in the name reads as a blank, like 0x40.
    image[28 + 2 * 2] = 0x00;
    image[29 + 2 * 2] = 0x00;
    image[28 + 2 * 3] = 0x0A;  // 0x3A: exclamation mark
    image[29 + 2 * 3] = 0x03;
    const BankTable t = kvfiles::DecodeBank(image.data(), image.size());
    EXPECT_EQ(t.entries[5].name, "AB !    ");
}

TEST(BankDecode, SkipsImagesThatDoNotFitTheTable) {
    Bytes file = ImageOf(Model(), 61, "HIGH");
    const Bytes ok = ImageOf(Model(), 7, "SEVEN");
    // A 5100-byte "image": F0 .. 2C with its F7 far away.
    Bytes huge(5100, 0x01);
    huge[0] = 0xF0;
    huge[5] = 0x2C;
    huge[7] = 8;
    huge.back() = 0xF7;
    file.insert(file.end(), huge.begin(), huge.end());
    file.insert(file.end(), ok.begin(), ok.end());
    const BankTable t = kvfiles::DecodeBank(file.data(), file.size());
    EXPECT_FALSE(t.entries[8].used);
    EXPECT_TRUE(t.entries[7].used);
    EXPECT_EQ(t.entries[7].name, "SEVEN   ");
    for (int m = 0; m <= 60; ++m)
        if (m != 7) {
            EXPECT_FALSE(t.entries[m].used) << m;
        }
}

// An image cut short where the next one begins (an empty entry's F0 F7
// included) must not swallow that one under its own number.
TEST(BankDecode, ImageCutShortLeavesTheNextOneWhole) {
    const Bytes nine = ImageOf(Model(), 9, "NINE");
    for (const Bytes& stump : {Hex("F0 00 20 18 00 2C 0F 05 01 02"), Hex("F0 F7 2C 2C 2C 2C 2C")}) {
        Bytes file = stump;
        file.insert(file.end(), nine.begin(), nine.end());
        const BankTable t = kvfiles::DecodeBank(file.data(), file.size());
        EXPECT_EQ(t.entries[9].image, nine) << ToHex(stump);
        for (int m : {5, 44}) EXPECT_FALSE(t.entries[m].used) << m;
    }
}

TEST(BankDecode, TruncatedDataEndsTheScan) {
    BankTable t = kvfiles::EmptyBankTable();
    t.entries[9].image = ImageOf(Model(), 9, "NINE");
    t.entries[0].image = ImageOf(Model(), 0, "ZERO");
    Bytes file = kvfiles::EncodeBank(t);
    file.resize(file.size() - 200);  // the working program loses its end
    const BankTable back = kvfiles::DecodeBank(file.data(), file.size());
    EXPECT_TRUE(back.entries[9].used);
    EXPECT_FALSE(back.entries[0].used);
    EXPECT_TRUE(back.entries[0].image.empty());

    // Tiny or missing input gives the empty table.
    const Bytes crumbs = Hex("F0 00 20 18 00 2C");
    EXPECT_FALSE(kvfiles::DecodeBank(crumbs.data(), crumbs.size()).entries[0].used);
    EXPECT_EQ(kvfiles::DecodeBank(nullptr, 0).entries[1].name, "<None>");
}

TEST(BankDecode, ReadsAtMostTheFileLimit) {
    Bytes file(kvfiles::kBankFileMax - 100, 0x00);
    const Bytes late = ImageOf(Model(), 4, "LATE");
    file.insert(file.end(), late.begin(), late.end());
    const BankTable t = kvfiles::DecodeBank(file.data(), file.size());
    EXPECT_FALSE(t.entries[4].used);
    const BankTable whole = kvfiles::DecodeBank(file.data() + 1000, file.size() - 1000);
    EXPECT_TRUE(whole.entries[4].used);
}

}  // namespace
