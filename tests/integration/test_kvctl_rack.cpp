// kvctl over a rack of three simulated units: a backup of all of them,
// one pulled in the middle of it that fails alone, a program cloned to all,
// and the one JSON document with an entry per unit.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <nlohmann/json.hpp>
#include <thread>

#include "kvctl_process.h"
#include "kvfiles/atomic_file.h"
#include "kvfiles/bank_file.h"
#include "kvfiles/program_file.h"

namespace {

using kvtest::Kvctl;

// Three units on their own pseudo-terminals, and the rack file that names
// them main-l and main-r (group mains) and sub.
class Rack : public ::testing::Test {
protected:
    void SetUp() override { Build(false); }

    void Build(bool line_rate) {
        servers_.clear();
        dir_ = kvtest::TempFile("rack");
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        const char* aliases[] = {"main-l", "main-r", "sub"};
        std::string units;
        for (int i = 0; i < 3; ++i) {
            kvsim::PtyOptions o;
            o.line_rate = line_rate;
            auto& s = servers_.emplace_back(std::make_unique<Unit>(o));
            s->alias = aliases[i];
            s->path = s->server.Start();
            ASSERT_FALSE(s->path.empty());
            // A few memories, so a backup has something to carry.
            s->server.WithDevice([&](kvsim::Device& d) {
                for (int m = 1; m <= 6; ++m) {
                    CDSDATA p(d.Working());
                    p.out_gain[m % 6] = i * 10 - m;
                    d.StoreMemory(m, p, std::string(aliases[i]).substr(0, 4) + std::to_string(m));
                }
            });
            units += std::string(i ? "," : "") + R"({"alias": ")" + aliases[i] + R"(", "port": ")" + s->path +
                     R"(", "groups": [")" + (i < 2 ? "mains" : "subs") + R"("]})";
        }
        rack_ = dir_ + "/rack.json";
        std::ofstream(rack_) << R"({"units": [)" << units << "]}";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    struct Unit {
        explicit Unit(kvsim::PtyOptions o) : server(device, o) {}
        kvsim::Device device;
        kvsim::PtyServer server;
        std::string alias, path;
    };
    std::vector<std::unique_ptr<Unit>> servers_;
    std::string dir_, rack_;
};

TEST_F(Rack, BackupOfEveryUnitOneBankEachAndAnIndex) {
    const auto r = Kvctl({"--rack", rack_, "--all", "--quiet", "backup", dir_ + "/show"});
    ASSERT_EQ(r.code, 0) << kvtest::Described(r);
    for (const auto& u : servers_) {
        const auto bytes = kvfiles::ReadWholeFile(dir_ + "/show/" + u->alias + ".ay", kvfiles::kBankFileMax);
        ASSERT_TRUE(bytes.ok()) << u->alias;
        const kvfiles::BankRead bank = kvfiles::ReadBank(*bytes);
        ASSERT_FALSE(bank.refused) << u->alias;
        EXPECT_TRUE(bank.notes.empty()) << u->alias;
        std::string name = u->alias.substr(0, 4) + "3";
        name.resize(8, ' ');
        EXPECT_EQ(bank.table.entries[3].name, name) << u->alias;
    }
    const auto index = nlohmann::json::parse(std::ifstream(dir_ + "/show/index.json"));
    ASSERT_EQ(index["units"].size(), 3u);
    EXPECT_EQ(index["units"][1]["alias"], "main-r");
    EXPECT_EQ(index["units"][1]["port"], servers_[1]->path);
    EXPECT_TRUE(index.contains("time"));
}

TEST_F(Rack, AUnitPulledInTheMiddleFailsAlone) {
    Build(true);  // at line rate a backup takes long enough to pull a unit
    auto backup = std::async(std::launch::async,
                             [&] { return Kvctl({"--rack", rack_, "--all", "--quiet", "backup", dir_ + "/show"}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    servers_[1]->server.Stop();
    const auto r = backup.get();
    EXPECT_EQ(r.code, 1) << kvtest::Described(r);
    EXPECT_NE(r.err.find("1 of 3 units failed: main-r"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/show/main-r.ay")) << "a failed backup leaves no bank";
    for (const char* whole : {"main-l", "sub"}) {
        const auto bytes = kvfiles::ReadWholeFile(dir_ + "/show/" + whole + ".ay", kvfiles::kBankFileMax);
        ASSERT_TRUE(bytes.ok()) << whole;
        const kvfiles::BankRead bank = kvfiles::ReadBank(*bytes);
        EXPECT_FALSE(bank.refused) << whole;
        EXPECT_TRUE(bank.notes.empty()) << whole;
    }
    EXPECT_EQ(nlohmann::json::parse(std::ifstream(dir_ + "/show/index.json"))["units"][1]["written"], false);
}

TEST_F(Rack, CloneToAGroupAndOneDocument) {
    CDSDATA program(servers_[2]->device.Working());
    program.out_gain[2] = -20;
    std::strcpy(program.prog_name, "CLONE");
    const std::string file = dir_ + "/clone.syx";
    ASSERT_FALSE(kvfiles::WriteFileAtomically(file, kvfiles::EncodeProgramFile(program)));
    const auto r = Kvctl({"--rack", rack_, "--group", "mains", "--json", "download", file, "--yes"});
    ASSERT_EQ(r.code, 0) << kvtest::Described(r);
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc["units"].size(), 2u);
    for (int i = 0; i < 3; ++i) {
        int gain = 0;
        servers_[std::size_t(i)]->server.WithDevice([&](kvsim::Device& d) { gain = d.Working().out_gain[2]; });
        EXPECT_EQ(gain == -20, i < 2) << servers_[std::size_t(i)]->alias << ": only the group is written";
    }
    EXPECT_EQ(doc["units"]["main-l"]["exit"], 0);

    const auto diff = Kvctl({"--rack", rack_, "--all", "--json", "diff", "out3.gain"});
    ASSERT_EQ(diff.code, 0) << kvtest::Described(diff);
    const auto values = nlohmann::json::parse(diff.out)["differences"][0]["values"];
    EXPECT_EQ(values["main-r"], -4.0);
    EXPECT_NE(values["sub"], -4.0);

    const auto unknown = Kvctl({"--rack", rack_, "--units", "main-l,nobody", "identify"});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.err.find("no unit 'nobody'"), std::string::npos) << unknown.err;
}

}  // namespace
