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
    EXPECT_EQ(doc["value"], -2.4);
    EXPECT_EQ(doc["unit"], "dB");
    EXPECT_EQ(doc["text"], "-2.4 dB");

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

// Without --port, kvctl opens the device 758 keeps for its COM port in the
// settings file ([Settings] RS232Port and RS232Device<n>).
TEST(KvctlLine, WithoutPortUsesTheDeviceChosenIn758) {
    SimUnit unit;
    ASSERT_FALSE(unit.path().empty());
    const std::string config = TempFile("config");
    std::filesystem::create_directories(config + "/KALVORE");
    std::ofstream(config + "/KALVORE/KALVORE.conf")
        << "[Settings]\nRS232Port=3\nRS232PortString=COM3\nRS232Device3=" << unit.path() << "\n";
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    for (int n = 1; n <= 4; ++n) ::unsetenv(("KVCOM_COM" + std::to_string(n)).c_str());
    const Result r = Kvctl({"identify"});
    if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(config);
    EXPECT_EQ(r.code, 0) << Described(r);
    EXPECT_NE(r.out.find("COM3 (" + unit.path() + ")"), std::string::npos) << Described(r);
}

// A script computes with what --json prints: it reads a gain as a number,
// adds 1 dB and sets it back; the difference to a saved program and the
// program itself come back as numbers the importer takes again.
TEST(KvctlLine, ScriptsComputeWithJsonNumbers) {
    SimUnit unit;
    ASSERT_EQ(Kvctl({"--port", unit.path(), "set", "out3.gain", "-6dB"}).code, 0);
    const std::string before = TempFile("before.json");
    const Result show = Kvctl({"--port", unit.path(), "--json", "show", "unit"});
    ASSERT_EQ(show.code, 0) << Described(show);
    std::ofstream(before) << show.out;
    const auto program = nlohmann::json::parse(show.out);
    EXPECT_EQ(program["out3"]["gain"], -6.0);
    EXPECT_EQ(program["out3"]["mute"], true);

    const auto got = nlohmann::json::parse(Kvctl({"--port", unit.path(), "--json", "get", "out3.gain"}).out);
    const double louder = got["value"].get<double>() + 1.0;
    const Result set = Kvctl({"--port", unit.path(), "--json", "set", "out3.gain", nlohmann::json(louder).dump()});
    ASSERT_EQ(set.code, 0) << Described(set);
    EXPECT_EQ(nlohmann::json::parse(set.out)["value"], -5.0);
    int gain = 0;
    unit.With([&](kvsim::Device& d) { gain = d.Working().out_gain[2]; });
    EXPECT_EQ(gain, -25);

    // Values as --json prints them go back in as they are.
    const auto hp = nlohmann::json::parse(Kvctl({"--port", unit.path(), "--json", "get", "out2.hp"}).out)["value"];
    nlohmann::json lower = hp;
    lower["freq"] = 80;
    ASSERT_EQ(Kvctl({"--port", unit.path(), "set", "out2.hp", lower.dump()}).code, 0);
    ASSERT_EQ(Kvctl({"--port", unit.path(), "set", "out1.source", "\"In B\""}).code, 0);

    const Result diff = Kvctl({"--port", unit.path(), "--json", "diff", before, "unit"});
    ASSERT_EQ(diff.code, 0) << Described(diff);
    double change = 0;
    int found = 0;
    const auto differences = nlohmann::json::parse(diff.out)["differences"];
    for (const auto& d : differences) {
        if (d["path"] == "out3.gain") {
            change = d["b"].get<double>() - d["a"].get<double>();
            EXPECT_EQ(d["unit"], "dB");
            ++found;
        }
        if (d["path"] == "out2.hp") {
            EXPECT_EQ(d["b"]["freq"], 79.4) << d.dump();  // the table's row nearest 80 Hz
            ++found;
        }
        if (d["path"] == "out1.source") {
            EXPECT_EQ(d["a"], "In A");
            EXPECT_EQ(d["b"], "In B");
            ++found;
        }
    }
    EXPECT_EQ(found, 3) << diff.out;
    EXPECT_DOUBLE_EQ(change, 1.0);
    std::remove(before.c_str());
}
