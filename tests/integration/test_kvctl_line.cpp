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

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "kvctl_process.h"
#include "kvfiles/atomic_file.h"
#include "kvfiles/bank_file.h"

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
    EXPECT_NE(restore.out.find("Wrote memories 2, 17 and 60"), std::string::npos) << restore.out;

    const kvfiles::BankTable a = source.State(), b = target.State();
    for (int m = 1; m <= 60; ++m) {
        EXPECT_EQ(a.entries[m].used, b.entries[m].used) << "memory " << m;
        EXPECT_EQ(a.entries[m].name, b.entries[m].name) << "memory " << m;
        EXPECT_EQ(a.entries[m].image, b.entries[m].image) << "memory " << m;
    }
    EXPECT_EQ(a.entries[0].image, b.entries[0].image) << "working program";
    std::remove(bank.c_str());
}

// Backup, restore into a unit that holds other things, backup again: the
// memories of the bank, its working program and its current memory are the
// unit's again; a memory the bank leaves empty keeps what the unit held,
// and kvctl says so before it asks and when it is done.
TEST(KvctlLine, RestoreBringsTheUnitBackToTheBackupAndSaysWhatStays) {
    SimUnit source;
    source.With([](kvsim::Device& d) {
        CDSDATA program(d.Working());
        program.out_gain[0] = -20;
        d.StoreMemory(2, program, "TWO");
        program.out_delay[3] = 480;
        d.StoreMemory(17, program, "SEVNTEEN");
        kvfiles::BankTable t = d.ExportState();
        t.current = 17;  // recalled, then edited: the working program is not memory 17's
        d.ImportState(t);
        program.out_mute[5] = 1;
        d.SetWorking(program);
    });
    const std::string bank = TempFile("before.ay"), again = TempFile("again.ay");
    ASSERT_EQ(Kvctl({"--port", source.path(), "backup", bank}).code, 0);

    SimUnit target;
    target.With([](kvsim::Device& d) {
        d.StoreMemory(5, d.Working(), "FIVE");
        kvfiles::BankTable t = d.ExportState();
        t.current = 5;
        d.ImportState(t);
    });
    const Result unasked = Kvctl({"--port", target.path(), "restore", bank});
    EXPECT_EQ(unasked.code, 2) << Described(unasked);
    EXPECT_NE(unasked.err.find("memory 17 becomes current again. Memories empty in " + bank +
                               " (1, 3-16 and 18-60) keep what the unit holds there: it has no message that "
                               "empties a memory."),
              std::string::npos)
        << Described(unasked);

    const Result restore = Kvctl({"--port", target.path(), "restore", bank, "--yes"});
    ASSERT_EQ(restore.code, 0) << Described(restore);
    EXPECT_NE(restore.out.find("Wrote memories 2 and 17 of " + bank + " and its working program"), std::string::npos)
        << restore.out;
    EXPECT_NE(restore.out.find("memory 17 is current again. Memories empty in " + bank +
                               " (1, 3-16 and 18-60) kept what the unit held there"),
              std::string::npos)
        << restore.out;
    ASSERT_EQ(Kvctl({"--port", target.path(), "backup", again}).code, 0);

    const kvfiles::BankTable a = kvfiles::ReadBank(*kvfiles::ReadWholeFile(bank, kvfiles::kBankFileMax)).table;
    const kvfiles::BankTable b = kvfiles::ReadBank(*kvfiles::ReadWholeFile(again, kvfiles::kBankFileMax)).table;
    EXPECT_EQ(b.current, 17);
    for (int m : {0, 2, 17}) EXPECT_EQ(a.entries[m].image, b.entries[m].image) << "entry " << m;
    EXPECT_TRUE(b.entries[5].used);  // the unit had no way to empty it
    EXPECT_EQ(b.entries[5].name.substr(0, 4), "FIVE");
    std::remove(bank.c_str());
    std::remove(again.c_str());
}

