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
//          count, repeat count; optionally cut short
//   6      the system block carrying a current memory
//   7      a run of one byte value: value, then length in 64s
//
// After every operation: a dump files only whole images, each under its own
// number; a fetched working program fills entry 0 only, and only whole; no
// other mode files anything; the receive log stays inside its buffer.
#include <kvcom/kvcom.h>

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

struct Snapshot {
    int len[KV_MEMORIES];
    Bytes image[KV_MEMORIES];
};

void Take(const TableView& t, Snapshot& s) {
    for (int m = 0; m < KV_MEMORIES; ++m) {
        s.len[m] = t.length[m];
        s.image[m].assign(t.image[m], t.image[m] + (t.length[m] > 0 ? t.length[m] : 0));
    }
}

bool Changed(const TableView& t, const Snapshot& s, int m) {
    return t.length[m] != s.len[m] || std::memcmp(t.image[m], s.image[m].data(), s.image[m].size()) != 0;
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

void Feed(const Bytes& b) {
    const int mode = kvcom::rev_mode.load();
    const TableView exported = Exported(), staged = Staged();
    Snapshot before_exported, before_staged;
    Take(exported, before_exported);
    Take(staged, before_staged);
    kvcom::HandleChunk(b.data(), b.size());

    for (int m = 0; m < KV_MEMORIES; ++m) {
        const bool exported_changed = Changed(exported, before_exported, m);
        if (mode == kvcom::REV_DUMP) {
            Check(!exported_changed, "a dump wrote into the exported table before the list was whole");
            if (!Changed(staged, before_staged, m)) continue;
            // A dump that begins empties the staging table: F0 F7, unused.
            if (staged.used[m] == 0 && staged.length[m] <= 2) continue;
            Check(WholeDumpedImage(staged, m), "a dump filed an image that is not whole");
            Check(staged.image[m][img::kMemNumOffset] == m, "a dump filed an image under another number");
            Check(staged.used[m] == 1, "a dumped image filed without its used mark");
        } else if (exported_changed && mode == kvcom::REV_EDIT_IMAGE) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t n) {
    Images();  // built before the table is watched
    kvcom::ClearAllMemoryEntries();
    kvcom::rev_mode.store(kvcom::REV_IDLE);
    kvcom::rev_busy.store(0);
    kvcom::ResetAccumulation();
    strRev[0] = '\0';

    Input in(data, n);
    while (!in.empty()) {
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
            int repeat = 1 + in.Byte() % 64;
            const std::uint8_t cut = in.Byte();
            Bytes one = ImageFor(mem, filters);
            if (op >= 128) {
                // Cut short. The reader looks at every broken image again
                // with each chunk, so a few are enough.
                one.resize(one.size() / 2 + cut % (one.size() / 2));
                repeat = 1 + repeat % 4;
            }
            Bytes run;
            for (int r = 0; r < repeat; ++r) run.insert(run.end(), one.begin(), one.end());
            Feed(run);
            break;
        }
        case 6: Feed(SystemBlock(in.Byte())); break;
        case 7: {
            const std::uint8_t b = in.Byte();
            Feed(Bytes(static_cast<std::size_t>(in.Byte()) * 64 + 1, b));
            break;
        }
        }
    }
    return 0;
}
