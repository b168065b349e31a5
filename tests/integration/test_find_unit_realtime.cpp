// Find unit on real pseudo-terminals: one silent, one with the simulator
// behind it. Each silent port costs its full second.
#include <gtest/gtest.h>

#include <kvcom/kvcom.h>

#include <chrono>

#include "kvports/find_unit.h"
#include "pty_pair.h"
#include "pty_port_system.h"
#include "pty_server.h"

namespace {

using Clock = std::chrono::steady_clock;

kvports::PortInfo At(const std::string& path) {
    kvports::PortInfo p;
    p.path = path;
    return p;
}

TEST(FindUnitRealtime, FindsTheSimulatorBesideASilentPort) {
    kvtest::PtyPair silent;
    ASSERT_TRUE(silent.ok());
    kvsim::Device device;
    kvsim::PtyServer server(device);
    const std::string sim_path = server.Start();
    ASSERT_FALSE(sim_path.empty());

    kvtest::PtyPortSystem sys;
    const std::vector<kvports::PortInfo> ports = {At(silent.slave_path()), At(sim_path)};
    const auto start = Clock::now();
    const kvports::FindResult r = kvports::FindUnit(
        sys, ports, [](const std::string& path, int ms) { return ProbeUnit(path.c_str(), ms); }, 1000);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();

    ASSERT_EQ(r.results.size(), 2u);
    EXPECT_EQ(r.results[0].outcome, kvports::ProbeOutcome::kSilent);
    EXPECT_EQ(r.results[1].outcome, kvports::ProbeOutcome::kAnswered);
    EXPECT_EQ(r.found, 1);
    // The silent port waits its second; the simulator answers at line rate.
    EXPECT_GE(took, 1000);
    EXPECT_LT(took, 1600);
    // The silent port heard exactly the identity request.
    EXPECT_EQ(silent.Receive(8, 200), kvtest::Hex("0F FF DF E7 FF F9 FE 08"));
}

}  // namespace