TEST(KvctlLine, SetThenGetAndVerify) {
    SimUnit unit;
    const Result set = Kvctl({"--port", unit.path(), "set", "out3.gain", "-2.4dB"});
    ASSERT_EQ(set.code, 0) << Described(set);
    EXPECT_TRUE(unit.Eventually([](kvsim::Device& d) { return d.Working().out_gain[2] == -12; }));  // 0.2 dB steps

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
    // What can be refused without the unit is refused before the port is
    // opened: a port that is not there would give 3.
    const std::string none = "/dev/kvctl-no-such-port";
    const std::vector<Case> cases = {
        {{"--port", unit.path(), "identify"}, 0, ""},
        {{"--port", unit.path(), "frobnicate"}, 2, "unknown command 'frobnicate'; the commands are identify, upload,"},
        {{"--port", none, "set", "foo", "1"}, 2, "foo: no such setting"},
        {{"--port", none, "set", "out3.gain", "+40dB"}, 2, "out3.gain"},
        {{"--port", none, "store", "61", "X"}, 2, "memory 61"},
        {{"--port", none, "store", "3", "\xC3\x84"}, 2, "the unit cannot show '\xC3\x84' in a name"},
        {{"--port", none, "backup", ::testing::TempDir()}, 4, "cannot write " + ::testing::TempDir()},
        {{"--port", none, "identify"}, 3, "no device " + none},
        {{"--port", "/tmp", "identify"}, 3, "/tmp is a folder, not a serial port."},
        {{"--port", "/dev/tty", "identify"}, 3, "/dev/tty stands for the terminal of the program that opens it"},
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
    EXPECT_NE(silent.err.find("fetching the working program ..."), std::string::npos) << Described(silent);
    EXPECT_EQ(silent.err.find("done"), std::string::npos) << Described(silent);  // only success is done
    std::remove(cut.c_str());
}

// A reply that is no answer is named for what it is: another device, a
// damaged reply, a memory that holds nothing.
TEST(KvctlLine, RepliesThatAreNoAnswerSayWhatCame) {
    SimUnit unit;
    struct Case {
        const char* what;
        std::function<void(kvsim::Device&)> fault;
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {"another device",
         [](kvsim::Device& d) { d.faults().wrong_device_byte = true; },
         {"identify"},
         "answered as device 5, where the unit answers as device 0"},
        {"a damaged reply",
         [](kvsim::Device& d) { d.faults().corrupt_replies = 1; },
         {"identify"},
         "sent a damaged reply (fetching the working program)"},
        {"an empty memory", [](kvsim::Device&) {}, {"recall", "9"}, "memory 9 of the unit on "},
    };
    for (const Case& c : cases) {
        unit.With([&](kvsim::Device& d) {
            d.faults() = {};
            c.fault(d);
        });
        std::vector<std::string> args = {"--port", unit.path()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Kvctl(args);
        EXPECT_EQ(r.code, 1) << c.what << ": " << Described(r);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << ": " << Described(r);
        EXPECT_EQ(r.err.find("did not answer"), std::string::npos) << c.what << ": " << Described(r);
    }
    const Result empty = Kvctl({"--port", unit.path(), "recall", "9"});
    EXPECT_NE(empty.err.find("is empty; nothing was recalled"), std::string::npos) << Described(empty);
}

// One memory is read as one image, not as the whole list of 60; a store
// with --yes reads no memory at all. It stores any program: here memory 2
// of a bank, under the unit's default name.
TEST(KvctlLine, ReadsOnlyWhatIsAsked) {
    SimUnit unit;
    const std::string bank = TempFile("two.ay");
    unit.With([](kvsim::Device& d) {
        CDSDATA program(d.Working());
        program.out_gain[1] = -10;
        d.StoreMemory(2, program, "TWO");
        d.StoreMemory(4, d.Working(), "FOUR");
    });
    ASSERT_EQ(Kvctl({"--port", unit.path(), "backup", bank}).code, 0);
    unit.Record();
    const struct {
        std::vector<std::string> command;
        int code;
        std::string says;
    } commands[] = {
        {{"show", "memory:4"}, 0, "FOUR"},
        {{"diff", "memory:4", "unit"}, 0, "name  FOUR  ->"},
        {{"store", "5", "", "--from", bank + ":2", "--yes"}, 0, "Stored memory 5 'KALVORE' (the unit's default name"},
        {{"store", "4", "Y"}, 2, ""},  // memory 4 holds FOUR
    };
    for (const auto& c : commands) {
        std::vector<std::string> args = {"--port", unit.path()};
        args.insert(args.end(), c.command.begin(), c.command.end());
        const Result r = Kvctl(args);
        EXPECT_EQ(r.code, c.code) << Described(r);
        EXPECT_NE(r.out.find(c.says), std::string::npos) << Described(r);
    }
    unit.With([](kvsim::Device& d) { EXPECT_EQ(d.Working().out_gain[1], -10); });  // memory 5 is memory 2's program
    std::remove(bank.c_str());
    const kvsim::Bytes dump_request = {0xF0, 0x00, 0x20, 0x18, 0x7F, 0x00, 0xF7};
    const kvsim::Bytes memory_4_request = {0xF0, 0x00, 0x20, 0x18, 0x00, 0x02, 0x04, 0xF7};
    int memory_4_requests = 0;
    for (const kvsim::Bytes& m : unit.Recorded()) {
        EXPECT_NE(m, dump_request) << "a list of all memories was asked for";
        memory_4_requests += m == memory_4_request ? 1 : 0;
    }
    EXPECT_EQ(memory_4_requests, 3);  // show, diff, and the store that refuses to overwrite it
}

// Ctrl+C and SIGTERM: kvctl removes the file it was writing, says what the
// unit holds, and ends with the code of the table (1), not by the signal.
TEST(KvctlLine, InterruptionsRemoveTheFileAndSayWhatTheUnitHolds) {
    SimUnit unit;
    unit.With([](kvsim::Device& d) {
        for (int m : {3, 9, 21}) d.StoreMemory(m, d.Working(), "M" + std::to_string(m));
    });
    const std::string bank = TempFile("whole.ay");
    ASSERT_EQ(Kvctl({"--port", unit.path(), "backup", bank}).code, 0);
    const std::string folder = TempFile("interrupted");
    std::filesystem::create_directory(folder);
    struct Case {
        const char* what;
        int signal;
        int drop_replies;  // the unit keeps kvctl waiting this long
        std::vector<std::string> args;
        int after_ms;
        std::string says;
    };
    const Case cases[] = {
        {"backup, Ctrl+C",
         SIGINT,
         1,
         {"backup", folder + "/b.ay"},
         400,
         "interrupted: nothing was written to " + folder + "/b.ay; the unit was only read"},
        {"upload, SIGTERM",
         SIGTERM,
         1,
         {"upload", folder + "/u.syx"},
         400,
         "interrupted: nothing was written to " + folder + "/u.syx"},
        {"restore, Ctrl+C",
         SIGINT,
         0,
         {"restore", bank, "--yes"},
         2500,
         "interrupted: the restore of " + bank +
             " stopped after 1 of 4 images (memories 60 down to 21; memory 21 "
             "may be incomplete); the unit holds a partial restore"},
    };
    for (const Case& c : cases) {
        unit.With([&](kvsim::Device& d) { d.faults().drop_replies = c.drop_replies; });
        std::vector<std::string> args = {"--port", unit.path()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const kvtest::Running running = kvtest::Start(args);
        std::this_thread::sleep_for(std::chrono::milliseconds(c.after_ms));
        ::kill(running.pid, c.signal);
        const Result r = kvtest::Finish(running);
        EXPECT_EQ(r.code, 1) << c.what << ": " << Described(r);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << ": " << Described(r);
        EXPECT_TRUE(std::filesystem::is_empty(folder)) << c.what << ": a file was left behind";
    }
    std::filesystem::remove_all(folder);
    std::remove(bank.c_str());
}

// The program JSON kvctl writes goes to the unit as a program file does.
TEST(KvctlLine, DownloadTakesTheJsonKvctlWrites) {
    SimUnit unit;
    ASSERT_EQ(Kvctl({"--port", unit.path(), "set", "out4.gain", "-6dB"}).code, 0);
    const std::string json = TempFile("program.json");
    const Result show = Kvctl({"--port", unit.path(), "--json", "show", "unit"});
    ASSERT_EQ(show.code, 0) << Described(show);
    std::ofstream(json) << show.out;
    ASSERT_EQ(Kvctl({"--port", unit.path(), "set", "out4.gain", "0dB"}).code, 0);

    const Result download = Kvctl({"--port", unit.path(), "download", json, "--name", "JSON", "--yes"});
    EXPECT_EQ(download.code, 0) << Described(download);
    unit.With([](kvsim::Device& d) { EXPECT_EQ(d.Working().out_gain[3], -30); });
    std::remove(json.c_str());
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
    EXPECT_TRUE(unit.Eventually([](kvsim::Device& d) { return d.Working().out_gain[2] == -25; }));

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
