// kvctl as a user runs it: the real program against the simulator on a
// pseudo-terminal (replies as fast as the terminal takes them; the
// protocol's own pauses stay). Backup and restore between two units, set and
// get, every exit code once, JSON output.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "kvctl_process.h"

namespace {

using kvtest::Described;
using kvtest::Kvctl;
using kvtest::Result;
using kvtest::SimUnit;
using kvtest::TempFile;

TEST(KvctlLine, BackupThenRestoreIntoAnEmptyUnitGivesTheSameMemories) {
    SimUnit source;
    ASSERT_FALSE(source.path().empty());
    source.With([](kvsim::Device& d) {
        CDSDATA program(d.Working());
        program.out_gain[0] = -20;
        d.StoreMemory(2, program, "TWO");
        program.out_delay[3] = 480;
        d.StoreMemory(17, program, "SHOW-17");
        program.ina_delay = 96;
        d.StoreMemory(60, program, "LAST");
        program.out_mute[5] = 1;
        d.SetWorking(program);
    });
    const std::string bank = TempFile("clone.ay");
    const Result backup = Kvctl({"--port", source.path(), "backup", bank});
    ASSERT_EQ(backup.code, 0) << Described(backup);

    SimUnit target;
    const Result restore = Kvctl({"--port", target.path(), "restore", bank, "--yes"});
    ASSERT_EQ(restore.code, 0) << Described(restore);
    EXPECT_NE(restore.out.find("Wrote 3 memories"), std::string::npos) << restore.out;

    const kvfiles::BankTable a = source.State(), b = target.State();
    for (int m = 1; m <= 60; ++m) {
        EXPECT_EQ(a.entries[m].used, b.entries[m].used) << "memory " << m;
        EXPECT_EQ(a.entries[m].name, b.entries[m].name) << "memory " << m;
        EXPECT_EQ(a.entries[m].image, b.entries[m].image) << "memory " << m;
    }
    EXPECT_EQ(a.entries[0].image, b.entries[0].image) << "working program";
    std::remove(bank.c_str());
}

TEST(KvctlLine, SetThenGetAndVerify) {
    SimUnit unit;
    const Result set = Kvctl({"--port", unit.path(), "set", "out3.gain", "-2.4dB"});
    ASSERT_EQ(set.code, 0) << Described(set);
    int gain = 0;
    unit.With([&](kvsim::Device& d) { gain = d.Working().out_gain[2]; });
    EXPECT_EQ(gain, -12);  // 0.2 dB steps

    const Result get = Kvctl({"--port", unit.path(), "--json", "get", "out3.gain"});
    ASSERT_EQ(get.code, 0) << Described(get);
    const auto doc = nlohmann::json::parse(get.out);
    EXPECT_EQ(doc["path"], "out3.gain");
    EXPECT_EQ(doc["value"], "-2.4 dB");

    const Result verified = Kvctl({"--port", unit.path(), "set", "out2.hp", "80Hz", "lr24", "--verify"});
    EXPECT_EQ(verified.code, 2) << Described(verified);  // the value is one word
    const Result hp = Kvctl({"--port", unit.path(), "set", "out2.hp", "80Hz lr24", "--verify"});
    ASSERT_EQ(hp.code, 0) << Described(hp);
    EXPECT_NE(hp.out.find("(verified)"), std::string::npos) << hp.out;
}

TEST(KvctlLine, EachExitCode) {
    SimUnit unit;
    const std::string cut = TempFile("cut.ay");
    {
        const Result backup = Kvctl({"--port", unit.path(), "backup", cut});
        ASSERT_EQ(backup.code, 0) << Described(backup);
        std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 10);
    }
    const unsigned revision_before = [&] {
        unsigned r = 0;
        unit.With([&](kvsim::Device& d) { r = d.StateRevision(); });
        return r;
    }();

