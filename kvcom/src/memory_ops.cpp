// Whole programs between PC and device: fetch the working program, send the
// model, list, recall and store memories, write the whole memory table back.
// Every pause below is one the device needs between these messages.
//
// Each operation reports honestly: on a closed link it sends nothing and
// returns 0 at once; a message that does not go out, or a link lost during a
// pause or a wait, ends it with 0 there, without the pauses that would have
// followed. A fetch or list that fails leaves the model and the memory
// table as they were.
#include <kvcom/kvcom.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "kvproto/channels.h"
#include "kvproto/image_layout.h"
#include "kvproto/messages.h"
#include "kvproto/names.h"
#include "kvproto/system_block.h"
#include "kvproto/timing.h"
#include "memory_table.h"
#include "pacing.h"
#include "reception.h"
#include "transport.h"

namespace {

using kvcom::DelayUs;
using kvcom::PauseMs;
using kvcom::PauseUs;

using namespace kvcom::timing;

constexpr unsigned char kAllDevices = 0x7F;
constexpr int kNameLength = 8;
constexpr unsigned char kStoreSlot = 0x0B;  // the store message's byte 7
constexpr int kFigurationByte = kvcom::image::kFigurationOffset;
// An entry shorter than this holds no program (an empty one is F0 F7).
constexpr int kEmptyEntryMax = 2;
constexpr int kNoWorkingProgramBelow = 5;

// Every Send... below is true when the whole message went out.

// Assembles a message in the model's scratch buffer and sends it.
bool Send(CDSDATA& m, std::initializer_list<unsigned char> bytes) {
    std::copy(bytes.begin(), bytes.end(), m.msg_buf);
    return m.SendMIDI(m.msg_buf, static_cast<int>(bytes.size()), 0) != 0;
}

bool SendIdentityRequest(CDSDATA& m, unsigned char device) {
    return m.SendMIDI(m.msg_buf, kvcom::message::PutIdentityRequest(m.msg_buf, device), 0) != 0;
}

bool SendDumpRequest(CDSDATA& m, unsigned char device) {
    return m.SendMIDI(m.msg_buf, kvcom::message::PutDumpRequest(m.msg_buf, device), 0) != 0;
}

bool SendImageRequest(CDSDATA& m, unsigned char device, unsigned char memory) {
    return m.SendMIDI(m.msg_buf, kvcom::message::PutImageRequest(m.msg_buf, device, memory), 0) != 0;
}

// A parameter of the whole device (code high_code 01) with one data byte,
// which goes out as it is.
bool SendDeviceParam(CDSDATA& m, unsigned char device, int high_code, unsigned char value) {
    namespace msg = kvcom::message;
    int n = msg::PutParamHeader(m.msg_buf, device, msg::kSelectorDevice, (high_code << 8) | 0x01);
    m.msg_buf[n++] = value;
    m.msg_buf[n++] = msg::kEnd;
    return m.SendMIDI(m.msg_buf, n, 0) != 0;
}

// Name character i (1..8) as the device shows it.
bool SendNameChar(CDSDATA& m, int i, unsigned char code) { return SendDeviceParam(m, 0x00, i, code); }

bool SendStore(CDSDATA& m, unsigned char value) { return SendDeviceParam(m, 0x00, kStoreSlot, value); }

// Selects memory n on the device; the working program (0) goes out as 0 too.
bool SendProgramChange(CDSDATA& m, int n) { return Send(m, {0xC0, static_cast<unsigned char>(n > 0 ? n - 1 : 0)}); }

bool IsMemory(int n) { return n >= 0 && n < KV_MEMORIES; }

// The memory table entry a memory number addresses; never outside the table.
int Entry(int n) { return IsMemory(n) ? n : 0; }

// The whole length of a table entry, as far as its row goes.
int EntryLength(int n) { return std::clamp(prog_len[n], 0, KV_IMAGE_MAX); }

bool SendEntry(CDSDATA& m, int n) { return m.SendMIDI(prog_save[n], EntryLength(n), 0) != 0; }

MemStoreAllProgress g_store_all_progress = nullptr;
void* g_store_all_context = nullptr;

void ReportStoreAll(int memory) {
    if (g_store_all_progress != nullptr) g_store_all_progress(memory, g_store_all_context);
}

// The image of the model as the working program (memory number 0).
int SaveAsWorkingProgram(CDSDATA& m, unsigned char* out) {
    const char kept = m.mem_num;
    m.mem_num = 0;
    const int len = m.SaveData(out);
    m.mem_num = kept;
    return len;
}

void ResetReceiveModel() {
    kvcom::rev_data.link_on = 0;
    kvcom::rev_data.figuration = 0;
    kvcom::rev_data.InitData();
}

// Arms the reader for the reply in `mode` (the request goes out next).
void Arm(int mode) {
    kvcom::ResetAccumulation();
    kvcom::rev_mode.store(mode, std::memory_order_release);
    kvcom::rev_busy.store(1, std::memory_order_release);
    kvcom::rev_damaged.store(false, std::memory_order_release);
}

// The identity reply moved the reader on to `next`. A reply from another
// device or of another kind leaves it idle instead: that is no success.
bool IdentityAccepted(int next) {
    const bool ok =
        kvcom::WaitReply(kIdentityTimeoutMs) == 0 && kvcom::rev_mode.load(std::memory_order_acquire) == next;
    if (!ok) kvcom::rev_mode.store(kvcom::REV_IDLE, std::memory_order_release);
    return ok;
}

MemCancelCheck g_cancel_check = nullptr;
void* g_cancel_context = nullptr;

// The caller asked the operation in hand to stop.
bool CancelAsked() { return g_cancel_check != nullptr && g_cancel_check(g_cancel_context) != 0; }

// Sends a request with `send` and waits for the reader to finish the reply;
// a wait given `stop` also ends once that holds.
template <typename SendFn>
bool RequestAndWait(int timeout_ms, SendFn send, bool (*stop)() = nullptr) {
    const unsigned done_before = kvcom::rev_done.load(std::memory_order_acquire);
    const bool ok = send() && kvcom::RaiseAndWaitReply(timeout_ms, done_before, stop) == 0 &&
                    !kvcom::rev_damaged.load(std::memory_order_acquire);
    kvcom::rev_mode.store(kvcom::REV_IDLE, std::memory_order_release);
    return ok;
}

// Sends the identity request that opens a fetch or a list, with the reader
// armed for its reply in `mode`; true once the reader has moved on to `next`.
bool OpenExchange(CDSDATA& m, int mode, unsigned char device, int next) {
    Arm(mode);
    if (!SendIdentityRequest(m, device)) {
        kvcom::rev_mode.store(kvcom::REV_IDLE, std::memory_order_release);
        return false;
    }
    return IdentityAccepted(next);
}

// The fields a recall takes over from a received program, EQ aside.
void CopyProgram(CDSDATA& to, const CDSDATA& from) {
    to.figuration = from.figuration;
    to.link_on = from.link_on;
    to.ina_delay = from.ina_delay;
    to.inb_delay = from.inb_delay;
    to.sum_delay = from.sum_delay;
    to.eq_used = from.eq_used;
    std::memset(to.prog_name, 0, sizeof to.prog_name);
    std::memcpy(to.prog_name, from.prog_name, sizeof to.prog_name - 1);
    for (int k = 0; k < KV_OUTPUTS; ++k) {
        to.out_name[k] = from.out_name[k];
        to.out_polarity[k] = from.out_polarity[k];
        to.out_mute[k] = from.out_mute[k];
        for (int side = 0; side < 2; ++side) {
            to.xo_freq[k][side] = from.xo_freq[k][side];
            to.xo_type[k][side] = from.xo_type[k][side];
        }
        to.out_source[k] = from.out_source[k];
        to.out_gain[k] = from.out_gain[k];
        to.out_limit[k] = from.out_limit[k];
        to.out_delay[k] = from.out_delay[k];
    }
}

// The EQ pool of a received program, rows 0 to 38, as it stands.
void CopyPool(CDSDATA& to, const CDSDATA& from) {
    for (int j = 0; j < KV_DEFAULT_ROW; ++j) {
        to.ina_eq_freq[j] = from.ina_eq_freq[j];
        to.ina_eq_bw[j] = from.ina_eq_bw[j];
        to.ina_eq_gain[j] = from.ina_eq_gain[j];
        to.ina_eq_type[j] = from.ina_eq_type[j];
        to.ina_eq_slot[j] = from.ina_eq_slot[j];
        to.inb_eq_freq[j] = from.inb_eq_freq[j];
        to.inb_eq_bw[j] = from.inb_eq_bw[j];
        to.inb_eq_gain[j] = from.inb_eq_gain[j];
        to.inb_eq_type[j] = from.inb_eq_type[j];
        to.inb_eq_slot[j] = from.inb_eq_slot[j];
        to.eq_owner[j] = from.eq_owner[j];
        to.eq_freq[j] = from.eq_freq[j];
        to.eq_bw[j] = from.eq_bw[j];
        to.eq_gain[j] = from.eq_gain[j];
        to.eq_type[j] = from.eq_type[j];
        for (int k = 0; k < KV_OUTPUTS; ++k) to.out_eq_slot[k][j] = from.out_eq_slot[k][j];
        to.eq_dsp[j] = from.eq_dsp[j];
        to.eq_link[j] = from.eq_link[j];
    }
}

// Empties the whole EQ part: every filter at its default, no owner, no slot.
void ClearPool(CDSDATA& m) {
    for (int j = 0; j < KV_POOL_ROWS; ++j) {
        m.ina_eq_freq[j] = m.inb_eq_freq[j] = m.eq_freq[j] = 120;
        m.ina_eq_bw[j] = m.inb_eq_bw[j] = m.eq_bw[j] = 5;
        m.ina_eq_gain[j] = m.inb_eq_gain[j] = m.eq_gain[j] = 30;
        m.ina_eq_type[j] = m.inb_eq_type[j] = m.eq_type[j] = 2;
        m.ina_eq_slot[j] = m.inb_eq_slot[j] = -1;
        for (int k = 0; k < KV_OUTPUTS; ++k) m.out_eq_slot[k][j] = -1;
        m.eq_owner[j] = m.eq_dsp[j] = m.eq_link[j] = -1;
    }
}

void AppendSlot(int* slots, int row) {
    for (int i = 0; i < KV_POOL_ROWS; ++i) {
        if (slots[i] == -1) {
            slots[i] = row;
            return;
        }
    }
}

// Rebuilds the pool from row 0 upward out of a received program, placing
// each output filter on the second DSP while it has room.
void RebuildPool(CDSDATA& to, const CDSDATA& from) {
    ClearPool(to);
    const int used = std::clamp(to.eq_used, 0, KV_DEFAULT_ROW);
    for (int j = 0; j < used; ++j) {
        const int owner = from.eq_owner[j];
        to.eq_owner[j] = owner;
        to.eq_type[j] = from.eq_type[j];
        to.eq_freq[j] = from.eq_freq[j];
        to.eq_gain[j] = from.eq_gain[j];
        to.eq_bw[j] = from.eq_bw[j];
        to.eq_link[j] = from.eq_link[j];
        if (kvcom::IsInputChannel(owner)) {
            const bool a = owner == CHAN_IN_A;
            AppendSlot(kvcom::EqSlotList(to, owner), j);
            (a ? to.ina_eq_gain : to.inb_eq_gain)[j] = to.eq_gain[j];
            (a ? to.ina_eq_freq : to.inb_eq_freq)[j] = to.eq_freq[j];
            (a ? to.ina_eq_bw : to.inb_eq_bw)[j] = to.eq_bw[j];
            (a ? to.ina_eq_type : to.inb_eq_type)[j] = to.eq_type[j];
            to.eq_dsp[j] = kvcom::DspForReadFilter(to, owner);
        } else if (kvcom::IsOutputChannel(owner)) {
            AppendSlot(kvcom::EqSlotList(to, owner), j);
            to.eq_dsp[j] = kvcom::DspForReadFilter(to, owner);
        }
    }
}

}  // namespace

