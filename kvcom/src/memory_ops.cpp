// Whole programs between PC and device: fetch the working program, send the
// model, list, recall and store memories, write the whole memory table back.
// Every pause below is one the device needs between these messages.
#include <kvcom/kvcom.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "kvproto/channels.h"
#include "kvproto/image_layout.h"
#include "kvproto/messages.h"
#include "kvproto/names.h"
#include "kvproto/system_block.h"
#include "memory_table.h"
#include "pacing.h"
#include "reception.h"

namespace {

using kvcom::DelayUs;
using kvcom::SleepMs;

constexpr unsigned char kAllDevices = 0x7F;
constexpr int kIdentityTimeoutMs = 1000;
constexpr int kWorkingProgramTimeoutMs = 5000;
constexpr int kMemoryImageTimeoutMs = 1000;
constexpr int kDumpTimeoutMs = 30000;
constexpr int kNameLength = 8;
constexpr unsigned char kStoreSlot = 0x0B;  // the store message's byte 7
constexpr int kFigurationByte = kvcom::image::kFigurationOffset;
// An entry shorter than this holds no program (an empty one is F0 F7).
constexpr int kEmptyEntryMax = 2;
constexpr int kNoWorkingProgramBelow = 5;

// Assembles a message in the model's scratch buffer and sends it.
void Send(CDSDATA& m, std::initializer_list<unsigned char> bytes) {
    std::copy(bytes.begin(), bytes.end(), m.msg_buf);
    m.SendMIDI(m.msg_buf, static_cast<int>(bytes.size()), 0);
}

void SendIdentityRequest(CDSDATA& m, unsigned char device) {
    m.SendMIDI(m.msg_buf, kvcom::message::PutIdentityRequest(m.msg_buf, device), 0);
}

void SendDumpRequest(CDSDATA& m, unsigned char device) {
    m.SendMIDI(m.msg_buf, kvcom::message::PutDumpRequest(m.msg_buf, device), 0);
}

void SendImageRequest(CDSDATA& m, unsigned char device, unsigned char memory) {
    m.SendMIDI(m.msg_buf, kvcom::message::PutImageRequest(m.msg_buf, device, memory), 0);
}

// A parameter of the whole device (code high_code 01) with one data byte,
// which goes out as it is.
void SendDeviceParam(CDSDATA& m, unsigned char device, int high_code, unsigned char value) {
    namespace msg = kvcom::message;
    int n = msg::PutParamHeader(m.msg_buf, device, msg::kSelectorDevice, (high_code << 8) | 0x01);
    m.msg_buf[n++] = value;
    m.msg_buf[n++] = msg::kEnd;
    m.SendMIDI(m.msg_buf, n, 0);
}

// Name character i (1..8) as the device shows it.
void SendNameChar(CDSDATA& m, int i, unsigned char code) { SendDeviceParam(m, 0x00, i, code); }

void SendStore(CDSDATA& m, unsigned char value) { SendDeviceParam(m, 0x00, kStoreSlot, value); }

// Selects memory n on the device; the working program (0) goes out as 0 too.
void SendProgramChange(CDSDATA& m, int n) { Send(m, {0xC0, static_cast<unsigned char>(n > 0 ? n - 1 : 0)}); }

// The memory table entry a memory number addresses; never outside the table.
int Entry(int n) { return (n >= 0 && n < KV_MEMORIES) ? n : 0; }

// The whole length of a table entry, as far as its row goes.
int EntryLength(int n) { return std::clamp(prog_len[n], 0, KV_IMAGE_MAX); }

void SendEntry(CDSDATA& m, int n) { m.SendMIDI(prog_save[n], EntryLength(n), 0); }

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
}

// The identity reply moved the reader on to `next`. A reply from another
// device or of another kind leaves it idle instead: that is no success.
bool IdentityAccepted(int next) {
    const bool ok = kvcom::WaitReply(kIdentityTimeoutMs) == 0 && kvcom::rev_mode.load(std::memory_order_acquire) == next;
    if (!ok) kvcom::rev_mode.store(kvcom::REV_IDLE, std::memory_order_release);
    return ok;
}

// Sends a request with `send` and waits for the reader to finish the reply.
template <typename SendFn>
bool RequestAndWait(int timeout_ms, SendFn send) {
    const unsigned done_before = kvcom::rev_done.load(std::memory_order_acquire);
    send();
    const int busy = kvcom::RaiseAndWaitReply(timeout_ms, done_before);
    kvcom::rev_mode.store(kvcom::REV_IDLE, std::memory_order_release);
    return busy == 0;
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
            to.eq_dsp[j] = 0;
        } else if (kvcom::IsOutputChannel(owner)) {
            AppendSlot(kvcom::EqSlotList(to, owner), j);
            to.eq_dsp[j] = (owner >= 2 && to.CalDSP2() < 20) ? 1 : 0;
        }
    }
}

}  // namespace

