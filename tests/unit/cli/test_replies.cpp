// What kvctl says when a reply fails, from what came back on the line: the
// messages as the library's tap reports them, written as literal bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "line_watch.h"

namespace {

using Bytes = std::vector<unsigned char>;

const Bytes kIdentity = {0xF0, 0x00, 0x20, 0x18, 0x00, 0x06, 0x02, 0x03, 0x01, 0x06, 0xF7};
const Bytes kOtherDevice = {0xF0, 0x00, 0x20, 0x18, 0x05, 0x06, 0x02, 0x03, 0x01, 0x06, 0xF7};
const Bytes kIdentityChanged = {0xF0, 0x00, 0x20, 0x18, 0x00, 0x07, 0x02, 0x03, 0x01, 0x06, 0xF7};

// The first bytes of a program image for memory m, closed: the tap frames
// F0 .. F7, and the kind and number stand in the first eight bytes.
Bytes Image(unsigned char m) { return {0xF0, 0x00, 0x20, 0x18, 0x00, 0x2C, 0x0F, m, 0x01, 0x02, 0x5A, 0xF7}; }

Bytes SystemBlock() {
    Bytes b(106, 0x00);
    b[0] = 0xF0;
    b[3] = 0x18;
    b[2] = 0x20;
    b[5] = 0x2B;
    b[105] = 0xF7;
    return b;
}

TEST(Replies, SayWhatCameInsteadOfTheAnswer) {
    const std::string port = "/dev/ttyUSB0";
    struct Case {
        const char* what;
        std::vector<Bytes> came;
        kvctl::Exchange exchange;
        bool damaged_image;
        std::string text;
    };
    const Case cases[] = {
        {"nothing",
         {},
         kvctl::Exchange::kFetch,
         false,
         "the unit on /dev/ttyUSB0 did not answer (reading the memory list)"},
        {"another device",
         {kOtherDevice},
         kvctl::Exchange::kFetch,
         false,
         "a device on /dev/ttyUSB0 answered as device 5, where the unit answers as device 0: another unit or another "
         "kind of device (reading the memory list)"},
        {"a byte changed",
         {kIdentityChanged},
         kvctl::Exchange::kFetch,
         false,
         "the unit on /dev/ttyUSB0 sent a damaged reply (reading the memory list)"},
        {"an image whose checksum does not match",
         {kIdentity, Image(0)},
         kvctl::Exchange::kFetch,
         true,
         "the unit on /dev/ttyUSB0 sent a damaged program image (reading the memory list)"},
        {"a list cut after memory 3",
         {kIdentity, SystemBlock(), Image(60), Image(12), Image(3)},
         kvctl::Exchange::kList,
         false,
         "the unit on /dev/ttyUSB0 stopped its memory list after memory 3: 3 memories came, not the working program "
         "that ends it"},
        {"a list cut before any memory",
         {kIdentity, SystemBlock()},
         kvctl::Exchange::kList,
         false,
         "the unit on /dev/ttyUSB0 stopped its memory list after its opening block: no memory came, nor the working "
         "program that ends it"},
        {"an identity and no list",
         {kIdentity},
         kvctl::Exchange::kList,
         false,
         "the unit on /dev/ttyUSB0 answered but sent no memory list (reading the memory list)"},
        {"an earlier list still coming",
         {Image(7), Image(3)},
         kvctl::Exchange::kFetch,
         false,
         "the unit on /dev/ttyUSB0 was still sending an earlier reply (reading the memory list); try again once it has "
         "finished"},
        {"noise",
         {{0x3F, 0x11, 0x80}},
         kvctl::Exchange::kFetch,
         false,
         "the unit on /dev/ttyUSB0 sent bytes that make no message (reading the memory list): the end of an earlier "
         "reply, or a line at another rate than 19200 baud"},
    };
    for (const Case& c : cases) {
        kvctl::Received seen;
        for (const Bytes& m : c.came) kvctl::Classify(m.data(), static_cast<int>(m.size()), seen);
        EXPECT_EQ(kvctl::NoReplyText(port, "reading the memory list", c.exchange, seen, c.damaged_image), c.text)
            << c.what;
    }
}

}  // namespace
