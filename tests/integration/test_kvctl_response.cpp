// kvctl response as a user runs it: from the simulated unit's working
// program, from a program file, as JSON, CSV and text, and its refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "kvctl_process.h"
#include "kvfiles/program_file.h"
#include "kvresponse/response_table.h"
#include "kvresponse/system_response.h"

namespace {

using kvtest::Described;
using kvtest::Kvctl;
using kvtest::Result;
using kvtest::SimUnit;
using kvtest::TempFile;

// "2 Channel 3 Way" as the factory sets it up, every output open, with a
// polarity, a gain and a delay that show in the numbers.
CDSDATA ThreeWay(const CDSDATA& factory) {
    CDSDATA m(factory);
    m.figuration = 1;
    m.InitData();
    for (int n = 0; n < KV_OUTPUTS; ++n) m.out_mute[n] = 0;
    m.out_polarity[2] = 1;
    m.out_gain[4] = -15;
    m.out_delay[1] = 48;
    return m;
}

// The JSON numbers kvctl prints are the library's, rounded.
void ExpectCurve(const nlohmann::json& got, const kvresponse::Curve& want, const std::string& what) {
    const struct {
        const char* key;
        const std::vector<double>* values;
        int decimals;
    } columns[] = {{"db", &want.db, kvresponse::kDbDecimals},
                   {"deg", &want.deg, kvresponse::kDegDecimals},
                   {"gd_ms", &want.gd_ms, kvresponse::kMsDecimals}};
    for (const auto& c : columns) {
        ASSERT_EQ(got[c.key].size(), c.values->size()) << what << " " << c.key;
        for (std::size_t i = 0; i < c.values->size(); ++i)
            EXPECT_DOUBLE_EQ(got[c.key][i].get<double>(), kvresponse::Rounded((*c.values)[i], c.decimals))
                << what << " " << c.key << " " << i;
    }
}

TEST(KvctlResponse, UnitsWorkingProgramAsJsonWithTheDefaultSum) {
    SimUnit unit;
    CDSDATA program;
    unit.With([&](kvsim::Device& d) {
        program = ThreeWay(d.Working());
        d.SetWorking(program);
    });
    const Result r = Kvctl({"--port", unit.path(), "--json", "response", "--points", "50"});
    ASSERT_EQ(r.code, 0) << Described(r);
    const auto doc = nlohmann::json::parse(r.out);

    const kvresponse::ResponseRequest request{kvresponse::LogGrid(10, 20000, 50), {{0, 2, 4}}, {}};
    const kvresponse::SystemCurves want = kvresponse::CurvesOf(kvresponse::ComputeSystemResponse(program, request));
    ASSERT_EQ(doc["frequencies"].size(), 50u);
    EXPECT_EQ(doc["frequencies"].front(), 10.0);
    EXPECT_EQ(doc["frequencies"].back(), 20000.0);
    EXPECT_EQ(doc["sum"]["outputs"], (nlohmann::json{1, 3, 5}));
    ASSERT_EQ(doc["outputs"].size(), 3u);
    for (int n : {0, 2, 4}) ExpectCurve(doc["outputs"][std::to_string(n + 1)], want.outputs[n], "out");
    ExpectCurve(doc["sum"], want.sums[0], "sum");
    EXPECT_NE(r.err.find("not a measurement of the unit"), std::string::npos) << r.err;
}

TEST(KvctlResponse, ProgramFileAsCsvAndText) {
    const std::string file = TempFile("response.syx");
    {
        const auto bytes = kvfiles::EncodeProgramFile(ThreeWay(CDSDATA()));
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const Result csv = Kvctl({"response", file, "--outputs", "2,4,6", "--points", "7", "--csv"});
    ASSERT_EQ(csv.code, 0) << Described(csv);
    std::istringstream lines(csv.out);
    std::string header, line;
    std::getline(lines, header);
    EXPECT_EQ(header,
              "hz,out2_db,out2_deg,out2_gd_ms,out4_db,out4_deg,out4_gd_ms,out6_db,out6_deg,out6_gd_ms,sum_db,sum_deg,"
              "sum_gd_ms");
    int rows = 0;
    std::string last;
    while (std::getline(lines, line)) {
        ++rows;
        last = line;
    }
    EXPECT_EQ(rows, 7);
    // Out 2's delay of 1 ms shows at the top, where its low-pass delays
    // almost nothing.
    std::vector<std::string> fields;
    std::istringstream cells(last);
    for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
    ASSERT_EQ(fields.size(), 13u) << last;
    EXPECT_EQ(fields[0], "20000.000");
    EXPECT_NEAR(std::stod(fields[3]), 1.0, 0.001) << last;

    const Result text = Kvctl({"response", file, "--points", "3"});
    ASSERT_EQ(text.code, 0) << Described(text);
    EXPECT_NE(text.out.find("Sum: Out 1 + Out 3 + Out 5"), std::string::npos) << text.out;
    for (const char* table : {"Level (dB)", "Phase (degrees)", "Group delay (ms)"})
        EXPECT_NE(text.out.find(table), std::string::npos) << text.out;
    std::remove(file.c_str());
}

TEST(KvctlResponse, RefusesWhatItCannotDo) {
    const std::string file = TempFile("refusals.syx");
    {
        const auto bytes = kvfiles::EncodeProgramFile(CDSDATA());
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"response", file, "--outputs", "0"}, 2, "'0' is not an output 1 to 6"},
        {{"response", file, "--outputs", "1,,2"}, 2, "'' is not an output 1 to 6"},
        {{"response", file, "--outputs", "3,3"}, 2, "output 3 twice"},
        {{"response", file, "--points", "1"}, 2, "--points"},
        {{"--json", "response", file, "--csv"}, 2, "--csv and --json"},
        {{"response", "show.txt"}, 2, "show.txt: not a program"},
        {{"response", TempFile("missing.syx")}, 4, "missing.syx"},
        // Factory outputs are muted: said, and nothing summed.
        {{"response", file, "--points", "2"}, 0, "Out 1 is muted"},
    };
    for (const Case& c : cases) {
        const Result r = Kvctl(c.args);
        EXPECT_EQ(r.code, c.code) << Described(r);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << Described(r);
    }
    std::remove(file.c_str());
}

}  // namespace
