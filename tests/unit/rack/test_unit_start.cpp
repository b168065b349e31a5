// 758 for one unit: the options that choose it, and the unit and port they
// name against a rack, with the refusals a user reads at start-up.
#include <gtest/gtest.h>

#include <map>

#include "kvrack/unit_start.h"

namespace {

using Args = std::vector<std::string>;

TEST(UnitStart, OptionsTakenAndRefused) {
    const struct {
        Args args;
        const char* unit;
        const char* port;
        const char* rack;
        Args rest;
        const char* refused_place;  // nullptr: taken
        const char* reason;
    } cases[] = {
        {{}, "", "", "", {}, nullptr, ""},
        {{"show.syx"}, "", "", "", {"show.syx"}, nullptr, ""},
        {{"--unit", "main-l"}, "main-l", "", "", {}, nullptr, ""},
        {{"--unit=main-l", "show.syx"}, "main-l", "", "", {"show.syx"}, nullptr, ""},
        {{"show.syx", "--rack", "/r.json", "--unit", "sub"}, "sub", "", "/r.json", {"show.syx"}, nullptr, ""},
        {{"--port", "/dev/ttyUSB1"}, "", "/dev/ttyUSB1", "", {}, nullptr, ""},
        {{"--port=COM2", "--rack=/r.json"}, "", "COM2", "/r.json", {}, nullptr, ""},
        // After "--" every word is a file, even one that looks like an option.
        {{"--unit", "a", "--", "--port"}, "a", "", "", {"--port"}, nullptr, ""},
        // Someone else's options stay for the rest of start-up.
        {{"--units", "a"}, "", "", "", {"--units", "a"}, nullptr, ""},
        {{"--unit"}, nullptr, nullptr, nullptr, {}, "--unit", "needs a value"},
        {{"--unit", "--port", "/dev/x"}, nullptr, nullptr, nullptr, {}, "--unit", "needs a value"},
        {{"--unit="}, nullptr, nullptr, nullptr, {}, "--unit", "needs a value"},
        {{"--port", ""}, nullptr, nullptr, nullptr, {}, "--port", "needs a value"},
        {{"--unit", "a", "--unit", "b"}, nullptr, nullptr, nullptr, {}, "--unit", "given twice"},
        {{"--unit", "a", "--port", "/dev/x"}, nullptr, nullptr, nullptr, {}, "--unit", "cannot go together"},
        {{"--rack", "/r.json"}, nullptr, nullptr, nullptr, {}, "--rack", "only with --unit"},
    };
    for (const auto& c : cases) {
        std::string what;
        for (const auto& a : c.args) what += a + " ";
        const auto options = kvrack::TakeUnitOptions(c.args);
        ASSERT_EQ(options.ok(), c.refused_place == nullptr)
            << what << (options.ok() ? "" : ": " + options.refusal().Message());
        if (!options) {
            EXPECT_EQ(options.refusal().place, c.refused_place) << what;
            EXPECT_NE(options.refusal().reason.find(c.reason), std::string::npos) << what << options.refusal().reason;
            continue;
        }
        EXPECT_EQ(options->unit, c.unit) << what;
        EXPECT_EQ(options->port, c.port) << what;
        EXPECT_EQ(options->rack_file, c.rack) << what;
        EXPECT_EQ(options->rest, c.rest) << what;
        EXPECT_EQ(options->ForOneUnit(), *c.unit != '\0' || *c.port != '\0') << what;
    }
}

TEST(UnitStart, UnitsAndTheirRefusals) {
    // The rack files of this test, by path; any other path cannot be read.
    const std::map<std::string, std::string> files = {
        {"/home/rack.json", R"({"units": [
            {"alias": "main-l", "port": "/dev/serial/by-id/usb-FTDI_A600-if00-port0"},
            {"alias": "sub", "port": "/dev/ttyUSB2"}]})"},
        {"/home/empty.json", R"({"units": []})"},
        {"/home/bad.json", R"({"units": [{"alias": "a b", "port": "/dev/x"}]})"},
    };
    const kvrack::RackReader read = [&](const std::string& path) -> kvcore::Result<kvrack::Rack> {
        const auto it = files.find(path);
        if (it == files.end()) return kvcore::Refusal{path, "cannot be read"};
        auto rack = kvrack::ParseRack(it->second);
        if (!rack) return kvcore::Refusal{path + ": " + rack.refusal().place, rack.refusal().reason};
        return rack;
    };
    // The adapter of main-l is /dev/ttyUSB0 today.
    const kvrack::PortKey key = [](const std::string& port) {
        return port == "/dev/serial/by-id/usb-FTDI_A600-if00-port0" ? std::string("/dev/ttyUSB0") : port;
    };
    const struct {
        kvrack::UnitOptions options;
        std::string default_rack;
        const char* alias;  // nullptr: refused
        const char* port;
        const char* title;
        const char* refused;  // the refusal's message holds this
    } cases[] = {
        {{"main-l", "", "", {}},
         "/home/rack.json",
         "main-l",
         "/dev/serial/by-id/usb-FTDI_A600-if00-port0",
         "main-l (/dev/serial/by-id/usb-FTDI_A600-if00-port0)",
         ""},
        {{"sub", "", "/home/rack.json", {}}, "/elsewhere.json", "sub", "/dev/ttyUSB2", "sub (/dev/ttyUSB2)", ""},
        {{"main-r", "", "", {}},
         "/home/rack.json",
         nullptr,
         nullptr,
         nullptr,
         "/home/rack.json: the rack has no unit 'main-r' (its units: main-l, sub)"},
        {{"main-l", "", "", {}},
         "/home/empty.json",
         nullptr,
         nullptr,
         nullptr,
         "/home/empty.json: the rack has no unit 'main-l' (it names none)"},
        {{"main-l", "", "", {}}, "/home/missing.json", nullptr, nullptr, nullptr, "/home/missing.json: cannot be read"},
        {{"main-l", "", "/home/bad.json", {}},
         "/home/rack.json",
         nullptr,
         nullptr,
         nullptr,
         "/home/bad.json: units[0].alias: 'a b' is not an alias"},
        {{"main-l", "", "", {}}, "", nullptr, nullptr, nullptr, "--unit: there is no rack file"},
        // --port: the rack lends the alias of the unit on the same device.
        {{"", "/dev/ttyUSB2", "", {}}, "/home/rack.json", "sub", "/dev/ttyUSB2", "sub (/dev/ttyUSB2)", ""},
        {{"", "/dev/ttyUSB0", "", {}}, "/home/rack.json", "main-l", "/dev/ttyUSB0", "main-l (/dev/ttyUSB0)", ""},
        {{"", "/dev/ttyUSB5", "", {}}, "/home/rack.json", "", "/dev/ttyUSB5", "/dev/ttyUSB5", ""},
        // Without a rack of its own, a port needs none.
        {{"", "/dev/ttyUSB5", "", {}}, "/home/missing.json", "", "/dev/ttyUSB5", "/dev/ttyUSB5", ""},
        {{"", "/dev/ttyUSB5", "", {}}, "/home/bad.json", "", "/dev/ttyUSB5", "/dev/ttyUSB5", ""},
        {{"", "/dev/ttyUSB5", "", {}}, "", "", "/dev/ttyUSB5", "/dev/ttyUSB5", ""},
        // A rack named on the command line must be good.
        {{"", "/dev/ttyUSB5", "/home/missing.json", {}},
         "/home/rack.json",
         nullptr,
         nullptr,
         nullptr,
         "/home/missing.json: cannot be read"},
    };
    for (const auto& c : cases) {
        const std::string what =
            c.options.unit + "|" + c.options.port + "|" + c.options.rack_file + "|" + c.default_rack;
        const auto unit = kvrack::ResolveUnit(c.options, c.default_rack, read, key);
        ASSERT_EQ(unit.ok(), c.alias != nullptr) << what << (unit.ok() ? "" : ": " + unit.refusal().Message());
        if (!unit) {
            EXPECT_NE(unit.refusal().Message().find(c.refused), std::string::npos)
                << what << ": " << unit.refusal().Message();
            continue;
        }
        EXPECT_EQ(unit->alias, c.alias) << what;
        EXPECT_EQ(unit->port, c.port) << what;
        EXPECT_EQ(kvrack::UnitTitle(*unit), c.title) << what;
    }
}

}  // namespace
