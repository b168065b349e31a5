// Protocol messages in words, both directions.
#include <gtest/gtest.h>

#include <cstring>

#include "hex.h"
#include "kvprog/decode.h"
#include "random_program.h"

namespace {

using kvtest::Hex;

TEST(Decode, EveryMessageKindInOneLine) {
    const struct {
        const char* hex;
        const char* line;
    } cases[] = {
        {"F0 00 20 18 00 06 01 F7", "identity request"},
        {"F0 00 20 18 7F 06 01 F7", "identity request, all units"},
        {"F0 00 20 18 00 06 02 03 05 06 F7", "identity reply, unit 0"},
        {"F0 00 20 18 7F 06 0F F7", "store-all prelude"},
        {"F0 00 20 18 7F 00 F7", "memory dump request"},
        {"F0 00 20 18 00 02 00 F7", "program request, working program"},
        {"F0 00 20 18 00 02 05 F7", "program request, memory 5"},
        {"C0 04", "program change 4, memory 5"},
        {"F0 00 20 18 00 2D 01 11 01 F7", "configuration Mono"},
        {"F0 00 20 18 00 2D 01 12 01 02 F7", "configuration 3 Channel 2 Way"},
        {"F0 00 20 18 00 2D 01 02 00 01 F7", "link on"},
        {"F0 00 20 18 00 2D 01 03 01 41 F7", "name character 3 'A'"},
        {"F0 00 20 18 00 2D 01 0B 01 05 F7", "store, memory 5"},
        {"F0 00 20 18 00 2D 21 20 00 20 1C 01 F7", "In B delay 416.667 ms"},
        {"F0 00 20 18 00 2D 22 20 00 48 F7", "In SUM A+B delay 1.500 ms"},
        {"F0 00 20 18 00 2D 20 2A 00 02 02 F7", "In A EQ 1 type Bell"},
        {"F0 00 20 18 00 2D 20 2B 00 01 02 04 F7", "In A EQ 2 freq 1.41k Hz"},
        {"F0 00 20 18 00 2D 21 2C 00 1F 06 F7", "In B EQ 3 gain 0.5 dB"},
        {"F0 00 20 18 00 2D 20 2D 00 05 02 F7", "In A EQ 1 width 0.30 Oct"},
        {"F0 00 20 18 00 2D 20 1A 01 F7", "In A EQ assign"},
        {"F0 00 20 18 00 2D 61 61 00 00 F7", "Out 2 source In A"},
        {"F0 00 20 18 00 2D 62 62 00 3F F7", "Out 3 gain -2.4 dB"},
        {"F0 00 20 18 00 2D 60 62 00 16 01 F7", "Out 1 gain +15.0 dB"},
        {"F0 00 20 18 00 2D 62 63 00 46 F7", "Out 3 limit +4.0 dBu"},
        {"F0 00 20 18 00 2D 65 64 00 48 F7", "Out 6 delay 1.500 ms"},
        {"F0 00 20 18 00 2D 62 66 00 01 F7", "Out 3 polarity 180"},
        {"F0 00 20 18 00 2D 62 67 00 07 F7", "Out 3 high-pass type L-R 24"},
        {"F0 00 20 18 00 2D 62 68 00 F7", "Out 3 high-pass Out"},
        {"F0 00 20 18 00 2D 62 69 00 09 F7", "Out 3 low-pass type L-R 48"},
        {"F0 00 20 18 00 2D 62 6A 00 49 01 F7", "Out 3 low-pass Out"},
        {"F0 00 20 18 00 2D 62 6C 00 04 04 F7", "Out 3 EQ 2 type High 12"},
        {"F0 00 20 18 00 2D 61 6D 00 02 03 F7", "Out 2 EQ 1 freq 1.41k Hz"},
        {"F0 00 20 18 00 2D 62 6E 00 24 02 F7", "Out 3 EQ 1 gain 3.0 dB"},
        {"F0 00 20 18 00 2D 62 6F 00 3B 18 F7", "Out 3 EQ 12 width 3.00 Oct"},
        {"F0 00 20 18 00 2D 62 70 00 01 F7", "Out 3 mute on"},
        {"F0 00 20 18 00 2D 62 70 00 F7", "Out 3 mute off"},
        {"F0 00 20 18 00 2D 62 1A 01 F7", "Out 3 EQ assign"},
        {"F0 00 20 18 00 2D 62 17 01 F7", "Out 3 EQ trailer 17"},
        {"F0 00 20 18 00 2D 66 62 00 3F F7", "unknown message F0 00 20 18 00 2D 66 62 00 3F F7"},
        {"F0 00 20 18 00 33 F7", "unknown message F0 00 20 18 00 33 F7"},
        {"F0 F7", "unknown message F0 F7"},
        {"90 40 7F", "unknown message 90 40 7F"},
        {"F0 00 20 18 00 2B 03 00 03 07 09 07 03 07 04 07 00 00 04 00 0F 0F 00 00 00 00 09 00 00 00 0A 00 00 00 0A 00 "
         "00 00 0A 00 00 00 09 00 00 00 09 00 00 00 00 00 00 00 0F 01 00 00 01 00 00 00 00 00 04 00 00 00 00 00 00 00 "
         "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 0F 0F 0F 0F 5B F7",
         "system block, 106 bytes, current memory 1"},
    };
    for (const auto& c : cases) EXPECT_EQ(kvprog::DecodeMessage(Hex(c.hex)), c.line) << c.hex;
}

TEST(Decode, ProgramImageWithItsMemoryAndName) {
    CDSDATA m;
    std::strcpy(m.prog_name, "SHOW3");
    m.mem_num = 5;
    m.eq_owner[0] = 2;
    m.out_eq_slot[2][0] = 0;
    m.eq_used = 1;
    auto image = kvtest::programs::Image(m);
    ASSERT_EQ(image.size(), 522u);
    EXPECT_EQ(kvprog::DecodeMessage(image), "program image, 522 bytes, memory 5 'SHOW3'");
    image[200] ^= 0x01;
    EXPECT_EQ(kvprog::DecodeMessage(image), "program image, 522 bytes, memory 5 'SHOW3', bad checksum");
}

TEST(Decode, LinkRepeatsFollowTheMessageTheyRepeat) {
    const struct {
        std::vector<const char*> stream;
        const char* last_line;
    } cases[] = {
        {{"F0 00 20 18 00 2D 60 62 00 3F F7", "F0 00 20 18 00 2D 61 62 00 3F F7"}, "Out 1&2 link repeat"},
        {{"F0 00 20 18 00 2D 63 66 00 01 F7", "F0 00 20 18 00 2D 65 66 00 01 F7"}, "Out 4&6 link repeat"},
        {{"F0 00 20 18 00 2D 20 2C 00 1F 02 F7", "F0 00 20 18 00 2D 21 2C 00 1F 02 F7"}, "In A&B link repeat"},
        // Not partners under any configuration.
        {{"F0 00 20 18 00 2D 62 62 00 3F F7", "F0 00 20 18 00 2D 65 62 00 3F F7"}, "Out 6 gain -2.4 dB"},
        // The pages send the partner's mute themselves; it is no repeat.
        {{"F0 00 20 18 00 2D 60 70 00 01 F7", "F0 00 20 18 00 2D 61 70 00 01 F7"}, "Out 2 mute on"},
        {{"F0 00 20 18 00 2D 60 62 00 3F F7", "F0 00 20 18 00 2D 61 62 00 40 F7"}, "Out 2 gain -2.2 dB"},
    };
    for (const auto& c : cases) {
        kvprog::MessageDecoder decoder;
        std::string line;
        for (const char* hex : c.stream) line = decoder.Decode(Hex(hex));
        EXPECT_EQ(line, c.last_line) << c.stream.back();
    }
}

}  // namespace
