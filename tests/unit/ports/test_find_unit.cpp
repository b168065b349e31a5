// Finding the unit: only free ports are asked, in order; the first that
// answers is the one.
#include <errno.h>
#include <unistd.h>

#include <algorithm>

#include <gtest/gtest.h>

#include <map>

#include "fake_system.h"
#include "kvports/find_unit.h"

namespace {

using kvports::ProbeOutcome;

class FindUnitTest : public ::testing::Test {
protected:
    void Add(const std::string& path, unsigned long long rdev) {
        sys.AddDevice(path, rdev);
        kvports::PortInfo p;
        p.path = path;
        ports.push_back(p);
    }
    kvports::FindResult Find(const std::string& held_by_link = {}) {
        return kvports::FindUnit(
            sys, ports,
            [this](const std::string& path, int timeout_ms) {
                asked.push_back(path);
                EXPECT_EQ(timeout_ms, 1000);
                const auto it = answers.find(path);
                return it == answers.end() ? 0 : it->second;
            },
            1000,
            [this](std::size_t i, std::size_t n, const kvports::PortInfo& p) {
                progress.push_back(std::to_string(i) + "/" + std::to_string(n) + " " + p.path);
            },
            held_by_link);
    }

    kvtest::FakePortSystem sys;
    std::vector<kvports::PortInfo> ports;
    std::map<std::string, int> answers;  // the probe's result per path; absent: silent
    std::vector<std::string> asked;
    std::vector<std::string> progress;
};

TEST_F(FindUnitTest, AsksFreePortsOnlyAndPicksTheFirstThatAnswers) {
    Add("/dev/ttyUSB0", 1);  // free, silent
    Add("/dev/ttyUSB1", 2);  // held by minicom: never opened
    Add("/dev/ttyUSB2", 3);  // no permission
    Add("/dev/ttyACM0", 4);  // free, answers
    Add("/dev/ttyS0", 5);    // free when looked at, taken before the probe
    Add("/dev/ttyUSB3", 6);  // answers too, but later
    sys.holders[2] = {{4242, "minicom", false}};
    sys.access["/dev/ttyUSB2"] = EACCES;
    answers = {{"/dev/ttyACM0", 1}, {"/dev/ttyS0", -EBUSY}, {"/dev/ttyUSB3", 1}};

    const kvports::FindResult r = Find();
    EXPECT_EQ(asked, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB3"}));
    ASSERT_EQ(r.results.size(), 6u);
    EXPECT_EQ(r.found, 3);
    const std::pair<ProbeOutcome, const char*> expected[] = {
        {ProbeOutcome::kSilent, "no answer"},
        {ProbeOutcome::kSkipped, "skipped: busy: minicom (PID 4242)"},
        {ProbeOutcome::kSkipped, "skipped: no permission (group dialout)"},
        {ProbeOutcome::kAnswered, "unit answered"},
        {ProbeOutcome::kFailed, "could not be opened: Device or resource busy"},
        {ProbeOutcome::kAnswered, "unit answered"},
    };
    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(ports[i].path);
        EXPECT_EQ(r.results[i].outcome, expected[i].first);
        EXPECT_EQ(kvports::ResultText(r.results[i]), expected[i].second);
        EXPECT_EQ(r.results[i].port.path, ports[i].path);
    }
    EXPECT_EQ(progress.front(), "0/6 /dev/ttyUSB0");
    EXPECT_EQ(progress.back(), "5/6 /dev/ttyUSB3");
    EXPECT_EQ(progress.size(), 6u);
}

TEST_F(FindUnitTest, NobodyAnswersOrNoPortsAtAll) {
    EXPECT_EQ(Find().found, -1);
    EXPECT_TRUE(asked.empty());
    Add("/dev/ttyUSB0", 1);
    sys.open_result["/dev/ttyUSB0"] = EBUSY;  // locked by a program we cannot see
    Add("/dev/ttyUSB1", 2);
    const kvports::FindResult r = Find();
    EXPECT_EQ(r.found, -1);
    EXPECT_EQ(asked, std::vector<std::string>{"/dev/ttyUSB1"});
    EXPECT_EQ(kvports::ResultText(r.results[0]), "skipped: busy: in use by another program");
}

// The port of this program's own link is neither opened nor asked (either
// would disturb the link), yet it is where the unit is, whichever name of
// the device the link was opened by.
TEST_F(FindUnitTest, TheLinksOwnPortIsReportedWithoutBeingOpened) {
    struct Case {
        const char* held;
        int found;
    };
    const Case cases[] = {
        {"/dev/ttyUSB1", 1}, {"/dev/serial/by-id/usb-FTDI_A600-if00-port0", 1},  // the stable name of ttyUSB1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.held);
        ports.clear();
        asked.clear();
        sys.opened.clear();
        Add("/dev/ttyUSB0", 1);  // free, silent
        Add("/dev/ttyUSB1", 2);  // the link's
        Add("/dev/ttyUSB2", 3);  // answers too, later
        sys.AddDevice("/dev/serial/by-id/usb-FTDI_A600-if00-port0", 2, "dialout", "/dev/ttyUSB1");
        answers = {{"/dev/ttyUSB2", 1}};
        const kvports::FindResult r = Find(c.held);
        EXPECT_EQ(asked, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB2"}));
        EXPECT_EQ(std::count(sys.opened.begin(), sys.opened.end(), "/dev/ttyUSB1"), 0);
        EXPECT_EQ(r.found, c.found);
        ASSERT_EQ(r.results.size(), 3u);
        EXPECT_EQ(r.results[1].outcome, ProbeOutcome::kLink);
        EXPECT_EQ(kvports::ResultText(r.results[1]), "unit connected (this program's link)");
        EXPECT_EQ(kvports::StateText(r.results[1].state),
                  "busy: this program (PID " + std::to_string(::getpid()) + ")");
    }
}

}  // namespace
