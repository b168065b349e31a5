// A parameter change over a real pseudo-terminal: the device end sees every
// byte inverted, the messages whole and in the order they were sent.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include "hex.h"
#include "pty_pair.h"

namespace {

using kvtest::Bytes;
using kvtest::Hex;
using kvtest::Inverted;

TEST(ParamsOnTheLine, GainWithLinkThenMuteArriveInvertedAndInOrder) {
    kvtest::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    pty.AttachAsCom(1);
    rs232_port = 1;
    ASSERT_EQ(CreateTTYInfo(), 1);
    ASSERT_NE(OpenConnection(), 0);

    CDSDATA m;
    m.figuration = 1;
    m.link_on = 1;
    m.cur_chan = 2;
    m.out_gain[2] = 75;
    m.SendParam(PC_OUT_GAIN);
    m.SendParam(PC_OUT_MUTE);

    const Bytes expected =
        Hex("F0 00 20 18 00 2D 62 62 00 16 01 F7"  // Out 3 gain +15 dB
            "F0 00 20 18 00 2D 63 62 00 16 01 F7"  // repeated to Out 4
            "F0 00 20 18 00 2D 62 70 00 01 F7");   // mute: Out 3 only
    EXPECT_EQ(kvtest::ToHex(pty.Receive(expected.size(), 2000)), kvtest::ToHex(Inverted(expected)));
    EXPECT_TRUE(pty.ReceiveUntilQuiet(50).empty());  // nothing more

    CloseConnection();
    DestroyTTYInfo();
}

}  // namespace
