// The state of a port, its words and advice, and which typed paths may be
// stored as a serial device.
#include <errno.h>

#include <gtest/gtest.h>

#include <cctype>

#include "fake_system.h"
#include "kvports/ports.h"

namespace {

using kvports::Condition;

constexpr unsigned long long kUsb0 = 0xBC00;

struct StateCase {
    const char* name;
    void (*arrange)(kvtest::FakePortSystem&);
    Condition condition;
    const char* text;
    const char* advice_has;  // "" when there is no advice
    bool opened;             // whether the check opened the device
};

const StateCase kStateCases[] = {
    {"free", [](kvtest::FakePortSystem&) {}, Condition::kFree, "free", "", true},
    {"not plugged in", [](kvtest::FakePortSystem& s) { s.nodes.clear(); }, Condition::kMissing,
     "missing: not plugged in", "Plug the adapter in", false},
    {"stable link left behind",
     [](kvtest::FakePortSystem& s) {
         s.nodes.clear();
         s.nodes["/dev/ttyUSB0"].is_link = true;
     },
     Condition::kMissing, "missing: not plugged in", "Plug", false},
    {"no permission", [](kvtest::FakePortSystem& s) { s.access["/dev/ttyUSB0"] = EACCES; }, Condition::kNoPermission,
     "no permission (group dialout)", "sudo usermod -aG dialout $USER, then log out and in", false},
    {"no permission, owned by uucp",
     [](kvtest::FakePortSystem& s) {
         s.access["/dev/ttyUSB0"] = EACCES;
         s.nodes["/dev/ttyUSB0"].group = "uucp";
     },
     Condition::kNoPermission, "no permission (group uucp)", "sudo usermod -aG uucp $USER", false},
    {"no permission, owned by root",
     [](kvtest::FakePortSystem& s) {
         s.access["/dev/ttyUSB0"] = EACCES;
         s.nodes["/dev/ttyUSB0"].group = "root";
     },
     Condition::kNoPermission, "no permission (group root)", "administrator", false},
    {"refused only at the open", [](kvtest::FakePortSystem& s) { s.open_result["/dev/ttyUSB0"] = EPERM; },
     Condition::kNoPermission, "no permission (group dialout)", "usermod", true},
    {"held by a program we can see",
     [](kvtest::FakePortSystem& s) {
         s.holders[kUsb0] = {{4242, "minicom", false}};
     },
     Condition::kBusy, "busy: minicom (PID 4242)", "Close the program", false},
    {"held by two",
     [](kvtest::FakePortSystem& s) {
         s.holders[kUsb0] = {{4242, "minicom", false}, {77, "758", true}};
     },
     Condition::kBusy, "busy: minicom (PID 4242), this program (PID 77)", "Close", false},
    {"held by this program's link",
     [](kvtest::FakePortSystem& s) {
         s.holders[kUsb0] = {{77, "758", true}};
     },
     Condition::kBusy, "busy: this program (PID 77)", "", false},
    {"locked by someone unseen", [](kvtest::FakePortSystem& s) { s.open_result["/dev/ttyUSB0"] = EBUSY; },
     Condition::kBusy, "busy: in use by another program", "Close", true},
    {"unplugged between look and open", [](kvtest::FakePortSystem& s) { s.open_result["/dev/ttyUSB0"] = ENXIO; },
     Condition::kMissing, "missing: not plugged in", "Plug", true},
    {"no serial hardware", [](kvtest::FakePortSystem& s) { s.open_result["/dev/ttyUSB0"] = EIO; }, Condition::kUnusable,
     "unusable: Input/output error", "", true},
    {"a folder", [](kvtest::FakePortSystem& s) { s.nodes["/dev/ttyUSB0"].kind = kvports::NodeInfo::Kind::kDirectory; },
     Condition::kUnusable, "unusable: Is a directory", "", false},
};

class PortStateTable : public ::testing::TestWithParam<StateCase> {};

TEST_P(PortStateTable, ConditionWordsAndAdvice) {
    const StateCase& c = GetParam();
    kvtest::FakePortSystem sys;
    sys.AddDevice("/dev/ttyUSB0", kUsb0);
    c.arrange(sys);
    const kvports::PortState state = kvports::CheckPort(sys, "/dev/ttyUSB0");
    EXPECT_EQ(state.condition, c.condition);
    EXPECT_EQ(kvports::StateText(state), c.text);
    const std::string advice = kvports::StateAdvice(state);
    if (*c.advice_has == '\0') {
        EXPECT_EQ(advice, "");
    } else {
        EXPECT_NE(advice.find(c.advice_has), std::string::npos) << advice;
    }
    // A port that is busy or barred is judged without opening it.
    EXPECT_EQ(!sys.opened.empty(), c.opened);
}

INSTANTIATE_TEST_SUITE_P(Ports, PortStateTable, ::testing::ValuesIn(kStateCases),
                         [](const ::testing::TestParamInfo<StateCase>& i) {
                             std::string n = i.param.name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

TEST(DevicePathProblem, TypedPathsThatCannotBeASerialPort) {
    kvtest::FakePortSystem sys;
    sys.AddDevice("/dev/ttyUSB0", kUsb0);
    sys.AddDevice("/dev/null", 0x103, "root");
    sys.open_result["/dev/null"] = ENOTTY;
    sys.AddDevice("/dev/ttyS3", 0x443);
    sys.open_result["/dev/ttyS3"] = EIO;
    sys.AddDevice("/dev/ttyUSB1", 0xBC01);
    sys.open_result["/dev/ttyUSB1"] = EBUSY;
    sys.AddDevice("/dev/ttyUSB2", 0xBC02);
    sys.open_result["/dev/ttyUSB2"] = EACCES;
    sys.nodes["/tmp"].kind = kvports::NodeInfo::Kind::kDirectory;
    sys.nodes["/home/u/notes.txt"].kind = kvports::NodeInfo::Kind::kOther;
    kvports::NodeInfo& gone = sys.nodes["/dev/serial/by-id/usb-FTDI-if00"];
    gone.is_link = true;
    gone.link_target = "../../ttyUSB7";

    const std::pair<const char*, const char*> cases[] = {
        {"/dev/ttyUSB0", ""},
        {"/dev/ttyUSB1", ""},  // busy: a state, not a wrong path
        {"/dev/ttyUSB2", ""},  // no permission yet: likewise
        {"", "no device is named"},
        {"ttyUSB0", "it is not an absolute path (one starting with /dev/)"},
        {"/dev/null", "it is not a serial port"},
        {"/tmp", "it is a folder, not a device"},
        {"/home/u/notes.txt", "it is not a device"},
        {"/dev/ttyUSB9", "there is no such device"},
        {"/dev/serial/by-id/usb-FTDI-if00",
         "it is a link to ../../ttyUSB7, which is not there (is the adapter plugged in?)"},
        {"/dev/ttyS3", "no serial port hardware answers there"},
    };
    for (const auto& [path, problem] : cases) {
        const auto refused = kvports::DevicePathProblem(sys, path);
        EXPECT_EQ(refused ? refused->reason : "", problem) << path;
        if (refused) EXPECT_EQ(refused->place, path);
    }
}

}  // namespace
