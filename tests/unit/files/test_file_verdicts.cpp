// What the one codec takes and refuses: program files (refused only when they
// cannot be program files; a damaged image is read and named), banks
// (refused when cut or damaged, taken with notes when only out of order),
// the moves between a bank and the memory table, and the atomic writer.
#include <unistd.h>

#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "kvfiles/atomic_file.h"
#include "kvfiles/bank_file.h"
#include "kvfiles/program_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class FileVerdicts : public ::testing::Test {
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
        kvfiles::BankTable t = kvfiles::EmptyBankTable();
        t.entries[3] = {Image(3, "THREE"), "THREE", true};
        t.entries[60] = {Image(60, "SIXTY"), "SIXTY", true};
        t.entries[0] = {Image(0, "WORK"), "WORK", true};
        return kvfiles::EncodeBank(t);
    }
    std::string TempPath(const char* name) { return ::testing::TempDir() + "kvfiles_" + std::to_string(getpid()) + name; }

    CDSDATA factory_;
};

struct Damage {
    const char* what;
    std::function<void(Bytes&)> apply;
    const char* refused;  // part of the refusal, or nullptr when the file is taken
    const char* note;     // part of a note, or nullptr when there is none
};

TEST_F(FileVerdicts, ProgramFiles) {
    CDSDATA program(factory_);
    program.out_gain[2] = -12;
    std::strcpy(program.prog_name, "SHOW3");
    const Bytes file = kvfiles::EncodeProgramFile(program);
    ASSERT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{0x50, 0x01, 0x00, 0x00}));

    const Damage cases[] = {
        {"as written", [](Bytes&) {}, nullptr, nullptr},
        {"too long", [](Bytes& b) { b.resize(3001, 0); }, "too long", nullptr},
        {"too short", [](Bytes& b) { b.resize(400); }, "too short", nullptr},
        {"header", [](Bytes& b) { b[1] = 0x02; }, "not a Kalvore program file", nullptr},
        {"no F0 after the header", [](Bytes& b) { b[4] = 0x00; }, "not a Kalvore program file", nullptr},
        {"no end", [](Bytes& b) { b.back() = 0x00; }, nullptr, "no end"},
        {"checksum", [](Bytes& b) { b[200] ^= 0x02; }, nullptr, "checksum"},
        {"odd length", [](Bytes& b) { b.insert(b.begin() + 100, 0x00); }, nullptr, "cannot be read"},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = file;
        c.apply(bytes);
        CDSDATA read(factory_);
        read.mem_num = 7;
        const kvfiles::ProgramFileRead verdict = kvfiles::DecodeProgramFile(read, bytes);
        ASSERT_EQ(verdict.refused.has_value(), c.refused != nullptr);
        if (c.refused) {
            EXPECT_NE(verdict.refused->reason.find(c.refused), std::string::npos) << verdict.refused->reason;
            EXPECT_EQ(read.out_gain[2], factory_.out_gain[2]) << "a refused file changed the model";
            continue;
        }
        EXPECT_EQ(read.mem_num, 7) << "the memory number is the program's, not the file's";
        ASSERT_EQ(verdict.notes.size(), c.note ? 1u : 0u);
        if (c.note) EXPECT_NE(kvfiles::NotesText(verdict.notes).find(c.note), std::string::npos);
        if (std::string(c.what) != "odd length") EXPECT_EQ(read.out_gain[2], -12);
    }
    CDSDATA read(factory_);
    kvfiles::DecodeProgramFile(read, file);
    EXPECT_STREQ(read.prog_name, "SHOW3   ");  // names come back blank-filled to 8
}

