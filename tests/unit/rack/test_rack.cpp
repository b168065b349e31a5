// The rack file: what it takes and refuses, where, and the units a command
// runs on.
#include <gtest/gtest.h>

#include "kvrack/rack.h"

namespace {

constexpr const char* kRack = R"({"units": [
  {"alias": "main-l", "port": "/dev/serial/by-id/usb-FTDI_FT232R_A600-if00-port0", "groups": ["mains"]},
  {"alias": "main-r", "port": "/dev/ttyUSB1", "groups": ["mains", "left-right"]},
  {"alias": "sub", "port": "/dev/ttyUSB2"}]})";

TEST(Rack, FilesTakenAndRefused) {
    const struct {
        const char* what;
        const char* text;
        const char* place;  // nullptr: taken
        const char* reason;
    } cases[] = {
        {"good", kRack, nullptr, ""},
        {"empty list", R"({"units": []})", nullptr, ""},
        {"not JSON", "{units", "", "not a JSON document"},
        {"no units", "{}", "units", "list of units"},
        {"unknown key", R"({"units": [], "more": 1})", "more", "unknown key"},
        {"unit unknown key", R"({"units": [{"alias": "a", "port": "/dev/x", "baud": 9600}]})", "units[0].baud",
         "unknown key"},
        {"two aliases alike", R"({"units": [{"alias": "a", "port": "/dev/x"}, {"alias": "a", "port": "/dev/y"}]})",
         "units[1].alias", "names two units"},
        {"a port twice", R"({"units": [{"alias": "a", "port": "/dev/x"}, {"alias": "b", "port": "/dev/x"}]})",
         "units[1].port", "listed already, for a"},
        {"alias with a slash", R"({"units": [{"alias": "a/b", "port": "/dev/x"}]})", "units[0].alias",
         "is not an alias"},
        {"no port", R"({"units": [{"alias": "a"}]})", "units[0].port", "serial port"},
        {"group not a name", R"({"units": [{"alias": "a", "port": "/dev/x", "groups": [3]}]})",
         "units[0].groups[0]", "group"},
        {"a unit and a group alike", R"({"units": [{"alias": "a", "port": "/dev/x", "groups": ["a"]}]})", "units",
         "both a unit and a group"},
    };
    for (const auto& c : cases) {
        const auto rack = kvrack::ParseRack(c.text);
        ASSERT_EQ(rack.ok(), c.place == nullptr) << c.what << (rack.ok() ? "" : ": " + rack.refusal().Message());
        if (rack.ok()) {
            EXPECT_EQ(kvrack::ParseRack(kvrack::EncodeRack(*rack))->units.size(), rack->units.size()) << c.what;
            continue;
        }
        EXPECT_EQ(rack.refusal().place, c.place) << c.what;
        EXPECT_NE(rack.refusal().reason.find(c.reason), std::string::npos) << c.what << ": " << rack.refusal().reason;
    }
}

TEST(Rack, SelectingUnits) {
    const kvrack::Rack rack = *kvrack::ParseRack(kRack);
    EXPECT_EQ(rack.Groups(), (std::vector<std::string>{"mains", "left-right"}));
    const struct {
        kvrack::Selection selection;
        std::vector<std::string> aliases;  // empty: refused
    } cases[] = {
        {{{}, "", true}, {"main-l", "main-r", "sub"}},
        {{{}, "mains", false}, {"main-l", "main-r"}},
        {{{"sub", "main-l", "sub"}, "", false}, {"sub", "main-l"}},
        {{{"nobody"}, "", false}, {}},
        {{{}, "nobody", false}, {}},
    };
    for (const auto& c : cases) {
        const auto chosen = kvrack::Select(rack, c.selection);
        ASSERT_EQ(chosen.ok(), !c.aliases.empty());
        if (!chosen) continue;
        std::vector<std::string> aliases;
        for (const auto& u : *chosen) aliases.push_back(u.alias);
        EXPECT_EQ(aliases, c.aliases);
    }
}

TEST(Rack, AliasesMadeFromPorts) {
    std::vector<std::string> taken;
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A600XYZ-if00-port0", "a600xyz"},
        {"/dev/ttyUSB0", "ttyusb0"},
        {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A600XYZ-if01-port0", "a600xyz-2"},
        {"/dev/pts/7", "7"},
    };
    for (const auto& [port, alias] : cases) {
        const std::string made = kvrack::AliasFromPort(port, taken);
        EXPECT_EQ(made, alias) << port;
        EXPECT_TRUE(kvrack::ValidAlias(made));
        taken.push_back(made);
    }
}

}  // namespace
