// The reader's state machine: gathers received bytes, cuts them into the
// messages the waiting operation expects (rev_mode), files program images
// into the receive model, entry 0 of the memory table and, for a memory
// dump, the staged table; and logs every chunk.
#include <kvcom/kvcom.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "kvproto/image_layout.h"
#include "kvproto/names.h"
#include "kvproto/system_block.h"
#include "memory_table.h"
#include "pacing.h"
#include "reception.h"
#include "traffic_tap.h"

char strRev[10200];
char strMem[10200];
int revnum;
int irevneweqdata;
int bisflter1;

namespace kvcom {

MemoryTable dump_table;

namespace {

constexpr std::size_t kAccCapacity = 60000;
constexpr std::size_t kPiece = 200;      // the reader's read chunk
constexpr std::size_t kLineSize = 3000;  // hex line of one chunk
constexpr std::size_t kLogEmptyAbove = 10000;
constexpr std::size_t kIdentityLength = 11;
constexpr std::size_t kRunSearchFrom = 360;  // the closing run lies beyond the fixed fields
constexpr int kClosingRun = 16;
constexpr int kBlockRun = 4;

static_assert(kPiece * 2 + 3 <= kLineSize, "a chunk's line must fit its buffer");

std::uint8_t g_acc[kAccCapacity];
std::size_t g_acc_len = 0;
std::size_t g_resume = 0;             // dump: end of the last filed image
bool g_block_taken = false;           // dump: the current memory has been read
std::size_t g_block_search_from = 0;  // dump: no system block starts before this
// No image that may still become whole starts before this: those before it
// were taken or are broken for good. Each chunk searches on from here, so a
// long stretch of bytes that holds no image is looked at once, not again
// with every chunk that follows it.
std::size_t g_image_search_from = 0;
// How far the search for the closing run of the memory image starting at
// `start` has come while the image is still arriving: the next chunk goes on
// from there, so an image is read once, not once per chunk.
struct RunSearch {
    std::size_t start = SIZE_MAX;
    std::size_t next = 0;
    int run = 0;
};
RunSearch g_run_search;
// Dump: how far the search for the run that ends the system block has come.
std::size_t g_block_run_next = 0;
int g_block_run = 0;
int g_mode_left = REV_IDLE;  // the mode this reader left after its last chunk
bool g_dump_begun = false;   // dump_table has been cleared for the dump in progress
int g_dump_received = 0;     // memories 1..60 filed in the dump in progress
// Taken while the reader calls the callback and while it is changed, so a
// callback taken away is never called afterwards with its old context.
std::mutex g_refresh_mutex;
MemRefreshProgress g_refresh_progress = nullptr;
void* g_refresh_context = nullptr;
std::atomic<bool> g_fresh_requested{false};

void StartAfresh() {
    g_acc_len = 0;
    g_resume = 0;
    g_block_taken = false;
    g_block_search_from = 0;
    g_image_search_from = 0;
    g_run_search = RunSearch{};
    g_block_run_next = 0;
    g_block_run = 0;
}

// Publishes everything filed so far and tells the waiting operation.
void ClearBusy() {
    rev_busy.store(0, std::memory_order_release);
    rev_done.fetch_add(1, std::memory_order_release);
    SignalChanged(rev_done);
}

// Moves from the mode being handled to the next one, unless the GUI thread
// has meanwhile set a mode of its own (it gave up waiting, or re-armed).
void Transition(int from, int to) {
    StartAfresh();
    g_dump_begun = false;
    int expected = from;
    g_mode_left = rev_mode.compare_exchange_strong(expected, to, std::memory_order_acq_rel) ? to : from;
    ClearBusy();
}

void Accumulate(int mode, const std::uint8_t* data, std::size_t n) {
    if (g_acc_len + n > kAccCapacity) {
        // A long dump: the images already filed are no longer needed.
        if (mode == REV_DUMP && g_resume > 0) {
            std::memmove(g_acc, g_acc + g_resume, g_acc_len - g_resume);
            g_acc_len -= g_resume;
            g_block_search_from = g_block_search_from > g_resume ? g_block_search_from - g_resume : 0;
            g_image_search_from = g_image_search_from > g_resume ? g_image_search_from - g_resume : 0;
            if (g_run_search.start != SIZE_MAX && g_run_search.start >= g_resume) {
                g_run_search.start -= g_resume;
                g_run_search.next -= g_resume;
            } else {
                g_run_search = RunSearch{};
            }
            g_block_run_next = 0;  // searched again in what is left
            g_block_run = 0;
            g_resume = 0;
        }
        // Still no room: whatever is there cannot become a message.
        if (g_acc_len + n > kAccCapacity) StartAfresh();
    }
    if (g_acc_len == 0) {
        const std::uint8_t* f0 = std::find(data, data + n, 0xF0);
        n -= static_cast<std::size_t>(f0 - data);
        data = f0;
    }
    std::memcpy(g_acc + g_acc_len, data, n);
    g_acc_len += n;
}

// ---------------------------------------------------------------------------
// Framing of program images in the accumulation.

enum class Frame { kWait, kBroken, kWhole };

struct Framed {
    Frame state;
    std::size_t run_end = 0;  // position after the closing run of 0x0F
    std::size_t last = 0;     // position of the image's F7
};

// First position at or after `from` holding F0 with `command` five bytes on.
bool FindMessageStart(std::size_t from, std::uint8_t command, std::size_t* at) {
    for (std::size_t k = from; k + 5 < g_acc_len; ++k) {
        if (g_acc[k] == 0xF0 && g_acc[k + 5] == command) {
            *at = k;
            return true;
        }
    }
    return false;
}

bool Plausible(std::size_t s, std::size_t last) {
    const std::size_t len = last - s + 1;
    return len >= static_cast<std::size_t>(image::kFixedLength) && len <= static_cast<std::size_t>(KV_IMAGE_MAX);
}

// The working program's image ends at its first F7. A byte with the top bit
// set before that means the image was cut short and another message began.
Framed FrameToEnd(std::size_t s) {
    for (std::size_t i = s + 1; i < g_acc_len; ++i) {
        if (g_acc[i] < 0x80) {
            if (i - s >= static_cast<std::size_t>(KV_IMAGE_MAX)) return {Frame::kBroken};
            continue;
        }
        if (g_acc[i] != 0xF7 || !Plausible(s, i)) return {Frame::kBroken};
        return {Frame::kWhole, 0, i};
    }
    return {Frame::kWait};
}

// A memory's image is whole once its closing run of sixteen 0x0F bytes is
// complete and its F7 has arrived (normally checksum then F7; the F7 may
// also stand right after the run, or one byte later than usual). Until then
// the reader waits: a pause on the line inside the run must not file a
// shortened image.
Framed FrameByClosingRun(std::size_t s) {
    int run = 0;
    std::size_t e = 0;
    std::size_t i = s + 1;
    if (g_run_search.start == s) {
        i = g_run_search.next;
        run = g_run_search.run;
    }
    for (;; ++i) {
        if (i >= g_acc_len) {
            g_run_search = RunSearch{s, i, run};
            return {Frame::kWait};
        }
        if (i - s >= static_cast<std::size_t>(KV_IMAGE_MAX)) return {Frame::kBroken};
        const std::uint8_t b = g_acc[i];
        if (b >= 0x80) return {Frame::kBroken};
        if (i < s + kRunSearchFrom) continue;
        if (b == 0x0F) {
            ++run;
        } else if (run < 15) {
            run = 0;
        }
        if (run == kClosingRun) {
            e = i + 1;
            break;
        }
    }
    for (std::size_t j = e; j <= e + 2; ++j) {
        if (j >= g_acc_len) {
            g_run_search = RunSearch{s, e - 1, kClosingRun - 1};  // the run's last byte again
            return {Frame::kWait};
        }
        if (g_acc[j] == 0xF7) {
            if (!Plausible(s, j) || e - s + 2 > static_cast<std::size_t>(KV_IMAGE_MAX)) return {Frame::kBroken};
            return {Frame::kWhole, e, j};
        }
    }
    return {Frame::kBroken};
}

// The first whole image in the accumulation, skipping broken ones.
template <typename FrameFn>
bool FindWholeImage(std::size_t from, FrameFn frame, std::size_t* start, Framed* framed) {
    from = std::max(from, g_image_search_from);
    std::size_t s = 0;
    while (FindMessageStart(from, image::kCommand, &s)) {
        const Framed f = frame(s);
        g_image_search_from = s;
        if (f.state == Frame::kWait) return false;
        if (f.state == Frame::kWhole) {
            *start = s;
            *framed = f;
            return true;
        }
        from = s + 1;
    }
    // A start may lie in the last five bytes, its command byte still to come.
    g_image_search_from = std::max(from, g_acc_len > 5 ? g_acc_len - 5 : 0);
    return false;
}

// The image's own checksum against its bytes. A memory's image whose F7
// stands right after the closing run carries none, and one whose F7 stands
// a byte late has a byte of unknown meaning before it: neither can be told.
bool ChecksumMatches(std::size_t s, const Framed& f) {
    std::size_t sum_at = f.last - 1;  // the working program: checksum, then F7
    if (f.run_end != 0) {
        if (f.last != f.run_end + 1) return true;
        sum_at = f.run_end;
    }
    return g_acc[sum_at] == image::Checksum(g_acc, s + image::kHeaderOffset, sum_at);
}

// A damaged image ends the wait without being taken.
void RefuseDamaged(int mode) {
    rev_damaged.store(true, std::memory_order_release);
    Transition(mode, REV_IDLE);
}

// ---------------------------------------------------------------------------
// The modes.

void HandleIdentity(int mode) {
    if (g_acc_len < kIdentityLength) return;
    const std::uint8_t dev = mode == REV_EDIT_ACK ? rev_dev : 0;
    const std::uint8_t expected[kIdentityLength] = {0xF0, 0x00, 0x20, 0x18, dev, 0x06, 0x02, 0x03, 0x00, 0x06, 0xF7};
    bool match = true;
    for (std::size_t i = 0; i < kIdentityLength; ++i) {
        if (i != 8 && g_acc[i] != expected[i]) match = false;  // byte 8 may hold anything
    }
    // A mismatch leaves REV_IDLE behind: the operation sees that and fails.
    Transition(mode, match ? (mode == REV_EDIT_ACK ? REV_EDIT_IMAGE : REV_DUMP) : REV_IDLE);
}

void HandleEditImage() {
    std::size_t s;
    Framed f;
    if (!FindWholeImage(0, FrameToEnd, &s, &f)) return;
    if (!ChecksumMatches(s, f)) return RefuseDamaged(REV_EDIT_IMAGE);
    const std::size_t len = f.last - s + 1;
    std::memcpy(prog_save[0], g_acc + s, len);
    prog_len[0] = static_cast<int>(len);
    rev_data.GetData(g_acc + s, static_cast<int>(len), 0);
    Transition(REV_EDIT_IMAGE, REV_IDLE);
}

void HandleMemImage() {
    std::size_t s;
    Framed f;
    if (!FindWholeImage(0, FrameByClosingRun, &s, &f)) return;
    if (!ChecksumMatches(s, f)) return RefuseDamaged(REV_MEM_IMAGE);
    rev_data.GetData(g_acc + s, static_cast<int>(f.last - s + 1), 0);
    Transition(REV_MEM_IMAGE, REV_IDLE);
}

// The dump's system block carries the device's current memory number.
// Read once per dump; later chunks only look at bytes not searched yet. A
// number that names no memory is not taken: the model keeps its own.
void TakeCurrentMemory() {
    if (g_block_taken) return;
    int run = g_block_run;
    std::size_t i = g_block_run_next;
    for (; i < g_acc_len && run < kBlockRun; ++i) {
        if (g_acc[i] == 0x0F) {
            ++run;
        } else if (run < 3) {
            run = 0;
        }
    }
    g_block_run_next = i;
    g_block_run = run;
    if (run < kBlockRun) return;
    std::size_t k;
    if (!FindMessageStart(g_block_search_from, kSystemBlockCommand, &k)) {
        g_block_search_from = g_acc_len > 5 ? g_acc_len - 5 : 0;
        return;
    }
    g_block_search_from = k;
    if (k + kSystemBlockMemNumOffset + 1 >= g_acc_len) return;
    const int current = image::JoinPair(g_acc + k + kSystemBlockMemNumOffset);
    if (current < KV_MEMORIES) {
        rev_data.mem_num = static_cast<char>(current);
        dump_table.current = current;
    }
    g_block_taken = true;
}

// Files one memory of the dump into the staged table.
void FileDumpedImage(std::size_t s, const Framed& f, int num) {
    MemoryTable& t = dump_table;
    const std::size_t e = f.run_end;
    t.used[num] = 1;
    for (int i = 0; i < 8; ++i)
        t.name[num][i] = NameCharFromList(image::JoinPair(g_acc + s + image::kNameOffset + 2 * i));
    t.name[num][8] = '\0';
    const std::size_t body = e - s;
    std::memcpy(t.image[num], g_acc + s, body);
    // The device's own checksum is used only where it stands one byte late.
    t.image[num][body] = f.last == e + 2 ? g_acc[e + 1] : image::Checksum(g_acc, s + image::kHeaderOffset, e);
    t.image[num][body + 1] = 0xF7;
    t.length[num] = static_cast<int>(body + 2);
}

void ReportDumped() {
    ++g_dump_received;
    const std::lock_guard<std::mutex> hold(g_refresh_mutex);
    if (g_refresh_progress != nullptr) g_refresh_progress(g_dump_received, g_refresh_context);
}

void HandleDump() {
    // A dump starts from an empty table: what an earlier, broken one left
    // must not show up in this one.
    if (!g_dump_begun) {
        ClearTable(dump_table);
        g_dump_begun = true;
        g_dump_received = 0;
    }
    TakeCurrentMemory();
    std::size_t from = g_resume;
    std::size_t s;
    Framed f;
    while (FindWholeImage(from, FrameByClosingRun, &s, &f)) {
        const int num = g_acc[s + image::kMemNumOffset];
        // One damaged memory fails the whole list: a table with a hole or
        // with damage in it must not pass for the unit's memories.
        if (!ChecksumMatches(s, f)) return RefuseDamaged(REV_DUMP);
        g_resume = f.run_end;
        if (num < KV_MEMORIES) FileDumpedImage(s, f, num);  // no such memory: not filed
        if (num >= 1 && num < KV_MEMORIES) ReportDumped();
        if (num == 0) {
            Transition(REV_DUMP, REV_IDLE);
            return;
        }
        from = f.run_end + 1;
    }
}

// ---------------------------------------------------------------------------
// The log.

std::size_t HexLine(const std::uint8_t* data, std::size_t n, char* line) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::size_t len = 0;
    for (std::size_t i = 0; i < n; ++i) {
        line[len++] = kDigits[data[i] >> 4];
        line[len++] = kDigits[data[i] & 0x0F];
    }
    line[len++] = '\r';
    line[len++] = '\n';
    line[len] = '\0';
    return len;
}

void HandlePiece(const std::uint8_t* data, std::size_t n) {
    rev_busy.store(1, std::memory_order_release);

    // The log is emptied past 10000 characters, and earlier when the new
    // line would not fit: it never runs past its buffer.
    char line[kLineSize];
    const std::size_t line_len = HexLine(data, n, line);
    std::size_t used = strnlen(strRev, sizeof strRev - 1);
    if (used > kLogEmptyAbove || used + line_len >= sizeof strRev) used = 0;

    const int mode = rev_mode.load(std::memory_order_acquire);
    // A mode set by an operation starts a fresh accumulation: leftovers of
    // an earlier reply must not run into the new one.
    if (g_fresh_requested.exchange(false, std::memory_order_acq_rel) || mode != g_mode_left) {
        StartAfresh();
        g_dump_begun = false;
    }
    g_mode_left = mode;

    switch (mode) {
    case REV_EDIT_ACK:
    case REV_DUMP_ACK:
        Accumulate(mode, data, n);
        HandleIdentity(mode);
        break;
    case REV_EDIT_IMAGE:
        Accumulate(mode, data, n);
        HandleEditImage();
        break;
    case REV_MEM_IMAGE:
        Accumulate(mode, data, n);
        HandleMemImage();
        break;
    case REV_DUMP:
        Accumulate(mode, data, n);
        HandleDump();
        break;
    default:
        StartAfresh();
        ClearBusy();
        break;
    }

    std::memcpy(strRev + used, line, line_len + 1);
}

}  // namespace

void HandleChunk(const std::uint8_t* data, std::size_t n) {
    TapReceived(data, n);
    while (n > 0) {
        const std::size_t piece = std::min(n, kPiece);
        HandlePiece(data, piece);
        data += piece;
        n -= piece;
    }
}

void ResetAccumulation() { g_fresh_requested.store(true, std::memory_order_release); }

}  // namespace kvcom

void SetMemRefreshProgress(MemRefreshProgress callback, void* context) {
    const std::lock_guard<std::mutex> hold(kvcom::g_refresh_mutex);
    kvcom::g_refresh_progress = callback;
    kvcom::g_refresh_context = context;
}