int CDSDATA::RecallToPC() {
    if (!kvcom::LinkUp()) return 0;
    ResetReceiveModel();
    DelayUs(100);

    if (!OpenExchange(*this, kvcom::REV_EDIT_ACK, kvcom::rev_dev, kvcom::REV_EDIT_IMAGE)) return 0;
    if (!RequestAndWait(kWorkingProgramTimeoutMs, [this] { return SendImageRequest(*this, kvcom::rev_dev, 0); }))
        return 0;

    // Only a fetch that succeeded touches the model.
    mem_num = 1;
    CopyProgram(*this, kvcom::rev_data);
    CopyPool(*this, kvcom::rev_data);
    return 1;
}

int CDSDATA::StoreFromPC() {
    if (!kvcom::LinkUp()) return 0;
    if (!SendParam(PC_FIGURATION) || !PauseUs(500)) return 0;

    unsigned char image[KV_IMAGE_MAX];
    if (!SendMIDI(image, SaveData(image), 0) || !PauseUs(500)) return 0;

    const int entry = Entry(mem_num);
    for (int i = 1; i <= kNameLength; ++i) {
        if (!SendNameChar(*this, i, static_cast<unsigned char>(data_name[entry][i - 1])) || !PauseUs(100))
            return 0;  // as stored
    }
    if (!SendStore(*this, 1) || !PauseUs(100'000)) return 0;

    if (!PauseUs(700) || !SendProgramChange(*this, mem_num) || !PauseUs(100)) return 0;
    return 1;
}

int CDSDATA::MemRefresh() {
    if (!kvcom::LinkUp()) return 0;
    if (!OpenExchange(*this, kvcom::REV_DUMP_ACK, kAllDevices, kvcom::REV_DUMP)) return 0;
    if (!RequestAndWait(kDumpTimeoutMs, [this] { return SendDumpRequest(*this, kAllDevices); }, CancelAsked)) return 0;

    // The whole dump is in: only now does it replace the table, all at once.
    const kvcom::MemoryTable& dumped = kvcom::dump_table;
    kvcom::CommitTable(dumped);
    if (IsMemory(dumped.current)) mem_num = static_cast<char>(dumped.current);
    return 1;
}

int CDSDATA::MEMRECALLFROMMCU(unsigned char n) {
    if (!kvcom::LinkUp()) return 0;
    ResetReceiveModel();
    DelayUs(100);

    Arm(kvcom::REV_MEM_IMAGE);
    if (!RequestAndWait(kMemoryImageTimeoutMs, [this, n] { return SendImageRequest(*this, kvcom::rev_dev, n); }))
        return 0;

    if (!PauseMs(kRecallBeforeChangeMs)) return 0;
    // The working program is already the device's current one: no change.
    if (n != 0 && !SendProgramChange(*this, n)) return 0;
    if (!PauseMs(kRecallAfterChangeMs) || !PauseUs(100)) return 0;

    CopyProgram(*this, kvcom::rev_data);
    RebuildPool(*this, kvcom::rev_data);
    return 1;
}

int CDSDATA::FetchMemory(unsigned char n) {
    if (!IsMemory(n) || !kvcom::LinkUp()) return 0;
    ResetReceiveModel();
    DelayUs(100);

    // The request alone only reads the memory; the program change that
    // would recall it is never sent. A full pool takes most of a second on
    // the line, so the wait is the working program's, not the recall's.
    Arm(kvcom::REV_MEM_IMAGE);
    if (!RequestAndWait(kWorkingProgramTimeoutMs, [this, n] { return SendImageRequest(*this, kvcom::rev_dev, n); }))
        return 0;

    CopyProgram(*this, kvcom::rev_data);
    RebuildPool(*this, kvcom::rev_data);
    return 1;
}

int CDSDATA::StoreMEMCur(unsigned char /*ignored*/) {
    // Outside the table there is no memory to store into.
    if (!IsMemory(mem_num) || !kvcom::LinkUp()) return 0;
    if (!SendParam(PC_FIGURATION) || !PauseMs(kStoreConfigMs)) return 0;

    // The device answers with the memory's old image; the reader drops it.
    if (!SendImageRequest(*this, 0, static_cast<unsigned char>(mem_num)) || !PauseMs(kStoreRequestMs)) return 0;

    unsigned char image[KV_IMAGE_MAX];
    if (!SendMIDI(image, SaveAsWorkingProgram(*this, image), 0) || !PauseMs(kStoreImageMs)) return 0;

    for (int i = 1; i <= kNameLength; ++i) {
        if (!SendNameChar(*this, i, kvcom::NameCharToDevice(data_name[Entry(mem_num)][i - 1])) ||
            !PauseMs(kStoreNameCharMs))
            return 0;
    }
    if (!SendStore(*this, static_cast<unsigned char>(mem_num)) || !PauseMs(kStoreMessageMs)) return 0;

    if (!SendProgramChange(*this, mem_num) || !PauseMs(kStoreChangeMs)) return 0;
    return 1;
}

int CDSDATA::StoreMEM(unsigned char n) {
    if (!IsMemory(n) || !kvcom::LinkUp()) return 0;  // no such entry: nothing to send
    const unsigned char figuration_code = prog_save[n][kFigurationByte];
    if (!SendDeviceParam(*this, kvcom::rev_dev, figuration_code == 0 ? 0x11 : 0x12, figuration_code) || !PauseUs(300))
        return 0;

    if (!SendEntry(*this, n) || !PauseUs(500)) return 0;

    for (int i = 1; i <= kNameLength; ++i) {
        if (!SendNameChar(*this, i, kvcom::NameCharToDevice(data_name[n][i - 1])) || !PauseUs(100)) return 0;
    }
    if (!SendStore(*this, n) || !PauseUs(100)) return 0;

    if (!PauseUs(700) || !SendProgramChange(*this, n) || !PauseUs(100)) return 0;
    return 1;
}

void SetMemCancelCheck(MemCancelCheck check, void* context) {
    g_cancel_check = check;
    g_cancel_context = context;
}

void SetMemStoreAllProgress(MemStoreAllProgress callback, void* context) {
    g_store_all_progress = callback;
    g_store_all_context = context;
}

int CDSDATA::SendMEMStoreAll() {
    if (!kvcom::LinkUp()) return 0;
    if (!SendIdentityRequest(*this, kAllDevices) || !PauseMs(kStoreAllOpeningMs)) return 0;
    if (!Send(*this, {0xF0, 0x00, 0x20, 0x18, kAllDevices, 0x06, 0x0F, 0xF7}) || !PauseMs(kStoreAllOpeningMs)) return 0;
    if (!SendMIDI(kvcom::kSystemBlock, static_cast<int>(kvcom::kSystemBlockLength), 0) || !PauseMs(kStoreAllOpeningMs))
        return 0;

    for (int m = KV_MEMORIES - 1; m >= 1; --m) {
        if (prog_len[m] <= kEmptyEntryMax) continue;
        if (CancelAsked()) return 0;
        ReportStoreAll(m);
        if (!SendEntry(*this, m) || !PauseMs(kStoreAllImageMs)) return 0;
    }

    // The working program: the model's own when the table holds none, else
    // the table's, which the model takes over once it has gone out.
    const bool from_model = prog_len[0] < kNoWorkingProgramBelow;
    if (CancelAsked()) return 0;
    if (from_model) prog_len[0] = SaveAsWorkingProgram(*this, prog_save[0]);
    ReportStoreAll(0);
    if (!SendEntry(*this, 0)) return 0;
    if (!from_model) GetData(prog_save[0], EntryLength(0), 0);
    return PauseMs(kStoreAllImageMs) ? 1 : 0;
}
