// A program in words and the differences between two programs.
#include <gtest/gtest.h>

#include <cstring>

#include "kvprog/describe.h"
#include "kvfiles/program_file.h"
#include "random_program.h"
#include "wire_recorder.h"

namespace {

class Describe : public testing::Test {
protected:
    kvtest::WireRecorder rec;
    CDSDATA a;

    void SetUp() override {
        std::strcpy(a.prog_name, "SHOW3");
        ASSERT_TRUE(kvtest::programs::AddFilter(a, CHAN_IN_A, 0, 60, 36, 5));
    }
    static std::vector<std::string> Paths(const std::vector<kvprog::Difference>& diffs) {
        std::vector<std::string> paths;
        for (const auto& d : diffs) paths.push_back(d.path);
        return paths;
    }
};

TEST_F(Describe, TextHasOneAlignedLinePerSettingGroupedByChannel) {
    const std::string text = kvprog::DescribeText(a);
    // Labels are padded to the longest one, "eq1.width".
    const char* expected_parts[] = {
        "Program\n  name       SHOW3\n  config     Mono\n  link       off\n",
        "In A\n  delay      0.000 ms\n  eq1.type   Low 6\n  eq1.freq   125.0 Hz\n  eq1.gain   3.0 dB\n  eq1.width  "
        "0.30 Oct\nIn B\n",
        "Out 3\n  name       Band 3\n  source     In A\n  gain       +0.0 dB\n  mute       on\n  polarity   normal\n"
        "  limit      +4.0 dBu\n  delay      0.000 ms\n  hp         159.0 Hz, L-R 24\n  lp         500.0 Hz, L-R "
        "24\nOut 4\n",
        "Out 6\n  name       Band 6\n",
        "  lp         Out, L-R 24\n",
    };
    for (const char* part : expected_parts) EXPECT_NE(text.find(part), std::string::npos) << part << "\n---\n" << text;
    EXPECT_EQ(kvprog::Describe(a).size(), 3u + 1 + 4 + 1 + 1 + 6 * 9);
}

TEST_F(Describe, DiffListsEachDifferingSettingInPageOrder) {
    CDSDATA b(a);
    b.out_gain[2] = -12;
    b.ina_delay = 72;
    b.eq_freq[b.ina_eq_slot[0]] = 61;
    ASSERT_TRUE(kvtest::programs::AddFilter(b, 5, 2, 120, 31, 5));
    const auto diffs = kvprog::Diff(a, b);
    EXPECT_EQ(Paths(diffs), (std::vector<std::string>{"ina.delay", "ina.eq1.freq", "out3.gain", "out6.eq1"}));
    ASSERT_EQ(diffs.size(), 4u);
    EXPECT_EQ(diffs[0].channel, "In A");
    EXPECT_EQ(diffs[2].a, "+0.0 dB");
    EXPECT_EQ(diffs[2].b, "-2.4 dB");
    EXPECT_EQ(diffs[3].a, "(empty)");
    EXPECT_EQ(diffs[3].b, "Bell, 1.00k Hz, 0.5 dB, 0.30 Oct");
    const std::string text = kvprog::DiffText(diffs);
    EXPECT_NE(text.find("Out 3\n  out3.gain     +0.0 dB   ->  -2.4 dB\n"), std::string::npos) << text;
}

TEST_F(Describe, SameProgramsHaveNoDifferences) {
    CDSDATA b(a);
    std::strcpy(b.prog_name, "SHOW3  ");  // trailing blanks go out like the end of the name
    b.cur_chan = 3;                       // cursors are no setting
    EXPECT_TRUE(kvprog::Diff(a, b).empty());
    EXPECT_EQ(kvprog::DiffText({}), "No differences.\n");
}

TEST_F(Describe, ReadsAProgramFileImageAndRefusesOtherBytes) {
    std::vector<std::uint8_t> file = {'K', 'V', 0, 0};
    const auto image = kvtest::programs::Image(a);
    file.insert(file.end(), image.begin(), image.end());
    CDSDATA b(a);
    b.InitData();
    ASSERT_FALSE(kvfiles::ReadImage(b, file, 4));
    EXPECT_TRUE(kvprog::Diff(a, b).empty());

    const auto before = kvtest::programs::Image(b);
    const std::vector<std::uint8_t> not_image = kvtest::Hex("F0 00 20 18 00 2D 62 62 00 3F F7");
    EXPECT_TRUE(kvfiles::ReadImage(b, not_image));
    auto cut = image;
    cut.resize(image.size() - 40);
    EXPECT_TRUE(kvfiles::ReadImage(b, cut));
    EXPECT_EQ(kvtest::programs::Image(b), before);
}

}  // namespace
