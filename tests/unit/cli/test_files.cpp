// What kvctl lets through to the unit: the bank check before a restore, the
// program-file codec, and files that are never left half-written.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "bank.h"
#include "failure.h"
#include "file_io.h"
#include "kvprog/program_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class Files : public ::testing::Test {
protected:
    Bytes Image(int memory, const char* name) {
        CDSDATA m(factory_);
        m.mem_num = static_cast<char>(memory);
        std::strncpy(m.prog_name, name, 8);
        Bytes image(KV_IMAGE_MAX);
        image.resize(static_cast<std::size_t>(m.SaveData(image.data())));
        return image;
    }
    // A bank as the program writes it: memories 3 and 60 and the working program.
    Bytes Bank() {
        tables::BankTable t = tables::EmptyBankTable();
        t.entries[3] = {Image(3, "THREE"), "THREE", true};
        t.entries[60] = {Image(60, "SIXTY"), "SIXTY", true};
        t.entries[0] = {Image(0, "WORK"), "WORK", true};
        return tables::EncodeBank(t);
    }
    std::string TempPath(const char* name) { return ::testing::TempDir() + "kvctl_" + std::to_string(getpid()) + name; }

    CDSDATA factory_;
};

TEST_F(Files, BankCheckTakesWhatTheProgramWritesAndRefusesTheRest) {
    const Bytes good = Bank();
    ASSERT_FALSE(kvctl::CheckBank(good)) << *kvctl::CheckBank(good);
    const std::size_t memory60 = tables::kBankHeaderBytes;  // the first entry

    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }, "not a Kalvore bank file"},
        {"other header", [](Bytes& b) { b[0] = 0x51; }, "not a Kalvore bank file"},
        {"program file", [](Bytes& b) { b.resize(60); }, "not a Kalvore bank file"},
        {"cut in memory 3", [](Bytes& b) { b.resize(b.size() - 600); }, "memory 3"},
        {"cut before the working program", [](Bytes& b) { b.resize(b.size() - 490); }, "ends before the working"},
        {"checksum", [&](Bytes& b) { b[memory60 + 300] ^= 0x01; },
         "memory 60 at byte 110: the program image's checksum"},
        {"high byte", [&](Bytes& b) { b[memory60 + 300] = 0x90; }, "bytes the unit cannot take"},
        {"renumbered", [&](Bytes& b) { b[memory60 + 7] = 59; }, "numbered 59"},
        {"stray bytes", [](Bytes& b) { b.push_back(0x00); }, "1 stray bytes"},
        {"no working program",
         [](Bytes& b) {
             b.resize(b.size() - 490);
             b.push_back(0xF0);
             b.push_back(0xF7);
         },
         "working program is missing"},
    };
    for (const Case& c : cases) {
        Bytes bank = good;
        c.damage(bank);
        const auto refused = kvctl::CheckBank(bank);
        ASSERT_TRUE(refused) << c.what;
        EXPECT_NE(refused->find(c.reason), std::string::npos) << c.what << ": " << *refused;
    }
}

TEST_F(Files, RefusedBankFileNamesTheFileWithCodeFour) {
    const std::string path = TempPath("cut.ay");
    Bytes bank = Bank();
    bank.resize(bank.size() - 100);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bank.data()), bank.size());
    try {
        kvctl::ReadBankFile(path);
        ADD_FAILURE() << "a cut bank was taken";
    } catch (const kvctl::Failure& f) {
        EXPECT_EQ(f.code(), kvctl::kExitFile);
        EXPECT_EQ(std::string(f.what()).rfind(path + " is refused: ", 0), 0u) << f.what();
    }
    std::remove(path.c_str());
}

TEST_F(Files, ProgramFileRoundTripAndRefusals) {
    CDSDATA program(factory_);
    program.out_gain[2] = -12;
    std::strcpy(program.prog_name, "SHOW3");
    const Bytes file = kvprog::EncodeProgramFile(program);
    ASSERT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{0x50, 0x01, 0x00, 0x00}));

    CDSDATA read(factory_);
    ASSERT_FALSE(kvprog::DecodeProgramFile(read, file));
    EXPECT_EQ(read.out_gain[2], -12);
    EXPECT_STREQ(read.prog_name, "SHOW3   ");  // names come back blank-filled to 8

    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        const char* reason;
    };
    const Case cases[] = {
        {"too long", [](Bytes& b) { b.resize(3001, 0); }, "too long"},
        {"too short", [](Bytes& b) { b.resize(400); }, "too short"},
        {"header", [](Bytes& b) { b[1] = 0x02; }, "not a Kalvore program file"},
        {"no end", [](Bytes& b) { b.back() = 0x00; }, "no end"},
        {"checksum", [](Bytes& b) { b[200] ^= 0x02; }, "checksum"},
        {"odd length", [](Bytes& b) { b.insert(b.begin() + 100, 0x00); }, "cannot be read"},
    };
    for (const Case& c : cases) {
        Bytes bad = file;
        c.damage(bad);
        CDSDATA untouched(factory_);
        const auto refused = kvprog::DecodeProgramFile(untouched, bad);
        ASSERT_TRUE(refused) << c.what;
        EXPECT_NE(refused->reason.find(c.reason), std::string::npos) << c.what << ": " << refused->reason;
        EXPECT_EQ(untouched.out_gain[2], factory_.out_gain[2]) << c.what;
    }
}

TEST_F(Files, WriterReplacesOnlyOnCommitAndLeavesNothingBehind) {
    const std::string dir = TempPath("dir");
    std::filesystem::create_directory(dir);
    const std::string path = dir + "/bank.ay";
    std::ofstream(path) << "old";
    {
        kvctl::FileWriter abandoned(path);  // e.g. the unit did not answer
    }
    EXPECT_EQ(kvctl::ReadWholeFile(path, 100), (Bytes{'o', 'l', 'd'}));
    {
        kvctl::FileWriter writer(path);
        writer.Commit({1, 2, 3});
    }
    EXPECT_EQ(kvctl::ReadWholeFile(path, 100), (Bytes{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left

    try {
        kvctl::FileWriter nowhere(dir + "/missing/bank.ay");
        ADD_FAILURE() << "a file in a missing folder was opened";
    } catch (const kvctl::Failure& f) {
        EXPECT_EQ(f.code(), kvctl::kExitFile);
        EXPECT_NE(std::string(f.what()).find(dir + "/missing/bank.ay"), std::string::npos);
    }
    try {
        kvctl::ReadWholeFile(path, 2);
        ADD_FAILURE() << "a file over the limit was read";
    } catch (const kvctl::Failure& f) {
        EXPECT_EQ(f.code(), kvctl::kExitFile);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
