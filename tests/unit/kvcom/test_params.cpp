// Parameter messages: the bytes of every code, the link repeats, the
// trailers and the pauses between them, recorded without real waiting.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <functional>
#include <string>
#include <vector>

#include "param_wire.h"

namespace {

using namespace kvtest::param_wire;

const WireEvent kIdentityRequest = Msg("F0 00 20 18 00 06 01 F7");

// Puts a filter of `owner` in pool row `row`, edited in slot `slot`.
void EditFilter(CDSDATA& m, int owner, int row, int slot) {
    m.eq_owner[row] = owner;
    m.cur_eq = row;
    m.cur_slot = slot;
    if (owner < KV_OUTPUTS) m.cur_chan = owner;
}

struct CatalogueCase {
    const char* what;
    int code;
    std::function<void(CDSDATA&)> setup;
    Events expected;
};

// Every code of the catalogue, link off: one message, its pause and the
// trailer that belongs to the code.
const std::vector<CatalogueCase>& Catalogue() {
    static const std::vector<CatalogueCase> cases = {
        {"link on", PC_LINK, [](CDSDATA& m) { m.link_on = 7; }, {Param("01 02 00 01"), SleepMs(10)}},
        {"link off", PC_LINK, [](CDSDATA&) {}, {Param("01 02 00"), SleepMs(10)}},
        {"figuration Mono",
         PC_FIGURATION,
         [](CDSDATA&) {},
         {Param("01 11 01"), SleepMs(10), SpinUs(500), kIdentityRequest, SpinUs(50000)}},
        {"figuration 2 Channel 3 Way",
         PC_FIGURATION,
         [](CDSDATA& m) { m.figuration = 1; },
         {Msg("F0 00 20 18 00 2D 01 12 01 01 F7"), SleepMs(10), SpinUs(500), kIdentityRequest, SpinUs(50000)}},
        {"figuration 3 Channel 2 Way",
         PC_FIGURATION,
         [](CDSDATA& m) { m.figuration = 2; },
         {Msg("F0 00 20 18 00 2D 01 12 01 02 F7"), SleepMs(10), SpinUs(500), kIdentityRequest, SpinUs(50000)}},
        {"output EQ assign",
         PC_OUT_EQ_ASSIGN,
         [](CDSDATA& m) { m.cur_chan = 3; },
         {Param("63 1A 01"), SleepMs(10), SleepMs(500), Param("63 17 01"), SpinUs(30000)}},
        {"input EQ assign",
         PC_IN_EQ_ASSIGN,
         [](CDSDATA& m) {
             EditFilter(m, CHAN_IN_A, 4, 0);
             m.cur_chan = CHAN_IN_A;
         },
         {Param("20 1A 01"), SleepMs(10), SleepMs(500), Param("20 17 01"), SpinUs(30000)}},
        {"In A delay 300", PC_INA_DELAY, [](CDSDATA& m) { m.ina_delay = 300; }, {Param("20 20 00 2C 02"), SleepMs(10)}},
        {"In B delay 20000",
         PC_INB_DELAY,
         [](CDSDATA& m) { m.inb_delay = 20000; },
         {Msg("F0 00 20 18 00 2D 21 20 00 20 1C 01 F7"), SleepMs(10)}},
        {"In SUM delay 30500",
         PC_SUM_DELAY,
         [](CDSDATA& m) { m.sum_delay = 30500; },
         {Param("22 20 00 24 6E 01"), SleepMs(10)}},
        {"In SUM delay 0", PC_SUM_DELAY, [](CDSDATA&) {}, {Param("22 20 00"), SleepMs(10)}},
        {"input EQ type, In B slot 0",
         PC_IN_EQ_TYPE,
         [](CDSDATA& m) {
             EditFilter(m, CHAN_IN_B, 3, 0);
             m.eq_type[3] = 4;
         },
         {Param("21 2A 00 04 02"), SleepMs(10)}},
        {"input EQ frequency 130, In A slot 1",
         PC_IN_EQ_FREQ,
         [](CDSDATA& m) {
             EditFilter(m, CHAN_IN_A, 0, 1);
             m.eq_freq[0] = 130;
         },
         {Msg("F0 00 20 18 00 2D 20 2B 00 01 02 04 F7"), SleepMs(10)}},
        {"input EQ frequency 5: the zero high group still goes out",
         PC_IN_EQ_FREQ,
         [](CDSDATA& m) {
             EditFilter(m, CHAN_IN_A, 0, 0);
             m.eq_freq[0] = 5;
         },
         {Param("20 2B 00 00 05 02"), SleepMs(10)}},
        {"input EQ gain 0, slot 2",
         PC_IN_EQ_GAIN,
         [](CDSDATA& m) {
             EditFilter(m, CHAN_IN_A, 6, 2);
             m.eq_gain[6] = 0;
         },
         {Param("20 2C 00 00 06"), SleepMs(10), SleepMs(500), Param("20 1A 01"), SpinUs(30000)}},
        {"input EQ width 59, slot 38",
         PC_IN_EQ_BW,
         [](CDSDATA& m) {
             EditFilter(m, CHAN_IN_B, 38, 38);
             m.eq_bw[38] = 59;
         },
         {Param("21 2D 00 3B 4E"), SleepMs(10)}},
        {"output source In SUM",
         PC_OUT_SOURCE,
         [](CDSDATA& m) {
             m.cur_chan = 4;
             m.out_source[4] = 2;
         },
         {Param("64 61 00 02"), SleepMs(10)}},
        {"output source In A has no data byte",
         PC_OUT_SOURCE,
         [](CDSDATA& m) { m.cur_chan = 4; },
         {Param("64 61 00"), SleepMs(10)}},
        {"Out 1 gain 0 dB", PC_OUT_GAIN, [](CDSDATA&) {}, {Msg("F0 00 20 18 00 2D 60 62 00 4B F7"), SleepMs(10)}},
        {"Out 1 gain +15 dB",
         PC_OUT_GAIN,
         [](CDSDATA& m) { m.out_gain[0] = 75; },
         {Msg("F0 00 20 18 00 2D 60 62 00 16 01 F7"), SleepMs(10)}},
        {"Out 1 gain -15 dB", PC_OUT_GAIN, [](CDSDATA& m) { m.out_gain[0] = -75; }, {Param("60 62 00"), SleepMs(10)}},
        {"Out 2 limit +4 dBu", PC_OUT_LIMIT, [](CDSDATA& m) { m.cur_chan = 1; }, {Param("61 63 00 46"), SleepMs(10)}},
        {"Out 2 limit +20 dBu",
         PC_OUT_LIMIT,
         [](CDSDATA& m) {
             m.cur_chan = 1;
             m.out_limit[1] = 100;
         },
         {Param("61 63 00 16 01"), SleepMs(10)}},
        {"Out 6 delay 30500",
         PC_OUT_DELAY,
         [](CDSDATA& m) {
             m.cur_chan = 5;
             m.out_delay[5] = 30500;
         },
         {Param("65 64 00 24 6E 01"), SleepMs(10)}},
        {"Out 6 delay 128",
         PC_OUT_DELAY,
         [](CDSDATA& m) {
             m.cur_chan = 5;
             m.out_delay[5] = 128;
         },
         {Param("65 64 00 00 01"), SleepMs(10)}},
        {"polarity inverted",
         PC_OUT_POLARITY,
         [](CDSDATA& m) {
             m.cur_chan = 2;
             m.out_polarity[2] = 5;
         },
         {Param("62 66 00 01"), SleepMs(10)}},
        {"polarity normal", PC_OUT_POLARITY, [](CDSDATA& m) { m.cur_chan = 2; }, {Param("62 66 00"), SleepMs(10)}},
        {"high-pass type",
         PC_XO_HP_TYPE,
         [](CDSDATA& m) {
             m.cur_chan = 3;
             m.xo_side = 0;
             m.xo_type[3][0] = 9;
         },
         {Param("63 67 00 09"), SleepMs(10)}},
        {"high-pass type 0",
         PC_XO_HP_TYPE,
         [](CDSDATA& m) {
             m.cur_chan = 3;
             m.xo_side = 0;
             m.xo_type[3][0] = 0;
         },
         {Param("63 67 00"), SleepMs(10)}},
        {"high-pass switched out",
         PC_XO_HP_FREQ,
         [](CDSDATA& m) {
             m.cur_chan = 3;
             m.xo_side = 0;
             m.xo_freq[3][0] = 0;
         },
         {Msg("F0 00 20 18 00 2D 63 68 00 F7"), SleepMs(10)}},
        {"low-pass type reads the side",
         PC_XO_LP_TYPE,
         [](CDSDATA& m) {
             m.xo_side = 1;
             m.xo_type[0][1] = 3;
         },
         {Param("60 69 00 03"), SleepMs(10)}},
        {"low-pass switched out",
         PC_XO_LP_FREQ,
         [](CDSDATA& m) {
             m.cur_chan = 5;
             m.xo_side = 1;
         },
         {Param("65 6A 00 49 01"), SleepMs(10)}},
        {"output EQ type 0, Out 1 slot 0",
         PC_OUT_EQ_TYPE,
         [](CDSDATA& m) {
             EditFilter(m, 0, 2, 0);
             m.eq_type[2] = 0;
         },
         {Param("60 6C 00 00 02"), SleepMs(10)}},
        {"output EQ frequency 130, Out 2 slot 0",
         PC_OUT_EQ_FREQ,
         [](CDSDATA& m) {
             EditFilter(m, 1, 0, 0);
             m.eq_freq[0] = 130;
         },
         {Msg("F0 00 20 18 00 2D 61 6D 00 02 03 F7"), SleepMs(10)}},
        {"output EQ frequency 200, slot 38",
         PC_OUT_EQ_FREQ,
         [](CDSDATA& m) {
             EditFilter(m, 4, 9, 38);
             m.eq_freq[9] = 200;
         },
         {Param("64 6D 00 48 4F"), SleepMs(10)}},
        {"output EQ gain, trailer at once",
         PC_OUT_EQ_GAIN,
         [](CDSDATA& m) {
             EditFilter(m, 5, 1, 3);
             m.eq_gain[1] = 31;
         },
         {Param("65 6E 00 1F 08"), SleepMs(10), Param("65 1A 01"), SpinUs(30000)}},
        {"output EQ width 0",
         PC_OUT_EQ_BW,
         [](CDSDATA& m) {
             EditFilter(m, 2, 1, 0);
             m.eq_bw[1] = 0;
         },
         {Param("62 6F 00 00 02"), SleepMs(10)}},
        {"Out 3 muted",
         PC_OUT_MUTE,
         [](CDSDATA& m) { m.cur_chan = 2; },
         {Msg("F0 00 20 18 00 2D 62 70 00 01 F7"), SleepMs(10)}},
        {"Out 3 unmuted",
         PC_OUT_MUTE,
         [](CDSDATA& m) {
             m.cur_chan = 2;
             m.out_mute[2] = 0;
         },
         {Msg("F0 00 20 18 00 2D 62 70 00 F7"), SleepMs(10)}},
        {"unknown code: default selector, no data",
         0x5503,
         [](CDSDATA& m) {
             m.cur_chan = 2;
             m.out_gain[2] = 9;
         },
         {Param("62 55 03"), SleepMs(10)}},
    };
    return cases;
}

TEST(ParamMessages, WholeCatalogueWithoutLink) {
    for (const CatalogueCase& c : Catalogue()) {
        SCOPED_TRACE(c.what);
        kvtest::WireRecorder rec;
        CDSDATA m;
        c.setup(m);
        m.SendParam(c.code);
        EXPECT_EQ(rec.events, c.expected) << rec.Describe();
    }
}

TEST(ParamMessages, OutputEqUsesInputSelectorForInputFilter) {
    kvtest::WireRecorder rec;
    CDSDATA m;
    EditFilter(m, CHAN_IN_B, 7, 0);
    m.cur_chan = 4;  // stale output cursor: the owner decides
    m.eq_gain[7] = 30;
    m.SendParam(PC_OUT_EQ_GAIN);
    EXPECT_EQ(rec.events, (Events{Param("21 6E 00 1E 02"), SleepMs(10), Param("21 1A 01"), SpinUs(30000)}))
        << rec.Describe();
}

TEST(ParamMessages, ValuesOutsideTheirRangeNeverBreakTheFrame) {
    // A data byte of 0x80 or more would end or corrupt the message on the
    // device; below-range values go out as 0, everything else as 7-bit digits.
    kvtest::WireRecorder rec;
    CDSDATA m;
    m.out_gain[0] = -90;
    m.SendParam(PC_OUT_GAIN);
    m.out_delay[0] = -1;
    m.SendParam(PC_OUT_DELAY);
    EditFilter(m, 0, 0, 0);
    m.eq_type[0] = 200;
    m.SendParam(PC_OUT_EQ_TYPE);
    m.out_source[1] = static_cast<char>(-1);
    m.SendOutSrce(1);
    const auto msgs = rec.Messages();
    ASSERT_EQ(msgs.size(), 4u);
    EXPECT_EQ(msgs[0], Param("60 62 00").bytes);
    EXPECT_EQ(msgs[1], Param("60 64 00").bytes);
    for (const auto& msg : msgs)
        for (std::size_t i = 1; i + 1 < msg.size(); ++i) EXPECT_LT(msg[i], 0x80) << kvtest::ToHex(msg);
}

// Which target the link repeat of each code goes to, for Out 3 in
// "2 Channel 3 Way" (partner Out 4) with the link on.
enum class Repeat { kPartner, kInB, kNone };

TEST(ParamMessages, LinkRepeatTargetOfEveryCode) {
    const struct {
        int code;
        Repeat repeat;
    } rows[] = {
        {PC_LINK, Repeat::kNone},
        {PC_FIGURATION, Repeat::kNone},
        {PC_OUT_EQ_ASSIGN, Repeat::kPartner},
        {PC_IN_EQ_ASSIGN, Repeat::kInB},
        {PC_INA_DELAY, Repeat::kInB},
        {PC_INB_DELAY, Repeat::kNone},
        {PC_SUM_DELAY, Repeat::kNone},
        {PC_IN_EQ_TYPE, Repeat::kInB},
        {PC_IN_EQ_FREQ, Repeat::kInB},
        {PC_IN_EQ_GAIN, Repeat::kInB},
        {PC_IN_EQ_BW, Repeat::kInB},
        {PC_OUT_SOURCE, Repeat::kNone},
        {PC_OUT_GAIN, Repeat::kPartner},
        {PC_OUT_LIMIT, Repeat::kPartner},
        {PC_OUT_DELAY, Repeat::kPartner},
        {PC_OUT_POLARITY, Repeat::kPartner},
        {PC_XO_HP_TYPE, Repeat::kPartner},
        {PC_XO_HP_FREQ, Repeat::kPartner},
        {PC_XO_LP_TYPE, Repeat::kPartner},
        {PC_XO_LP_FREQ, Repeat::kPartner},
        {PC_OUT_EQ_TYPE, Repeat::kPartner},
        {PC_OUT_EQ_FREQ, Repeat::kPartner},
        {PC_OUT_EQ_GAIN, Repeat::kPartner},
        {PC_OUT_EQ_BW, Repeat::kPartner},
        {PC_OUT_MUTE, Repeat::kNone},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << row.code);
        kvtest::WireRecorder rec;
        CDSDATA m;
        m.figuration = 1;
        m.link_on = 1;
        const bool input_eq = row.code == PC_IN_EQ_ASSIGN || (row.code >= PC_IN_EQ_TYPE && row.code <= PC_IN_EQ_BW);
        EditFilter(m, input_eq ? CHAN_IN_A : 2, 0, 0);
        m.cur_chan = 2;
        m.SendParam(row.code);

        const auto msgs = rec.Messages();
        ASSERT_GE(msgs.size(), 1u);
        const kvtest::Bytes& first = msgs[0];
        switch (row.repeat) {
        case Repeat::kPartner:
        case Repeat::kInB: {
            ASSERT_GE(msgs.size(), 2u);
            kvtest::Bytes expected = first;
            expected[6] = row.repeat == Repeat::kPartner ? 0x63 : 0x21;
            EXPECT_EQ(msgs[1], expected) << rec.Describe();
            break;
        }
        case Repeat::kNone:
            // Only trailers or the identity request may follow, never the
            // same parameter to another channel.
            for (std::size_t i = 1; i < msgs.size(); ++i) {
                kvtest::Bytes readdressed = msgs[i];
                if (readdressed.size() > 6) readdressed[6] = first[6];
                EXPECT_NE(readdressed, first) << rec.Describe();
            }
            break;
        }
    }
}

