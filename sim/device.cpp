#include "device.h"

#include <cstring>

#include "kvproto/channels.h"
#include "kvproto/image_layout.h"
#include "kvproto/messages.h"
#include "kvproto/names.h"
#include "kvproto/stereo.h"
#include "kvproto/system_block.h"

namespace kvsim {

namespace {

namespace img = kvcom::image;

// Built once, when the simulator's code is loaded: constructing a CDSDATA
// resets the library's memory table, which the program under test may be
// using in the same process. Every later model is a copy of this one.
const CDSDATA kFactory;

constexpr std::uint8_t kOwnDevice = 0x00;
constexpr std::uint8_t kAllDevices = 0x7F;
constexpr std::uint8_t kWrongDevice = 0x05;
constexpr std::uint8_t kIdentityVersion = 0x01;

constexpr int kEqGainFlat = 30;  // 0 dB: what the PC sends when it releases a filter

std::string Hex(int v) {
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[(v >> 4) & 0x0F] + digits[v & 0x0F];
}

bool IsOurHeader(const Bytes& m) { return m.size() >= 7 && m[1] == 0x00 && m[2] == 0x20 && m[3] == 0x18; }

// The slot of an EQ message from its slot byte s = 2 * slot + 2; -1 when
// the byte names no slot.
int SlotFromByte(int s) { return (s >= 2 && s % 2 == 0 && s <= 2 * KV_POOL_ROWS) ? (s - 2) / 2 : -1; }

bool IsEqCode(int hi) { return (hi >= 0x2A && hi <= 0x2D) || (hi >= 0x6C && hi <= 0x6F) || hi == 0x1A; }
bool IsEqGainCode(int hi) { return hi == 0x2C || hi == 0x6E; }

std::string MemoryName(const Bytes& image) {
    std::string name;
    for (int i = 0; i < 8; ++i) name += kvcom::NameCharFromList(img::JoinPair(image.data() + img::kNameOffset + 2 * i));
    return name;
}

Memory EmptyMemory() { return kvfiles::EmptyBankTable().entries[1]; }

}  // namespace

Device::Device() : working_(kFactory) {
    for (Memory& m : memories_) m = EmptyMemory();
}

const Memory& Device::MemoryAt(int m) const {
    static const Memory kNone = EmptyMemory();
    return (m >= 1 && m <= kMemories) ? memories_[m] : kNone;
}

Bytes Device::Feed(const std::uint8_t* plain, std::size_t n) {
    Bytes reply;
    parser_.Feed(
        plain, n,
        [&](const Bytes& m) {
            Note(m, "");
            OnMessage(m, reply);
        },
        [&](const Bytes& junk, const std::string& why) { Note(junk, "ignored: " + why); });
    return reply;
}

void Device::Note(const Bytes& bytes, const std::string& why) {
    if (observer_) observer_(bytes, why);
}

void Device::Reply(Bytes& out, Bytes message) {
    if (message.empty()) return;
    if (faults_.drop_replies > 0) {
        --faults_.drop_replies;
        Note(message, "fault: reply dropped");
        return;
    }
    if (faults_.corrupt_replies > 0) {
        --faults_.corrupt_replies;
        // One data byte near the middle: a dump is many messages, and its
        // middle may be where one ends and the next begins.
        std::size_t at = message.size() / 2;
        while (at + 1 < message.size() && message[at] >= 0x80) ++at;
        if (message[at] < 0x80) message[at] ^= 0x01;
        Note(message, "fault: reply corrupted");
    }
    out.insert(out.end(), message.begin(), message.end());
}

void Device::OnMessage(const Bytes& m, Bytes& reply) {
    const bool part_of_bulk =
        m[0] == 0xF0 && m.size() > 5 && (m[5] == kvcom::kSystemBlockCommand || m[5] == img::kCommand);
    if (!part_of_bulk) bulk_store_ = false;
    if (m[0] == 0xC0) {
        RecallMemory(m[1] + 1);
        return;
    }
    OnSysEx(m, reply);
}

void Device::OnSysEx(const Bytes& m, Bytes& reply) {
    if (!IsOurHeader(m)) {
        Note(m, "ignored: not a message of this device");
        return;
    }
    if (m[4] != kOwnDevice && m[4] != kAllDevices) {
        Note(m, "ignored: addressed to device " + Hex(m[4]));
        return;
    }
    const std::uint8_t command = m[5];
    if (command == 0x06 && m.size() == 8 && m[6] == 0x01) {
        const std::uint8_t dev = faults_.wrong_device_byte ? kWrongDevice : kOwnDevice;
        Reply(reply, {0xF0, 0x00, 0x20, 0x18, dev, 0x06, 0x02, 0x03, kIdentityVersion, 0x06, 0xF7});
    } else if (command == 0x06 && m.size() == 8 && m[6] == 0x0F) {
        bulk_store_ = true;
    } else if (command == 0x00 && m.size() == 7) {
        Bytes dump = kvfiles::SystemBlock(current_);
        for (int k = kMemories; k >= 1; --k)
            if (memories_[k].used) dump.insert(dump.end(), memories_[k].image.begin(), memories_[k].image.end());
        if (faults_.cut_dump) {
            Note({}, "fault: dump cut before the working program");
        } else {
            const Bytes working = WorkingImage();
            dump.insert(dump.end(), working.begin(), working.end());
        }
        Reply(reply, std::move(dump));
    } else if (command == 0x02 && m.size() == 8) {
        const int n = m[6];
        if (n == 0)
            Reply(reply, WorkingImage());
        else if (n <= kMemories && memories_[n].used)
            Reply(reply, memories_[n].image);
        else
            Note(m, "memory " + std::to_string(n) + " holds nothing to send");
    } else if (command == kvcom::kSystemBlockCommand && m.size() == kvcom::kSystemBlockLength && bulk_store_) {
        const int mem = img::JoinPair(m.data() + kvcom::kSystemBlockMemNumOffset);
        if (mem >= 1 && mem <= kMemories) {
            current_ = mem;
            ++revision_;
        }
    } else if (command == img::kCommand) {
        OnImage(m);
    } else if (command == 0x2D) {
        OnParameter(m);
    } else {
        Note(m, "ignored: command " + Hex(command) + " not understood here");
    }
}

void Device::OnImage(const Bytes& m) {
    if (m.size() < static_cast<std::size_t>(img::kFixedLength) || m.size() > kvfiles::kBankImageMax) {
        Note(m, "ignored: program image of " + std::to_string(m.size()) + " bytes");
        return;
    }
    const int mem = m[img::kMemNumOffset];
    if (bulk_store_ && mem >= 1 && mem <= kMemories) {
        memories_[mem] = Memory{m, MemoryName(m), true};
        ++revision_;
        return;
    }
    if (bulk_store_ && mem > kMemories) {
        Note(m, "ignored: program image for memory " + std::to_string(mem));
        return;
    }
    bulk_store_ = false;  // the working program closes a bulk store
    working_.GetData(m.data(), static_cast<int>(m.size()), 0);
    Rebuild();
}

void Device::OnParameter(const Bytes& m) {
    if (m.size() < 10 || m.size() > 13) {
        Note(m, "ignored: parameter message of " + std::to_string(m.size()) + " bytes");
        return;
    }
    const int selector = m[6], hi = m[7], lo = m[8];
    int d[3] = {0, 0, 0};  // trailing data bytes that were not sent are 0
    for (std::size_t i = 9; i + 1 < m.size(); ++i) d[i - 9] = m[i];

    // 1A 01 without data is both the filter assignment and the trailer the
    // PC sends after an EQ gain; right after a gain it is the trailer.
    if (hi == 0x1A && lo == 0x01 && m.size() == 10 && after_eq_gain_) {
        after_eq_gain_ = false;
        last_parameter_.clear();  // an assignment may follow at once
        return;
    }
    // With the link on, In B's own EQ messages arrive twice at In B (the
    // input link repeat goes to In B whoever owns the filter); the second
    // copy must not open or release a second filter.
    if (IsEqCode(hi) && m == last_parameter_) {
        Note(m, "ignored: repeat of the previous EQ message");
        return;
    }
    last_parameter_ = m;
    after_eq_gain_ = IsEqGainCode(hi) && lo == 0x00;
    if (hi == 0x17 && lo == 0x01) return;  // the trailer after an assignment

    const int channel = kvcom::ChannelFromSelector(selector);
    if (selector == kvcom::message::kSelectorDevice)
        OnDeviceParameter(hi, lo, d[0]);
    else if (kvcom::IsInputChannel(channel) || selector == kvcom::kSelectorSum)
        OnInputParameter(selector, hi, lo, d);
    else if (kvcom::IsOutputChannel(channel))
        OnOutputParameter(channel, hi, lo, d);
    else
        Note(m, "ignored: no channel " + Hex(selector));
}

void Device::OnDeviceParameter(int hi, int lo, int value) {
    if (hi == 0x02 && lo == 0x00) {
        working_.link_on = value ? 1 : 0;
        Rebuild();
    } else if ((hi == 0x11 || hi == 0x12) && lo == 0x01 && value <= 2) {
        ResetToFactory(value);
    } else if (hi >= 1 && hi <= 8 && lo == 0x01) {
        name_codes_[hi - 1] = static_cast<std::uint8_t>(value);
        name_received_ = true;
    } else if (hi == 0x0B && lo == 0x01) {
        StoreWorking(value);
    } else {
        Note({}, "ignored: device parameter " + Hex(hi) + " " + Hex(lo));
    }
}

void Device::OnInputParameter(int selector, int hi, int lo, const int d[3]) {
    if (hi == 0x20 && lo == 0x00) {
        const int delay = d[0] + 128 * d[1] + 16384 * d[2];
        if (delay > KV_MAX_DELAY) return Note({}, "ignored: input delay " + std::to_string(delay));
        (selector == CHAN_IN_A   ? working_.ina_delay
         : selector == CHAN_IN_B ? working_.inb_delay
                                 : working_.sum_delay) = delay;
        return;
    }
    if (selector == kvcom::kSelectorSum) return Note({}, "ignored: In SUM A+B has only a delay");
    if (hi == 0x1A && lo == 0x01) return AssignFilter(selector);
    if (lo != 0x00 || hi < 0x2A || hi > 0x2D) return Note({}, "ignored: input parameter " + Hex(hi) + " " + Hex(lo));
    const EqField field = static_cast<EqField>(hi - 0x2A);
    // The frequency carries its high group first and the slot third.
    if (field == EqField::kFreq) return SetFilterValue(selector, SlotFromByte(d[2]), field, d[0] * 128 + d[1]);
    SetFilterValue(selector, SlotFromByte(d[1]), field, d[0]);
}

void Device::OnOutputParameter(int out, int hi, int lo, const int d[3]) {
    const int value = d[0] + 128 * d[1] + 16384 * d[2];
    if (hi == 0x1A && lo == 0x01) return AssignFilter(out);
    if (lo != 0x00) return Note({}, "ignored: output parameter " + Hex(hi) + " " + Hex(lo));
    CDSDATA& w = working_;
    switch (hi) {
    case 0x61:
        if (d[0] <= 2) w.out_source[out] = static_cast<char>(d[0]);
        return;
    case 0x62:
        if (value <= 150) w.out_gain[out] = value - 75;
        return;
    case 0x63:
        if (value <= 150) w.out_limit[out] = value - 50;
        return;
    case 0x64:
        if (value <= KV_MAX_DELAY) w.out_delay[out] = value;
        return;
    case 0x66: w.out_polarity[out] = d[0] ? 1 : 0; return;
    case 0x70: w.out_mute[out] = d[0] ? 1 : 0; return;
    case 0x67:
    case 0x69:
        if (d[0] <= 9) w.xo_type[out][hi == 0x69] = d[0];
        return;
    case 0x68:
    case 0x6A:
        if (value <= 201) w.xo_freq[out][hi == 0x6A] = value;
        return;
    case 0x6C:
    case 0x6D:
    case 0x6E:
    case 0x6F: {
        // The second byte is the slot byte plus the value's high group.
        const int high = d[1] & 1;
        return SetFilterValue(out, SlotFromByte(d[1] - high), static_cast<EqField>(hi - 0x6C), d[0] + 128 * high);
    }
    default: Note({}, "ignored: output parameter " + Hex(hi));
    }
}

void Device::ResetToFactory(int figuration) {
    working_ = kFactory;
    working_.figuration = static_cast<char>(figuration);
    working_.link_on = 0;  // the link message follows for the stereo configurations
    working_.InitData();
}

void Device::RecallMemory(int m) {
    if (m < 1 || m > kMemories) return Note({}, "ignored: recall of memory " + std::to_string(m));
    current_ = m;
    ++revision_;
    if (!memories_[m].used) return Note({}, "memory " + std::to_string(m) + " is empty: nothing recalled");
    const Bytes& image = memories_[m].image;
    working_.GetData(image.data(), static_cast<int>(image.size()), 0);
    Rebuild();
}

void Device::StoreWorking(int m) {
    if (m > kMemories) return Note({}, "ignored: store into memory " + std::to_string(m));
    if (name_received_) {
        std::memset(working_.prog_name, 0, sizeof working_.prog_name);
        for (int i = 0; i < 8; ++i) working_.prog_name[i] = kvcom::NameCharFromList(name_codes_[i]);
        name_received_ = false;
    }
    if (m == 0) return;  // names the working program only
    CDSDATA program(working_);
    program.mem_num = static_cast<char>(m);
    Bytes image(static_cast<std::size_t>(img::ImageLength(img::kMaxFilters)));
    image.resize(static_cast<std::size_t>(program.SaveData(image.data())));
    memories_[m] = Memory{image, MemoryName(image), true};
    current_ = m;
    ++revision_;
}

Bytes Device::WorkingImage() const {
    CDSDATA program(working_);
    program.mem_num = 0;
    Bytes image(static_cast<std::size_t>(img::ImageLength(img::kMaxFilters)));
    image.resize(static_cast<std::size_t>(program.SaveData(image.data())));
    return image;
}

void Device::SetWorking(const CDSDATA& program) {
    working_ = program;
    Rebuild();
}

void Device::StoreMemory(int m, const CDSDATA& program, const std::string& name) {
    if (m < 1 || m > kMemories) return;
    const CDSDATA keep(working_);
    const int keep_current = current_;
    SetWorking(program);
    std::memset(working_.prog_name, 0, sizeof working_.prog_name);
    std::strncpy(working_.prog_name, name.c_str(), 8);
    name_received_ = false;
    StoreWorking(m);
    working_ = keep;
    current_ = keep_current;
}

kvfiles::BankTable Device::ExportState() const {
    kvfiles::BankTable t = kvfiles::EmptyBankTable();
    for (int m = 1; m <= kMemories; ++m) t.entries[m] = memories_[m];
    t.entries[0] = Memory{WorkingImage(), working_.prog_name, true};
    t.current = current_;
    return t;
}

void Device::ImportState(const kvfiles::BankTable& table) {
    for (int m = 1; m <= kMemories; ++m) {
        const Memory& e = table.entries[m];
        const bool fits = e.used && e.image.size() >= static_cast<std::size_t>(img::kFixedLength);
        memories_[m] = fits ? e : EmptyMemory();
    }
    const Memory& w = table.entries[0];
    if (w.used && w.image.size() >= static_cast<std::size_t>(img::kFixedLength)) {
        working_.GetData(w.image.data(), static_cast<int>(w.image.size()), 0);
        Rebuild();
    }
    current_ = (table.current >= 1 && table.current <= kMemories) ? table.current : 1;
    ++revision_;
}

// --- EQ filters by channel and slot -----------------------------------------

void Device::AssignFilter(int channel) {
    int* slots = kvcom::EqSlotList(working_, channel);
    int row = 0;
    while (row < img::kMaxFilters && working_.eq_owner[row] != -1) ++row;
    int end = 0;
    while (end < KV_POOL_ROWS && slots[end] != -1) ++end;
    if (row == img::kMaxFilters || end == KV_POOL_ROWS) return Note({}, "ignored: no EQ filter left to assign");
    CDSDATA& w = working_;
    w.eq_owner[row] = channel;
    w.eq_type[row] = w.eq_type[KV_DEFAULT_ROW];
    w.eq_freq[row] = w.eq_freq[KV_DEFAULT_ROW];
    w.eq_bw[row] = w.eq_bw[KV_DEFAULT_ROW];
    w.eq_gain[row] = kEqGainFlat;
    slots[end] = row;
    Rebuild();
}

void Device::SetFilterValue(int channel, int slot, EqField field, int value) {
    int* slots = kvcom::EqSlotList(working_, channel);
    const int row = slot >= 0 ? slots[slot] : -1;
    if (row < 0) return Note({}, "ignored: EQ message for an empty slot");
    CDSDATA& w = working_;
    switch (field) {
    case EqField::kType:
        if (value > 4) return Note({}, "ignored: EQ type " + std::to_string(value));
        w.eq_type[row] = value;
        break;
    case EqField::kFreq:
        if (value < 1 || value > 200) return Note({}, "ignored: EQ frequency " + std::to_string(value));
        w.eq_freq[row] = value;
        break;
    case EqField::kGain:
        if (value > 60) return Note({}, "ignored: EQ gain " + std::to_string(value));
        // The PC's editor never sets 0 dB: it sends 0 dB only when it
        // releases the filter, and then packs the channel's list.
        if (value == kEqGainFlat) return ReleaseFilter(channel, slot);
        w.eq_gain[row] = value;
        break;
    case EqField::kWidth:
        if (value > 59) return Note({}, "ignored: EQ width " + std::to_string(value));
        w.eq_bw[row] = value;
        break;
    }
    Rebuild();
}

void Device::ReleaseFilter(int channel, int slot) {
    int* slots = kvcom::EqSlotList(working_, channel);
    working_.eq_owner[slots[slot]] = -1;
    for (int i = slot; i + 1 < KV_POOL_ROWS; ++i) slots[i] = slots[i + 1];
    slots[KV_POOL_ROWS - 1] = -1;
    Rebuild();
}

// Brings the pool into the order the device sends it in: channel by
// channel, each in slot order, and with the link on the filters of two
// linked channels taken in turns, so that each filter of the leading
// channel is followed by its twin (the PC derives twins from that order).
// The working program is then what the PC rebuilds from the image.
void Device::Rebuild() {
    CDSDATA& w = working_;
    std::vector<int> order;
    auto take = [&](const int* a, const int* b) {
        for (int i = 0; i < KV_POOL_ROWS; ++i) {
            if (a[i] >= 0 && w.eq_owner[a[i]] != -1) order.push_back(a[i]);
            if (b && b[i] >= 0 && w.eq_owner[b[i]] != -1) order.push_back(b[i]);
        }
    };
    if (w.link_on) {
        take(w.ina_eq_slot, w.inb_eq_slot);
    } else {
        take(w.ina_eq_slot, nullptr);
        take(w.inb_eq_slot, nullptr);
    }
    for (int out = 0; out < KV_OUTPUTS; ++out) {
        const int partner = kvcom::StereoPartner(w.figuration, out);
        if (!w.link_on || partner < 0)
            take(w.out_eq_slot[out], nullptr);
        else if (kvcom::LeadsStereoPair(w.figuration, out))
            take(w.out_eq_slot[out], w.out_eq_slot[partner]);
    }

    CDSDATA packed(w);
    for (int j = 0; j < KV_POOL_ROWS; ++j) packed.eq_owner[j] = -1;
    for (std::size_t i = 0; i < order.size() && i < static_cast<std::size_t>(img::kMaxFilters); ++i) {
        const int src = order[i];
        packed.eq_owner[i] = w.eq_owner[src];
        packed.eq_type[i] = w.eq_type[src];
        packed.eq_freq[i] = w.eq_freq[src];
        packed.eq_gain[i] = w.eq_gain[src];
        packed.eq_bw[i] = w.eq_bw[src];
    }
    std::uint8_t image[img::ImageLength(img::kMaxFilters)];
    const int n = packed.SaveData(image);
    const char mem = w.mem_num;
    w.GetData(image, n, 0);
    w.mem_num = mem;
}

}  // namespace kvsim
