// The reader's state machine (HandleChunk) on arbitrary chunks in every
// receive mode, with mode switches and fresh starts between chunks, and
// with whole program images repeated into dumps longer than the
// accumulation buffer.
//
// Input: a list of operations, each a byte followed by its operands:
//   0      arm a mode (next byte picks one of the six)
//   1      ask for a fresh accumulation, as an operation does before a request
//   2..4   one chunk of raw bytes (next byte + 1 of them)
//   5      a program image made by the model's writer: memory number, filter
//          count, repeat count (up to four; from 0xF0 on, enough to run past
//          the accumulation); optionally cut short
//   6      the system block carrying a current memory
//   7      a run of one byte value: value, then length (up to 240; from
//          0xF0 on, past the accumulation)
// An input feeds at most kFedMax bytes besides one run past the
// accumulation (a later one is cut to the ordinary length); what it asks
// for beyond that is left out.
//
// After every operation: a dump files only whole images, each under its own
// number; a fetched working program fills entry 0 only, and only whole; no
// other mode files anything; the receive log stays inside its buffer.
// Each operation is cheap to check: the tables are copied and compared
// whole without allocating, and only the entries that changed are read
// image by image.
#include <kvcom/kvcom.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "fuzz_support.h"
#include "kvproto/channels.h"
#include "kvproto/image_layout.h"
#include "kvproto/system_block.h"
#include "memory_table.h"
#include "reception.h"

using namespace kvfuzz;
namespace img = kvcom::image;

