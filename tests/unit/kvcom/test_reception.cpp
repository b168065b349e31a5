// The reader's state machine driven chunk by chunk, without a port or thread.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "hex.h"
#include "memory_table.h"
#include "model_builder.h"
#include "reception.h"
#include "kvproto/system_block.h"
#include "wire_recorder.h"

namespace {

using kvtest::Bytes;
using kvtest::Hex;

const Bytes kIdentity = Hex("F0 00 20 18 00 06 02 03 55 06 F7");

// Checksum of an image (from byte 8 up to the checksum), as the device sends it.
std::uint8_t ImageChecksum(const Bytes& img) {
    unsigned sum = 0;
    for (std::size_t i = 8; i + 2 < img.size(); ++i) sum += img[i];
    return static_cast<std::uint8_t>(sum & 0x7F);
}

// The image of a program with `filters` EQ filters on Out 1, for memory `mem`.
Bytes MakeImage(int mem, const char* name, int filters = 0, int gain = 0) {
    CDSDATA m;  // resets the memory table: build images before feeding
    m.mem_num = static_cast<char>(mem);
    std::snprintf(m.prog_name, sizeof m.prog_name, "%s", name);
    m.out_gain[2] = gain;
    for (int j = 0; j < filters; ++j) {
        kvtest::PoolRow(m, j).Owner(0).Slot(j).Dsp(0);
        m.eq_freq[j] = 10 + j;
    }
    m.eq_used = filters;
    Bytes img(KV_IMAGE_MAX);
    img.resize(static_cast<std::size_t>(m.SaveData(img.data())));
    return img;
}

// The system block with the device's current memory in it.
Bytes SystemBlock(int current) {
    Bytes b(kvcom::kSystemBlock, kvcom::kSystemBlock + kvcom::kSystemBlockLength);
    b[kvcom::kSystemBlockMemNumOffset] = static_cast<std::uint8_t>(current & 0x0F);
    b[kvcom::kSystemBlockMemNumOffset + 1] = static_cast<std::uint8_t>(current >> 4);
    return b;
}

void Feed(const Bytes& b) { kvcom::HandleChunk(b.data(), b.size()); }

// Feeds bytes in chunks of random sizes, as a serial line delivers them.
void FeedRandomly(const Bytes& b, unsigned seed) {
    std::mt19937 rng(seed);
    std::size_t pos = 0;
    while (pos < b.size()) {
        const std::size_t n = std::min<std::size_t>(b.size() - pos, 1 + rng() % 200);
        kvcom::HandleChunk(b.data() + pos, n);
        pos += n;
    }
}

Bytes Entry(int m) { return Bytes(prog_save[m], prog_save[m] + prog_len[m]); }

// A dump is filed into the staged table; the exported one waits for the
// listing operation to commit a complete dump.
const kvcom::MemoryTable& Dumped() { return kvcom::dump_table; }
Bytes DumpedEntry(int m) { return Bytes(Dumped().image[m], Dumped().image[m] + Dumped().length[m]); }

class Reception : public ::testing::Test {
protected:
    void SetUp() override {
        kvcom::ClearAllMemoryEntries();
        kvcom::rev_mode.store(kvcom::REV_IDLE);
        kvcom::rev_busy.store(0);
        kvcom::ResetAccumulation();
        strRev[0] = '\0';
    }
    void Arm(int mode) {
        kvcom::rev_busy.store(1);
        kvcom::rev_mode.store(mode);
    }
    static int Mode() { return kvcom::rev_mode.load(); }
    static int Busy() { return kvcom::rev_busy.load(); }
};

// ---------------------------------------------------------------------------
// Identity replies.

TEST_F(Reception, IdentitySplitSixAndFiveAdvancesOnTheEleventhByte) {
    Arm(kvcom::REV_EDIT_ACK);
    const unsigned done = kvcom::rev_done.load();
    Feed(Bytes(kIdentity.begin(), kIdentity.begin() + 6));
    EXPECT_EQ(Mode(), kvcom::REV_EDIT_ACK);
    EXPECT_EQ(Busy(), 1);
    Feed(Bytes(kIdentity.begin() + 6, kIdentity.end()));
    EXPECT_EQ(Mode(), kvcom::REV_EDIT_IMAGE);
    EXPECT_EQ(Busy(), 0);
    EXPECT_EQ(kvcom::rev_done.load(), done + 1);
}

TEST_F(Reception, IdentityIgnoresByteEightAndDropsWhatPrecedesF0) {
    Arm(kvcom::REV_DUMP_ACK);
    Feed(Hex("01 02 03"));  // no F0: adds nothing
    Feed(Hex("7E 55 F0 00 20 18 00 06 02 03 9A 06 F7"));
    EXPECT_EQ(Mode(), kvcom::REV_DUMP);
    EXPECT_EQ(Busy(), 0);
}

TEST_F(Reception, MismatchedIdentityFallsBackToIdle) {
    Arm(kvcom::REV_DUMP_ACK);
    Feed(Hex("F0 00 20 18 05 06 02 03 00 06 F7"));  // another device number
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    EXPECT_EQ(Busy(), 0);

    Arm(kvcom::REV_EDIT_ACK);
    Feed(Hex("F0 00 20 18 00 06 02 04 00 06 F7"));  // another device type
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
}

TEST_F(Reception, IdleDropsEverythingAndReleasesTheWriter) {
    kvcom::rev_busy.store(1);
    const unsigned done = kvcom::rev_done.load();
    Feed(kIdentity);
    EXPECT_EQ(Busy(), 0);
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    EXPECT_EQ(kvcom::rev_done.load(), done + 1);
}

TEST_F(Reception, LeftoversOfAnAbandonedReplyDoNotSpoilTheNextOne) {
    Arm(kvcom::REV_DUMP);
    Feed(Hex("F0 00 20 18 00 2C 0F 05 01 02"));  // a dump cut off mid-image
    // The operation gives up and the next one arms before any byte comes.
    kvcom::rev_mode.store(kvcom::REV_IDLE);
    Arm(kvcom::REV_EDIT_ACK);
    Feed(kIdentity);
    EXPECT_EQ(Mode(), kvcom::REV_EDIT_IMAGE);
}

// A reply that completes between the request and the operation raising
// rev_busy again still counts.
TEST_F(Reception, ReplyCompletingBeforeTheWaitIsRaisedIsNotLost) {
    kvtest::WireRecorder rec;
    Arm(kvcom::REV_EDIT_ACK);
    Feed(kIdentity);
    const unsigned before = kvcom::rev_done.load();
    const Bytes image = MakeImage(0, "FAST");
    Feed(image);  // completes before the wait starts
    EXPECT_EQ(kvcom::RaiseAndWaitReply(5000, before), 0);
    EXPECT_EQ(rec.nap_us, 0);

    // Nothing arrives: the wait runs its full time and reports busy.
    Arm(kvcom::REV_MEM_IMAGE);
    EXPECT_EQ(kvcom::RaiseAndWaitReply(1000, kvcom::rev_done.load()), 1);
    EXPECT_GE(rec.nap_us, 1'000'000);
}

// ---------------------------------------------------------------------------
// The working program and one memory.

TEST_F(Reception, WorkingProgramGoesToEntryZeroAndTheReceiveModel) {
    const Bytes image = MakeImage(0, "LIVE", 3, 11);
    Arm(kvcom::REV_EDIT_IMAGE);
    Bytes line = Hex("00 7F");  // noise before the image
    line.insert(line.end(), image.begin(), image.end());
    FeedRandomly(line, 1);
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    EXPECT_EQ(Busy(), 0);
    EXPECT_EQ(Entry(0), image);
    EXPECT_EQ(kvcom::rev_data.out_gain[2], 11);
    EXPECT_EQ(kvcom::rev_data.eq_used, 3);
    EXPECT_STREQ(kvcom::rev_data.prog_name, "LIVE    ");
}

TEST_F(Reception, WorkingProgramWaitsForItsF7) {
    const Bytes image = MakeImage(0, "LIVE");
    kvcom::ClearAllMemoryEntries();
    Arm(kvcom::REV_EDIT_IMAGE);
    Feed(Bytes(image.begin(), image.end() - 1));
    EXPECT_EQ(Mode(), kvcom::REV_EDIT_IMAGE);
    EXPECT_EQ(prog_len[0], 2);
    Feed(Hex("F7"));
    EXPECT_EQ(Entry(0), image);
}

TEST_F(Reception, ImageCutShortIsSkippedForTheWholeOneAfterIt) {
    const Bytes whole = MakeImage(9, "WHOLE", 0, 20);
    for (int mode : {kvcom::REV_EDIT_IMAGE, kvcom::REV_MEM_IMAGE}) {
        SCOPED_TRACE(mode);
        kvcom::rev_data.out_gain[2] = 0;
        Bytes line(whole.begin(), whole.begin() + 300);  // the line dropped the rest
        line.insert(line.end(), whole.begin(), whole.end());
        Arm(mode);
        Feed(line);
        EXPECT_EQ(Mode(), kvcom::REV_IDLE);
        EXPECT_EQ(kvcom::rev_data.out_gain[2], 20);
    }
    EXPECT_EQ(Entry(0), whole);
}

TEST_F(Reception, MemoryImageDecodesWithoutTouchingTheTable) {
    const Bytes image = MakeImage(12, "MEM12", 2, -30);
    kvcom::ClearAllMemoryEntries();
    Arm(kvcom::REV_MEM_IMAGE);
    FeedRandomly(image, 2);
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    EXPECT_EQ(kvcom::rev_data.out_gain[2], -30);
    EXPECT_EQ(kvcom::rev_data.eq_used, 2);
    EXPECT_EQ(data_memoryb[12], 0);
    EXPECT_EQ(prog_len[0], 2);
}

// A pause on the line right after the fifteenth 0x0F of the closing run must
// not file an image one byte short: every mode waits for the whole image.
TEST_F(Reception, ImageSplitAfterItsFifteenthClosingByteWaitsForTheRest) {
    const Bytes image = MakeImage(5, "SPLIT", 1, 7);
    const std::size_t cut = image.size() - 3;  // 15 of the 16 0x0F are in
    ASSERT_EQ(image[cut - 1], 0x0F);
    ASSERT_EQ(image[cut], 0x0F);
    const Bytes head(image.begin(), image.begin() + cut), tail(image.begin() + cut, image.end());

    Arm(kvcom::REV_MEM_IMAGE);
    kvcom::rev_data.out_gain[2] = 0;
    Feed(head);
    EXPECT_EQ(Mode(), kvcom::REV_MEM_IMAGE);
    EXPECT_EQ(kvcom::rev_data.out_gain[2], 0);
    Feed(tail);
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    EXPECT_EQ(kvcom::rev_data.out_gain[2], 7);

    Arm(kvcom::REV_DUMP);
    Feed(head);
    EXPECT_EQ(Dumped().used[5], 0);
    Feed(tail);
    EXPECT_EQ(Dumped().used[5], 1);
    EXPECT_EQ(DumpedEntry(5), image);
}

// The reader goes on where the last chunk left it (a long stretch that holds
// no image is read once): fed a byte at a time, after bytes that make no
// image and a broken one, an image is still found whole and filed, in the
// modes that take one image and in a dump.
TEST_F(Reception, ImageAfterJunkFedByteByByteIsFiled) {
    const Bytes image = MakeImage(7, "LATE", 3, -12);
    Bytes line = Hex("F0 11 22 33 44 55 66");
    line.insert(line.end(), 3000, 0x41);
    const Bytes broken = MakeImage(9, "BROKEN", 1);
    line.insert(line.end(), broken.begin(), broken.begin() + 300);
    line.push_back(0x90);  // a status byte where the image's data should go on
    const std::size_t image_at = line.size();
    line.insert(line.end(), image.begin(), image.end());
    auto byte_by_byte = [&line](std::size_t from) {
        for (std::size_t i = from; i < line.size(); ++i) kvcom::HandleChunk(&line[i], 1);
    };

    Arm(kvcom::REV_MEM_IMAGE);
    byte_by_byte(0);
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    EXPECT_EQ(kvcom::rev_data.out_gain[2], -12);

    Arm(kvcom::REV_DUMP);
    const Bytes block = SystemBlock(7);
    line.insert(line.begin() + static_cast<std::ptrdiff_t>(image_at), block.begin(), block.end());
    byte_by_byte(0);
    EXPECT_EQ(DumpedEntry(7), image);
    EXPECT_EQ(Dumped().used[9], 0);
}

// ---------------------------------------------------------------------------
// Memory dumps.

TEST_F(Reception, DumpOfAllMemoriesEndsWithMemoryZero) {
    std::vector<Bytes> images(KV_MEMORIES);
    Bytes line = SystemBlock(37);
    for (int m = 60; m >= 0; --m) {
        const std::string name = "M" + std::to_string(m);
        images[m] = MakeImage(m, name.c_str(), m % 4, m - 30);
        if (m == 0) continue;
        line.insert(line.end(), images[m].begin(), images[m].end());
    }
    kvcom::ClearAllMemoryEntries();
    Arm(kvcom::REV_DUMP);
    FeedRandomly(line, 3);
    EXPECT_EQ(Mode(), kvcom::REV_DUMP);  // not over before memory 0
    EXPECT_EQ(Busy(), 1);
    Feed(images[0]);
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    EXPECT_EQ(Busy(), 0);
    EXPECT_EQ(kvcom::rev_data.mem_num, 37);
    EXPECT_EQ(Dumped().current, 37);
    for (int m = 0; m <= 60; ++m) {
        SCOPED_TRACE(m);
        EXPECT_EQ(Dumped().used[m], 1);
        EXPECT_EQ(DumpedEntry(m), images[m]);
        char expected[9];
        std::snprintf(expected, sizeof expected, "%-8s", ("M" + std::to_string(m)).c_str());
        EXPECT_STREQ(Dumped().name[m], expected);
    }
}

// 61 images with many filters are far longer than the accumulation; the
// filed ones make room and none is lost.
TEST_F(Reception, DumpLongerThanTheAccumulationFilesEveryImage) {
    std::vector<Bytes> images(KV_MEMORIES);
    Bytes line = SystemBlock(1);
    for (int m = 60; m >= 0; --m) {
        images[m] = MakeImage(m, "BIG", 39);
        line.insert(line.end(), images[m].begin(), images[m].end());
    }
    ASSERT_GT(line.size(), 100000u);
    kvcom::ClearAllMemoryEntries();
    Arm(kvcom::REV_DUMP);
    FeedRandomly(line, 4);
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    for (int m = 0; m <= 60; ++m) EXPECT_EQ(DumpedEntry(m), images[m]) << m;
}

TEST_F(Reception, DumpReportingOnlyThreeAndZero) {
    const Bytes three = MakeImage(3, "THREE"), zero = MakeImage(0, "ZERO");
    Bytes line = SystemBlock(3);
    line.insert(line.end(), three.begin(), three.end());
    line.insert(line.end(), zero.begin(), zero.end());
    kvcom::ClearAllMemoryEntries();
    Arm(kvcom::REV_DUMP);
    FeedRandomly(line, 5);
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    EXPECT_EQ(Dumped().used[3], 1);
    EXPECT_EQ(Dumped().used[0], 1);
    EXPECT_STREQ(Dumped().name[3], "THREE   ");
    for (int m : {1, 2, 4, 30, 60}) {
        EXPECT_EQ(Dumped().used[m], 0) << m;
        EXPECT_STREQ(Dumped().name[m], "<None>") << m;
        EXPECT_EQ(DumpedEntry(m), Hex("F0 F7")) << m;
    }
}

TEST_F(Reception, DumpStoppingBeforeMemoryZeroStaysBusy) {
    const Bytes seven = MakeImage(7, "SEVEN");
    Bytes line = SystemBlock(1);
    line.insert(line.end(), seven.begin(), seven.end());
    kvcom::ClearAllMemoryEntries();
    Arm(kvcom::REV_DUMP);
    Feed(line);
    EXPECT_EQ(Dumped().used[7], 1);
    EXPECT_EQ(data_memoryb[7], 0);  // the exported table is left alone
    EXPECT_EQ(Mode(), kvcom::REV_DUMP);
    EXPECT_EQ(Busy(), 1);

    // The next dump starts from an empty staged table.
    const Bytes zero = MakeImage(0, "ZERO");
    Arm(kvcom::REV_IDLE);
    Feed(zero);
    Arm(kvcom::REV_DUMP);
    Feed(zero);
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    EXPECT_EQ(Dumped().used[7], 0);
    EXPECT_EQ(DumpedEntry(7), Hex("F0 F7"));
}

// The current memory is taken from the system block only when it names one.
TEST_F(Reception, SystemBlockNamingNoMemoryIsNotTaken) {
    struct Case {
        int block;     // the number the block carries (two nibbles)
        int expected;  // the dump's current memory afterwards
    };
    const Case cases[] = {{0, 0}, {37, 37}, {60, 60}, {61, -1}, {0xFF, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block);
        kvcom::rev_data.mem_num = 9;
        Bytes line = SystemBlock(c.block);
        const Bytes zero = MakeImage(0, "ZERO");
        line.insert(line.end(), zero.begin(), zero.end());
        Arm(kvcom::REV_IDLE);
        Feed(zero);  // leaves the dump mode, so the next one starts afresh
        Arm(kvcom::REV_DUMP);
        Feed(line);
        EXPECT_EQ(Mode(), kvcom::REV_IDLE);
        EXPECT_EQ(Dumped().current, c.expected);
        EXPECT_EQ(kvcom::rev_data.mem_num, c.expected >= 0 ? c.expected : 9);
    }
}

TEST_F(Reception, DumpedNamesUseTheDisplaysCodes) {
    Bytes image = MakeImage(4, "ABCDEFGH");
    const std::uint8_t codes[8] = {0x3A, 0x3D, 0x00, 0x40, 'X', 0x3F, 0x3C, 'z'};
    for (int i = 0; i < 8; ++i) {
        image[28 + 2 * i] = codes[i] & 0x0F;
        image[29 + 2 * i] = codes[i] >> 4;
    }
    image[image.size() - 2] = ImageChecksum(image);
    Bytes line = SystemBlock(1);
    line.insert(line.end(), image.begin(), image.end());
    const Bytes zero = MakeImage(0, "");
    line.insert(line.end(), zero.begin(), zero.end());
    kvcom::ClearAllMemoryEntries();
    Arm(kvcom::REV_DUMP);
    Feed(line);
    EXPECT_STREQ(Dumped().name[4], "!-  X=~z");
    EXPECT_STREQ(Dumped().name[0], "        ");
    EXPECT_EQ(DumpedEntry(4), image);
}

TEST_F(Reception, DumpedImageForNoSuchMemoryIsNotFiled) {
    const struct {
        int number;
        bool filed;
    } rows[] = {{60, true}, {61, false}, {0x61, false}};
    const Bytes zero = MakeImage(0, "ZERO");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.number);
        Bytes line = MakeImage(row.number, "EDGE");
        line.insert(line.end(), zero.begin(), zero.end());
        kvcom::ClearAllMemoryEntries();
        Arm(kvcom::REV_DUMP);
        Feed(line);
        EXPECT_EQ(Mode(), kvcom::REV_IDLE);
        EXPECT_EQ(Dumped().used[0], 1);
        for (int m = 1; m <= 60; ++m) EXPECT_EQ(Dumped().used[m], m == row.number && row.filed) << m;
    }
}