    struct Case {
        std::vector<std::string> args;
        int code;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"--port", unit.path(), "identify"}, 0, ""},
        {{"--port", unit.path(), "frobnicate"}, 2, ""},
        {{"--port", unit.path(), "set", "out3.gain", "+40dB"}, 2, "out3.gain"},
        {{"--port", unit.path(), "store", "61", "X"}, 2, "memory 61"},
        {{"--port", "/dev/kvctl-no-such-port", "identify"}, 3, "no device /dev/kvctl-no-such-port"},
        {{"--port", unit.path(), "restore", cut, "--yes"}, 4, cut + " is refused"},
        {{"--port", unit.path(), "show", TempFile("missing.syx")}, 4, "missing.syx"},
    };
    for (const Case& c : cases) {
        const Result r = Kvctl(c.args);
        EXPECT_EQ(r.code, c.code) << Described(r);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << Described(r);
    }
    unit.With(
        [&](kvsim::Device& d) { EXPECT_EQ(d.StateRevision(), revision_before); });  // the refused file sent nothing

    // Busy: another program holds the port; kvctl names it and leaves it alone.
    {
        const int fd = ::open(unit.path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        const Result busy = Kvctl({"--port", unit.path(), "identify"});
        EXPECT_EQ(busy.code, 3) << Described(busy);
        EXPECT_NE(busy.err.find("in use by kvctl_line_test (PID " + std::to_string(getpid()) + ")"), std::string::npos)
            << Described(busy);
        ::close(fd);
    }
    // The unit does not answer.
    unit.With([](kvsim::Device& d) { d.faults().drop_replies = 10; });
    const Result silent = Kvctl({"--port", unit.path(), "identify"});
    EXPECT_EQ(silent.code, 1) << Described(silent);
    EXPECT_NE(silent.err.find("did not answer"), std::string::npos) << Described(silent);
    std::remove(cut.c_str());
}

TEST(KvctlLine, JsonListAndStoreRefusesAUsedMemory) {
    SimUnit unit;
    unit.With([](kvsim::Device& d) { d.StoreMemory(4, d.Working(), "FOUR"); });
    const Result list = Kvctl({"--port", unit.path(), "--json", "list"});
    ASSERT_EQ(list.code, 0) << Described(list);
    const auto doc = nlohmann::json::parse(list.out);
    ASSERT_EQ(doc["memories"].size(), 60u);
    EXPECT_EQ(doc["memories"][3], (nlohmann::json{{"number", 4}, {"name", "FOUR"}, {"used", true}}));
    EXPECT_EQ(doc["memories"][4]["used"], false);

    const Result store = Kvctl({"--port", unit.path(), "store", "4", "OTHER"});
    EXPECT_EQ(store.code, 2) << Described(store);
    EXPECT_NE(store.err.find("memory 4 holds 'FOUR'; add --yes"), std::string::npos) << Described(store);
    unit.With([](kvsim::Device& d) { EXPECT_EQ(d.MemoryAt(4).name.substr(0, 4), "FOUR"); });
}

TEST(KvctlLine, DownloadSendsTheFileMutedAndUnmuteAllOpens) {
    SimUnit unit;
    const std::string file = TempFile("prog.syx");
    const Result upload = Kvctl({"--port", unit.path(), "upload", file});
    ASSERT_EQ(upload.code, 0) << Described(upload);

    const Result unasked = Kvctl({"--port", unit.path(), "download", file});
    EXPECT_EQ(unasked.code, 2) << Described(unasked);  // no terminal to ask on, no --yes
    EXPECT_NE(unasked.err.find("MUTED"), std::string::npos) << Described(unasked);

    const Result download = Kvctl({"--port", unit.path(), "--json", "download", file, "--name", "NEW", "--yes"});
    ASSERT_EQ(download.code, 0) << Described(download);
    EXPECT_EQ(nlohmann::json::parse(download.out)["muted"], true);
    unit.With([](kvsim::Device& d) {
        for (int n = 0; n < KV_OUTPUTS; ++n) EXPECT_EQ(d.Working().out_mute[n], 1) << "out" << n + 1;
        EXPECT_EQ(std::string(d.Working().prog_name).substr(0, 3), "NEW");
    });
    const Result open = Kvctl({"--port", unit.path(), "unmute-all"});
    ASSERT_EQ(open.code, 0) << Described(open);
    unit.With([](kvsim::Device& d) {
        for (int n = 0; n < KV_OUTPUTS; ++n) EXPECT_EQ(d.Working().out_mute[n], 0) << "out" << n + 1;
    });
    std::remove(file.c_str());
}

}  // namespace
