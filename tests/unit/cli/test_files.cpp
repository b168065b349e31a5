// kvctl's side of its files: a refusal of the codec or the writer becomes
// the file problem's exit code and names the file.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "failure.h"
#include "file_io.h"
#include "kvfiles/bank_file.h"
#include "session.h"

namespace {

TEST(Files, RefusalsBecomeFileProblemsNamingTheFile) {
    const std::string dir = ::testing::TempDir() + "kvctl_files_" + std::to_string(getpid());
    std::filesystem::create_directory(dir);
    const std::string cut = dir + "/cut.ay";
    std::vector<std::uint8_t> bank = kvfiles::EncodeBank(kvfiles::EmptyBankTable());
    bank.resize(bank.size() - 1);
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bank.data()), bank.size());

    kvctl::Options options;
    options.quiet = true;
    const kvctl::Session session(options);
    struct Case {
        const char* what;
        std::function<void()> run;
        std::string starts;
    };
    const Case cases[] = {
        {"cut bank to restore", [&] { kvctl::ReadBankFile(session, cut, kvctl::BankUse::kRestore); },
         cut + " is refused: "},
        {"missing program file", [&] { kvctl::ReadProgramFile(session, dir + "/none.syx", session.factory()); },
         "cannot read " + dir + "/none.syx: "},
        {"writer in a missing folder", [&] { kvctl::FileWriter(dir + "/missing/bank.ay"); },
         "cannot write " + dir + "/missing/bank.ay: "},
        {"file over the limit", [&] { kvctl::ReadWholeFile(cut, 2); }, "cannot read " + cut + ": longer than 2"},
    };
    for (const Case& c : cases) {
        try {
            c.run();
            ADD_FAILURE() << c.what << " was taken";
        } catch (const kvctl::Failure& f) {
            EXPECT_EQ(f.code(), kvctl::kExitFile) << c.what;
            EXPECT_EQ(std::string(f.what()).rfind(c.starts, 0), 0u) << c.what << ": " << f.what();
        }
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