// Where the F7 may stand after the closing run of a dumped image: right
// after it (no checksum), one byte after it (the checksum between), or two
// (the device's checksum one byte late, which is kept).
TEST_F(Reception, DumpedImageIsFiledWhereverItsF7Stands) {
    const Bytes image = MakeImage(8, "EIGHT", 1);
    const Bytes body(image.begin(), image.end() - 2);  // up to the closing run
    const std::uint8_t sum = image[image.size() - 2];
    const struct {
        Bytes tail;
        std::uint8_t checksum;
    } rows[] = {{Hex("F7"), sum}, {Bytes{sum, 0xF7}, sum}, {Hex("11 33 F7"), 0x33}};
    const Bytes zero = MakeImage(0, "ZERO");
    for (const auto& row : rows) {
        SCOPED_TRACE(kvtest::ToHex(row.tail));
        Bytes line = body;
        for (const Bytes& b : {row.tail, zero}) line.insert(line.end(), b.begin(), b.end());
        kvcom::ClearAllMemoryEntries();
        Arm(kvcom::REV_DUMP);
        Feed(line);
        EXPECT_EQ(Mode(), kvcom::REV_IDLE);
        ASSERT_EQ(Dumped().used[8], 1);
        Bytes expected = body;
        expected.push_back(row.checksum);
        expected.push_back(0xF7);
        EXPECT_EQ(DumpedEntry(8), expected);
    }
}