int CDSDATA::RecallToPC() {
    ResetReceiveModel();
    DelayUs(100);

    Arm(kvcom::REV_EDIT_ACK);
    SendIdentityRequest(*this, kvcom::rev_dev);
    if (!IdentityAccepted(kvcom::REV_EDIT_IMAGE)) return 0;

    if (!RequestAndWait(kWorkingProgramTimeoutMs, [this] { SendImageRequest(*this, kvcom::rev_dev, 0); })) return 0;

    // Only a fetch that succeeded touches the model.
    mem_num = 1;
    CopyProgram(*this, kvcom::rev_data);
    CopyPool(*this, kvcom::rev_data);
    return 1;
}

int CDSDATA::StoreFromPC() {
    SendParam(PC_FIGURATION);
    DelayUs(500);

    unsigned char image[KV_IMAGE_MAX];
    SendMIDI(image, SaveData(image), 0);
    DelayUs(500);

    const int entry = Entry(mem_num);
    for (int i = 1; i <= kNameLength; ++i) {
        SendNameChar(*this, i, static_cast<unsigned char>(data_name[entry][i - 1]));  // as stored
        DelayUs(100);
    }
    SendStore(*this, 1);
    DelayUs(100'000);

    DelayUs(700);
    SendProgramChange(*this, mem_num);
    DelayUs(100);
    return 1;
}

int CDSDATA::MemRefresh() {
    kvcom::ClearAllMemoryEntries();

    Arm(kvcom::REV_DUMP_ACK);
    SendIdentityRequest(*this, kAllDevices);
    if (!IdentityAccepted(kvcom::REV_DUMP)) return 0;

    if (!RequestAndWait(kDumpTimeoutMs, [this] { SendDumpRequest(*this, kAllDevices); })) return 0;

    mem_num = kvcom::rev_data.mem_num;
    return 1;
}

int CDSDATA::MEMRECALLFROMMCU(unsigned char n) {
    ResetReceiveModel();
    DelayUs(100);

    Arm(kvcom::REV_MEM_IMAGE);
    if (!RequestAndWait(kMemoryImageTimeoutMs, [this, n] { SendImageRequest(*this, kvcom::rev_dev, n); })) return 0;

    SleepMs(500);
    // The working program is already the device's current one: no change.
    if (n != 0) SendProgramChange(*this, n);
    SleepMs(500);
    DelayUs(100);

    CopyProgram(*this, kvcom::rev_data);
    RebuildPool(*this, kvcom::rev_data);
    return 1;
}

int CDSDATA::StoreMEMCur(unsigned char /*ignored*/) {
    SendParam(PC_FIGURATION);
    SleepMs(1200);

    // The device answers with the memory's old image; the reader drops it.
    SendImageRequest(*this, 0, static_cast<unsigned char>(mem_num));
    SleepMs(800);

    unsigned char image[KV_IMAGE_MAX];
    SendMIDI(image, SaveAsWorkingProgram(*this, image), 0);
    SleepMs(3000);

    const int entry = Entry(mem_num);
    for (int i = 1; i <= kNameLength; ++i) {
        SendNameChar(*this, i, kvcom::NameCharToDevice(data_name[entry][i - 1]));
        SleepMs(100);
    }
    SendStore(*this, static_cast<unsigned char>(mem_num));
    SleepMs(1000);

    SendProgramChange(*this, mem_num);
    SleepMs(500);
    return 1;
}

int CDSDATA::StoreMEM(unsigned char n) {
    if (n >= KV_MEMORIES) return 1;  // no such entry: nothing to send
    const unsigned char figuration_code = prog_save[n][kFigurationByte];
    SendDeviceParam(*this, kvcom::rev_dev, figuration_code == 0 ? 0x11 : 0x12, figuration_code);
    DelayUs(300);

    SendEntry(*this, n);
    DelayUs(500);

    for (int i = 1; i <= kNameLength; ++i) {
        SendNameChar(*this, i, kvcom::NameCharToDevice(data_name[n][i - 1]));
        DelayUs(100);
    }
    SendStore(*this, n);
    DelayUs(100);

    DelayUs(700);
    SendProgramChange(*this, n);
    DelayUs(100);
    return 1;
}

void SetMemStoreAllProgress(MemStoreAllProgress callback, void* context) {
    g_store_all_progress = callback;
    g_store_all_context = context;
}

int CDSDATA::SendMEMStoreAll() {
    SendIdentityRequest(*this, kAllDevices);
    SleepMs(600);
    Send(*this, {0xF0, 0x00, 0x20, 0x18, kAllDevices, 0x06, 0x0F, 0xF7});
    SleepMs(600);
    SendMIDI(kvcom::kSystemBlock, static_cast<int>(kvcom::kSystemBlockLength), 0);
    SleepMs(600);

    for (int m = KV_MEMORIES - 1; m >= 1; --m) {
        if (prog_len[m] <= kEmptyEntryMax) continue;
        ReportStoreAll(m);
        SendEntry(*this, m);
        SleepMs(1000);
    }

    if (prog_len[0] < kNoWorkingProgramBelow) {
        prog_len[0] = SaveAsWorkingProgram(*this, prog_save[0]);
    } else {
        GetData(prog_save[0], EntryLength(0), 0);
    }
    ReportStoreAll(0);
    SendEntry(*this, 0);
    SleepMs(1000);
    return 1;
}