struct LinkedCase {
    const char* what;
    int figuration;
    int link_on;
    std::function<void(CDSDATA&)> setup;
    std::vector<int> codes;  // sent in this order
    Events expected;
};

// Whole sequences with the stereo link: repeats, their pauses and trailers.
const std::vector<LinkedCase>& LinkedCases() {
    static const std::vector<LinkedCase> cases = {
        {"polarity follows to Out 4, mute does not",
         1,
         1,
         [](CDSDATA& m) {
             m.cur_chan = 2;
             m.out_polarity[2] = 1;
         },
         {PC_OUT_POLARITY, PC_OUT_MUTE},
         {Param("62 66 00 01"), SleepMs(10), Param("63 66 00 01"), SpinUs(30000), Param("62 70 00 01"), SleepMs(10)}},
        {"Out 2 has no partner in 3 Channel 2 Way",
         2,
         1,
         [](CDSDATA& m) { m.cur_chan = 1; },
         {PC_OUT_GAIN},
         {Param("61 62 00 4B"), SleepMs(10)}},
        {"nor Out 5", 2, 1, [](CDSDATA& m) { m.cur_chan = 4; }, {PC_OUT_GAIN}, {Param("64 62 00 4B"), SleepMs(10)}},
        {"Out 6 with Out 4 in 3 Channel 2 Way",
         2,
         1,
         [](CDSDATA& m) { m.cur_chan = 5; },
         {PC_OUT_GAIN},
         {Param("65 62 00 4B"), SleepMs(10), Param("63 62 00 4B"), SpinUs(30000)}},
        {"Out 1 with Out 3 in 3 Channel 2 Way",
         2,
         1,
         [](CDSDATA& m) { m.cur_chan = 0; },
         {PC_OUT_GAIN},
         {Param("60 62 00 4B"), SleepMs(10), Param("62 62 00 4B"), SpinUs(30000)}},
        {"Out 6 with Out 5 in 2 Channel 3 Way",
         1,
         1,
         [](CDSDATA& m) { m.cur_chan = 5; },
         {PC_OUT_GAIN},
         {Param("65 62 00 4B"), SleepMs(10), Param("64 62 00 4B"), SpinUs(30000)}},
        // A partner of Out 1 reaches selector 0x60, the lowest output.
        {"Out 2 with Out 1 in 2 Channel 3 Way",
         1,
         1,
         [](CDSDATA& m) { m.cur_chan = 1; },
         {PC_OUT_GAIN},
         {Param("61 62 00 4B"), SleepMs(10), Param("60 62 00 4B"), SpinUs(30000)}},
        {"Out 3 with Out 1 in 3 Channel 2 Way",
         2,
         1,
         [](CDSDATA& m) { m.cur_chan = 2; },
         {PC_OUT_GAIN},
         {Param("62 62 00 4B"), SleepMs(10), Param("60 62 00 4B"), SpinUs(30000)}},
        {"Mono pairs nothing", 0, 1, [](CDSDATA&) {}, {PC_OUT_GAIN}, {Param("60 62 00 4B"), SleepMs(10)}},
        {"link off", 1, 0, [](CDSDATA&) {}, {PC_OUT_GAIN}, {Param("60 62 00 4B"), SleepMs(10)}},
        {"figuration is never repeated and asks for identity",
         2,
         1,
         [](CDSDATA&) {},
         {PC_FIGURATION},
         {Msg("F0 00 20 18 00 2D 01 12 01 02 F7"), SleepMs(10), SpinUs(500), kIdentityRequest, SpinUs(50000)}},
        {"output EQ gain: partner, then trailer to the edited output",
         1,
         1,
         [](CDSDATA& m) {
             EditFilter(m, 3, 5, 1);
             m.eq_gain[5] = 40;
         },
         {PC_OUT_EQ_GAIN},
         {Param("63 6E 00 28 04"), SleepMs(10), Param("62 6E 00 28 04"), SpinUs(30000), Param("63 1A 01"),
          SpinUs(30000)}},
        {"input EQ gain: In B after 500 ms, trailer to In A",
         0,
         1,
         [](CDSDATA& m) {
             EditFilter(m, CHAN_IN_A, 0, 0);
             m.cur_chan = CHAN_IN_A;
             m.eq_gain[0] = 36;
         },
         {PC_IN_EQ_GAIN},
         {Param("20 2C 00 24 02"), SleepMs(10), SleepMs(500), Param("21 2C 00 24 02"), SpinUs(30000), SleepMs(500),
          Param("20 1A 01"), SpinUs(30000)}},
        {"input assign",
         2,
         1,
         [](CDSDATA& m) {
             EditFilter(m, CHAN_IN_A, 0, 0);
             m.cur_chan = CHAN_IN_A;
         },
         {PC_IN_EQ_ASSIGN},
         {Param("20 1A 01"), SleepMs(10), SleepMs(500), Param("21 1A 01"), SpinUs(30000), SleepMs(500),
          Param("20 17 01"), SpinUs(30000)}},
        // The input delay codes address the inputs whatever output the cursor
        // was left on: In A's delay follows to In B, the others stay alone.
        {"input delays never reach an output",
         1,
         1,
         [](CDSDATA& m) {
             m.ina_delay = m.inb_delay = 48;
             m.sum_delay = 96;
         },
         {PC_INA_DELAY, PC_INB_DELAY, PC_SUM_DELAY},
         {Param("20 20 00 30"), SleepMs(10), Param("21 20 00 30"), SpinUs(30000), Param("21 20 00 30"), SleepMs(10),
          Param("22 20 00 60"), SleepMs(10)}},
    };
    return cases;
}

TEST(ParamMessages, SequencesWithLink) {
    for (const LinkedCase& c : LinkedCases()) {
        SCOPED_TRACE(c.what);
        kvtest::WireRecorder rec;
        CDSDATA m;
        m.figuration = static_cast<char>(c.figuration);
        m.link_on = c.link_on;
        c.setup(m);
        for (int code : c.codes) m.SendParam(code);
        EXPECT_EQ(rec.events, c.expected) << rec.Describe();
    }
}

TEST(ParamMessages, SourceAlwaysCarriesItsDataByte) {
    kvtest::WireRecorder rec;
    CDSDATA m;
    m.figuration = 1;
    m.link_on = 1;  // no repeat: the dialog addresses the partner itself
    m.out_source[0] = 0;
    m.out_source[5] = 2;
    m.SendOutSrce(0);
    m.SendOutSrce(5);
    EXPECT_EQ(rec.events, (Events{Msg("F0 00 20 18 00 2D 60 61 00 00 F7"), SleepMs(10),
                                  Msg("F0 00 20 18 00 2D 65 61 00 02 F7"), SleepMs(10)}))
        << rec.Describe();
}

}  // namespace