TEST_F(FileVerdicts, Banks) {
    const std::size_t memory60 = kvfiles::kBankHeaderBytes;  // the first entry
    const Damage cases[] = {
        {"as written", [](Bytes&) {}, nullptr, nullptr},
        {"empty", [](Bytes& b) { b.clear(); }, "not a Kalvore bank file", nullptr},
        {"other header", [](Bytes& b) { b[0] = 0x51; }, "not a Kalvore bank file", nullptr},
        {"program file", [](Bytes& b) { b.resize(60); }, "not a Kalvore bank file", nullptr},
        {"cut in memory 3", [](Bytes& b) { b.resize(b.size() - 600); }, nullptr, "memory 3 at byte"},
        {"cut before the working program", [](Bytes& b) { b.resize(b.size() - 490); }, nullptr,
         "ends before the working"},
        {"checksum", [&](Bytes& b) { b[memory60 + 300] ^= 0x01; },
         "memory 60 at byte 110: the program image's checksum", nullptr},
        {"high byte", [&](Bytes& b) { b[memory60 + 300] = 0x90; }, nullptr, "memory 60 at byte 110 is cut short"},
        {"renumbered", [&](Bytes& b) { b[memory60 + 7] = 59; }, nullptr, "belongs to memory 59"},
        {"stray bytes", [](Bytes& b) { b.push_back(0x00); }, nullptr, "1 stray bytes"},
        {"no working program",
         [](Bytes& b) {
             b.resize(b.size() - 490);
             b.push_back(0xF0);
             b.push_back(0xF7);
         },
         nullptr, nullptr},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bank = Bank();
        c.apply(bank);
        const kvfiles::BankRead read = kvfiles::ReadBank(bank);
        ASSERT_EQ(read.refused.has_value(), c.refused != nullptr);
        if (c.refused) {
            EXPECT_NE(read.refused->Message().find(c.refused), std::string::npos) << read.refused->Message();
            continue;
        }
        ASSERT_EQ(read.notes.size(), c.note ? 1u : 0u);
        if (c.note) EXPECT_NE(kvfiles::BankNotesText(read.notes).find(c.note), std::string::npos);
        EXPECT_GE(kvfiles::UsedMemories(read.table), 1);
    }
}

TEST_F(FileVerdicts, BankThroughTheMemoryTableAndBack) {
    const kvfiles::BankRead read = kvfiles::ReadBank(Bank());
    ASSERT_FALSE(read.refused);
    std::strcpy(data_name[5], "STALE");
    data_memoryb[5] = 1;
    kvfiles::BankToMemoryTable(read.table);
    EXPECT_EQ(data_memoryb[5], 0) << "a load replaces every entry";
    EXPECT_STREQ(data_name[5], "<None>");
    EXPECT_EQ(kvfiles::EncodeBank(kvfiles::BankFromMemoryTable(1)), Bank());

    // A restore keeps the table's working program when the bank has none.
    kvfiles::BankTable without = read.table;
    without.entries[0] = kvfiles::EmptyBankTable().entries[0];
    kvfiles::BankToMemoryTable(without, kvfiles::MissingWorkingProgram::kKeep);
    EXPECT_EQ(prog_len[0], static_cast<int>(Image(0, "WORK").size()));
    kvfiles::BankToMemoryTable(without, kvfiles::MissingWorkingProgram::kEmpty);
    EXPECT_EQ(prog_len[0], 0);
    kvfiles::FillWorkingProgramEntry(factory_);
    EXPECT_EQ(prog_save[0][7], 0) << "the model's own image goes in as memory number 0";
}

TEST_F(FileVerdicts, AtomicFileReplacesOnlyOnCommitAndLeavesNothingBehind) {
    const std::string dir = TempPath("dir");
    std::filesystem::create_directory(dir);
    const std::string path = dir + "/bank.ay";
    std::ofstream(path) << "old";
    {
        kvfiles::AtomicFile abandoned;  // e.g. the unit did not answer
        ASSERT_FALSE(abandoned.Open(path));
    }
    EXPECT_EQ(*kvfiles::ReadWholeFile(path, 100), (Bytes{'o', 'l', 'd'}));
    ASSERT_FALSE(kvfiles::WriteFileAtomically(path, {1, 2, 3}));
    EXPECT_EQ(*kvfiles::ReadWholeFile(path, 100), (Bytes{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no temporary left

    struct Refused {
        const char* what;
        std::optional<kvcore::Refusal> refusal;
        const char* reason;
    };
    const Refused refusals[] = {
        {"missing folder", kvfiles::WriteFileAtomically(dir + "/missing/bank.ay", {1}), "No such file"},
        {"a folder as the file", kvfiles::WriteFileAtomically(dir, {1}), "Is a directory"},
        {"over the limit", kvfiles::ReadWholeFile(path, 2).ok() ? std::nullopt
                                                                : std::optional(kvfiles::ReadWholeFile(path, 2).refusal()),
         "longer than 2 bytes"},
        {"read a folder", kvfiles::ReadWholeFile(dir, 2).ok() ? std::nullopt
                                                              : std::optional(kvfiles::ReadWholeFile(dir, 2).refusal()),
         "Is a directory"},
    };
    for (const Refused& r : refusals) {
        ASSERT_TRUE(r.refusal) << r.what;
        EXPECT_NE(r.refusal->reason.find(r.reason), std::string::npos) << r.what << ": " << r.refusal->Message();
        EXPECT_FALSE(r.refusal->place.empty()) << r.what;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    std::filesystem::remove_all(dir);
}

}  // namespace