// An image whose checksum does not match its bytes is refused in every
// mode: the wait ends, nothing is taken, and the operation can tell.
TEST_F(Reception, DamagedImageIsRefusedInEveryMode) {
    const Bytes good = MakeImage(7, "SEVEN", 2, 15);
    const Bytes zero = MakeImage(0, "ZERO");
    Bytes changed_data = good;
    changed_data[40] ^= 0x01;  // one nibble of the header record
    Bytes changed_sum = good;
    changed_sum[good.size() - 2] ^= 0x01;
    const struct {
        int mode;
        const Bytes* image;
        bool damaged;
    } rows[] = {
        {kvcom::REV_EDIT_IMAGE, &good, false},
        {kvcom::REV_EDIT_IMAGE, &changed_data, true},
        {kvcom::REV_EDIT_IMAGE, &changed_sum, true},
        {kvcom::REV_MEM_IMAGE, &good, false},
        {kvcom::REV_MEM_IMAGE, &changed_data, true},
        {kvcom::REV_MEM_IMAGE, &changed_sum, true},
        {kvcom::REV_DUMP, &good, false},
        {kvcom::REV_DUMP, &changed_data, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "mode " << row.mode << (row.damaged ? " damaged" : " whole"));
        kvcom::ClearAllMemoryEntries();
        kvcom::rev_data.out_gain[2] = 0;
        kvcom::rev_damaged.store(false);
        Bytes line = *row.image;
        if (row.mode == kvcom::REV_DUMP) line.insert(line.end(), zero.begin(), zero.end());
        Arm(row.mode);
        FeedRandomly(line, 4);
        EXPECT_EQ(Mode(), kvcom::REV_IDLE);
        EXPECT_EQ(Busy(), 0);
        EXPECT_EQ(kvcom::rev_damaged.load(), row.damaged);
        if (row.mode == kvcom::REV_DUMP) {
            EXPECT_EQ(Dumped().used[7], row.damaged ? 0 : 1);
        } else {
            EXPECT_EQ(kvcom::rev_data.out_gain[2], row.damaged ? 0 : 15);
        }
        if (row.mode == kvcom::REV_EDIT_IMAGE) {
            EXPECT_EQ(prog_len[0], row.damaged ? 2 : static_cast<int>(good.size()));
        }
    }
}