namespace {

constexpr int kModes[] = {kvcom::REV_IDLE,     kvcom::REV_EDIT_ACK, kvcom::REV_EDIT_IMAGE,
                          kvcom::REV_DUMP_ACK, kvcom::REV_DUMP,     kvcom::REV_MEM_IMAGE};

// Images of a program with 0..39 filters spread over the channels.
const std::array<Bytes, img::kMaxFilters + 1>& Images() {
    static const std::array<Bytes, img::kMaxFilters + 1> images = [] {
        std::array<Bytes, img::kMaxFilters + 1> out;
        for (int f = 0; f <= img::kMaxFilters; ++f) {
            CDSDATA m(BlankModel());
            std::memcpy(m.prog_name, "FUZZ", 5);
            for (int j = 0; j < f; ++j) {
                const int owner = j % 8 < 6 ? j % 8 : (j % 8 == 6 ? CHAN_IN_A : CHAN_IN_B);
                m.eq_owner[j] = owner;
                int* slots = kvcom::EqSlotList(m, owner);
                int s = 0;
                while (slots[s] != -1) ++s;
                slots[s] = j;
                m.eq_freq[j] = 10 + j;
            }
            m.eq_used = f;
            out[f] = Save(m);
        }
        return out;
    }();
    return images;
}

// The image for memory `mem` (its number in byte 7 and in the header).
Bytes ImageFor(int mem, int filters) {
    Bytes b = Images()[filters];
    b[img::kMemNumOffset] = static_cast<std::uint8_t>(mem);
    b[img::kHeaderOffset + 16] = static_cast<std::uint8_t>(mem & 0x0F);
    b[img::kHeaderOffset + 17] = static_cast<std::uint8_t>((mem >> 4) & 0x0F);
    b[b.size() - 2] = img::Checksum(b.data(), img::kHeaderOffset, b.size() - 2);
    return b;
}

Bytes SystemBlock(int current) {
    Bytes b(kvcom::kSystemBlock, kvcom::kSystemBlock + kvcom::kSystemBlockLength);
    b[kvcom::kSystemBlockMemNumOffset] = static_cast<std::uint8_t>(current & 0x0F);
    b[kvcom::kSystemBlockMemNumOffset + 1] = static_cast<std::uint8_t>((current >> 4) & 0x0F);
    return b;
}

// A view of one memory table: the exported one, or the staging table a dump
// is received into (committed to the exported one only by a whole list).
struct TableView {
    unsigned char (*image)[KV_IMAGE_MAX];
    int* length;
    int* used;
};

TableView Exported() { return {prog_save, prog_len, data_memoryb}; }
TableView Staged() { return {kvcom::dump_table.image, kvcom::dump_table.length, kvcom::dump_table.used}; }

// Entries of a table as they stood before a chunk, in storage of their own
// (one per table, reused by every operation, so a step allocates nothing).
struct Snapshot {
    int len[KV_MEMORIES];
    int used[KV_MEMORIES];
    unsigned char image[KV_MEMORIES][KV_IMAGE_MAX];
};

int Stored(int len) { return len < 0 ? 0 : (len > KV_IMAGE_MAX ? KV_IMAGE_MAX : len); }

// Copies entries [0, count) of the table, or only their lengths and used
// marks when `whole` is false.
void Take(const TableView& t, Snapshot& s, int count, bool whole) {
    std::memcpy(s.len, t.length, sizeof s.len);
    std::memcpy(s.used, t.used, sizeof s.used);
    if (!whole) return;
    for (int m = 0; m < count; ++m) std::memcpy(s.image[m], t.image[m], static_cast<std::size_t>(Stored(t.length[m])));
}

bool SameShape(const TableView& t, const Snapshot& s, int m) {
    return t.length[m] == s.len[m] && t.used[m] == s.used[m];
}

bool SameShapes(const TableView& t, const Snapshot& s) {
    return std::memcmp(t.length, s.len, sizeof s.len) == 0 && std::memcmp(t.used, s.used, sizeof s.used) == 0;
}

bool Changed(const TableView& t, const Snapshot& s, int m) {
    return !SameShape(t, s, m) || std::memcmp(t.image[m], s.image[m], static_cast<std::size_t>(Stored(s.len[m]))) != 0;
}

bool PlausibleLength(int len) { return len >= img::kFixedLength && len <= KV_IMAGE_MAX; }

// An image of a dump as the reader files it: whole, with its closing run.
bool WholeDumpedImage(const TableView& t, int m) {
    const int len = t.length[m];
    const std::uint8_t* p = t.image[m];
    if (!PlausibleLength(len) || !IsWholeSysEx(p, static_cast<std::size_t>(len))) return false;
    if (p[img::kCommandOffset] != img::kCommand) return false;
    for (int i = len - 2 - img::kTrailerBytes; i < len - 2; ++i)
        if (p[i] != 0x0F) return false;
    return true;
}

// The reader's accumulation: long runs go past it.
constexpr std::size_t kAccumulation = 60000;
constexpr std::size_t kFedMax = 16 * 1024;
std::size_t g_fed = 0;
bool g_long_run_fed = false;

// Whether the operation may feed a run past the accumulation: once per input.
bool LongRun(std::uint8_t asked) {
    if (asked < 0xF0 || g_long_run_fed) return false;
    g_long_run_fed = true;
    return true;
}

// A step is checked where its mode may write: a dump in the staged table,
// the fetch of the working program in entry 0 of the exported one. Those
// are copied before the step and compared after it; everywhere else, where
// no code of the reader writes at all, only the lengths and used marks are
// compared, and the exported memories once more whole at the end.
void Feed(const Bytes& b) {
    g_fed += std::min(b.size(), kFedMax);
    const int mode = kvcom::rev_mode.load();
    // A chunk longer than the reader's piece may carry the identity reply and
    // what follows it: a step armed for the reply may file the rest.
    const bool dump = mode == kvcom::REV_DUMP_ACK || mode == kvcom::REV_DUMP;
    const bool fetch = mode == kvcom::REV_EDIT_ACK || mode == kvcom::REV_EDIT_IMAGE;
    const TableView exported = Exported(), staged = Staged();
    static Snapshot before_exported, before_staged;
    Take(exported, before_exported, 1, fetch);
    Take(staged, before_staged, KV_MEMORIES, dump);
    kvcom::HandleChunk(b.data(), b.size());

    // Most steps file nothing: then two comparisons say so.
    const bool untouched =
        !dump && !fetch && SameShapes(exported, before_exported) && SameShapes(staged, before_staged);
    for (int m = 0; m < KV_MEMORIES && !untouched; ++m) {
        const bool exported_changed =
            fetch && m == 0 ? Changed(exported, before_exported, m) : !SameShape(exported, before_exported, m);
        if (dump) {
            Check(!exported_changed, "a dump wrote into the exported table before the list was whole");
            if (!Changed(staged, before_staged, m)) continue;
            // A dump that begins empties the staging table: F0 F7, unused.
            if (staged.used[m] == 0 && staged.length[m] <= 2) continue;
            Check(WholeDumpedImage(staged, m), "a dump filed an image that is not whole");
            Check(staged.image[m][img::kMemNumOffset] == m, "a dump filed an image under another number");
            Check(staged.used[m] == 1, "a dumped image filed without its used mark");
            continue;
        }
        Check(SameShape(staged, before_staged, m), "the staged table changed outside a dump");
        if (exported_changed && fetch) {
            Check(m == 0, "the working program was filed outside entry 0");
            Check(PlausibleLength(prog_len[0]) && IsWholeSysEx(prog_save[0], static_cast<std::size_t>(prog_len[0])),
                  "the working program was filed before it was whole");
        } else if (exported_changed) {
            Broken("an image was filed in a mode that expects none");
        }
    }
    const int now = kvcom::rev_mode.load();
    bool known = false;
    for (int k : kModes) known = known || now == k;
    Check(known, "the reader left an unknown mode behind");
    Check(strnlen(strRev, sizeof strRev) < sizeof strRev, "the receive log ran past its buffer");
}

// The exported memories 1 to 60 as the input found them: nothing of the
// reader writes there.
void CheckMemoriesUntouched() {
    for (int m = 1; m < KV_MEMORIES; ++m)
        Check(prog_len[m] == 2 && prog_save[m][0] == 0xF0 && prog_save[m][1] == 0xF7 && data_memoryb[m] == 0,
              "the reader wrote a memory of the exported table");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t n) {
    Images();  // built before the table is watched
    kvcom::ClearAllMemoryEntries();
    kvcom::rev_mode.store(kvcom::REV_IDLE);
    kvcom::rev_busy.store(0);
    kvcom::ResetAccumulation();
    strRev[0] = '\0';
    g_fed = 0;
    g_long_run_fed = false;

    Input in(data, n);
    while (!in.empty() && g_fed < kFedMax) {
        const std::uint8_t op = in.Byte();
        switch (op % 8) {
        case 0:
            kvcom::rev_busy.store(1);
            kvcom::rev_mode.store(kModes[in.Byte() % 6]);
            break;
        case 1: kvcom::ResetAccumulation(); break;
        case 2:
        case 3:
        case 4: Feed(in.Take(in.Byte() + 1u)); break;
        case 5: {
            const int mem = in.Byte() % 64;
            const int filters = in.Byte() % (img::kMaxFilters + 1);
            const std::uint8_t times = in.Byte();
            const std::uint8_t cut = in.Byte();
            Bytes one = ImageFor(mem, filters);
            // A few images show what the reader does with images in a row;
            // a long run shows what it does past its accumulation.
            std::size_t repeat = 1 + times % 4;
            if (op < 128 && LongRun(times)) repeat = kAccumulation / one.size() + 1 + times % 4;
            // Cut short: the reader looks at every broken image again with
            // each chunk, so a few are enough.
            if (op >= 128) one.resize(one.size() / 2 + cut % (one.size() / 2));
            Bytes run;
            for (std::size_t r = 0; r < repeat; ++r) run.insert(run.end(), one.begin(), one.end());
            Feed(run);
            break;
        }
        case 6: Feed(SystemBlock(in.Byte())); break;
        case 7: {
            const std::uint8_t b = in.Byte();
            const std::uint8_t length = in.Byte();
            Feed(Bytes(LongRun(length) ? kAccumulation + length : length % 0xF0 + 1u, b));
            break;
        }
        }
    }
    CheckMemoriesUntouched();
    return 0;
}