// ---------------------------------------------------------------------------
// Bounds.

TEST_F(Reception, DataBeyondTheAccumulationStartsItAfresh) {
    Arm(kvcom::REV_EDIT_IMAGE);
    Bytes junk(70000, 0x01);
    junk[0] = 0xF0;
    junk[5] = 0x2C;  // looks like an image that never ends
    Feed(junk);
    EXPECT_EQ(Mode(), kvcom::REV_EDIT_IMAGE);
    const Bytes image = MakeImage(0, "AFTER", 0, 3);
    Feed(image);
    EXPECT_EQ(Mode(), kvcom::REV_IDLE);
    EXPECT_EQ(Entry(0), image);
}

TEST_F(Reception, LogHoldsOneHexLinePerChunk) {
    Feed(Hex("F0 0a 7F"));
    Feed(Hex("F7"));
    EXPECT_STREQ(strRev, "F00A7F\r\nF7\r\n");
}

TEST_F(Reception, LogIsEmptiedPastTenThousandCharacters) {
    std::memset(strRev, 'x', 10001);
    strRev[10001] = '\0';
    Feed(Hex("AB"));
    EXPECT_STREQ(strRev, "AB\r\n");

    // Exactly 10000 is kept while the next line fits.
    std::memset(strRev, 'x', 10000);
    strRev[10000] = '\0';
    Feed(Hex("CD"));
    EXPECT_EQ(std::strlen(strRev), 10004u);
    EXPECT_STREQ(strRev + 10000, "CD\r\n");
}

// The log holds 10199 characters and its NUL: a line that fills it exactly
// is added, one character more empties it first.
TEST_F(Reception, LogFilledToItsSizeAndOneOver) {
    const struct {
        std::size_t held;
        std::size_t chunk;  // its line is 2 * chunk + 2 characters
        std::size_t after;
    } rows[] = {{9999, 99, 10199}, {10000, 99, 200}, {9997, 100, 10199}, {9998, 100, 202}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.held);
        std::memset(strRev, 'x', row.held);
        strRev[row.held] = '\0';
        Feed(Bytes(row.chunk, 0x5A));
        EXPECT_EQ(std::strlen(strRev), row.after);
    }
}

TEST_F(Reception, LogIsEmptiedEarlyWhenALongLineWouldNotFit) {
    std::memset(strRev, 'x', 9900);
    strRev[9900] = '\0';
    Feed(Bytes(200, 0x11));  // a 402-character line
    EXPECT_EQ(std::strlen(strRev), 402u);
    // A chunk longer than one read is logged as the reader would read it.
    strRev[0] = '\0';
    Feed(Bytes(450, 0x22));
    EXPECT_EQ(std::strlen(strRev), 402u + 402u + 102u);
}

}  // namespace
