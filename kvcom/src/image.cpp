// The program image: the whole model as one System Exclusive message, every
// payload byte split into two nibbles so that only F0 and F7 have the top
// bit set. SaveData writes it, GetData rebuilds a model from it.
#include <kvcom/kvcom.h>

#include <cstring>

#include "kvproto/channels.h"
#include "kvproto/image_layout.h"
#include "kvproto/names.h"
#include "kvproto/stereo.h"

namespace img = kvcom::image;

using kvcom::IsEqChannel;
using kvcom::IsInputChannel;
using kvcom::IsOutputChannel;

namespace {

constexpr std::uint8_t kMarker[8] = {0x24, 0x29, 0x27, 0x21, 0x35, 0x24, 0x29, 0x2F};

// A pool row holds a filter in use when it has a channel for its owner.
bool RowInUse(const CDSDATA& m, int row) { return IsEqChannel(m.eq_owner[row]); }

// Whether a filter of `other` counts in the chain of a filter of `owner`:
// with the link on, the two linked channels form one chain.
bool SameChain(const CDSDATA& m, int owner, int other) {
    if (other == owner) return true;
    if (!m.link_on) return false;
    if (IsInputChannel(owner)) return IsInputChannel(other);
    const int partner = kvcom::StereoPartner(m.figuration, owner);
    return partner >= 0 && other == partner;
}

// Where a filter stands among the filters of its chain: position p (1-based)
// of n, encoded as the device expects it.
int ChainCode(bool link_on, int p, int n) {
    if (!link_on) {
        if (p == n && n != 1) return 0x0000;
        if (n == 1) return 0x0002;
        if (p == 1) return 0x0202;
        return (p + 1) * 256;
    }
    if (n == 2) return 0x0003;
    if (n > 2 && p == 1) return 0x0203;
    if (n > 2 && p == 2) return 0x0303;
    if (n > 2 && (p == n || p == n - 1)) return 0x0001;
    return (p + 1) * 256 + 1;
}

void PutDelayBytes(std::uint8_t* record, int delay) {
    record[2] = static_cast<std::uint8_t>(delay / 256);
    record[3] = static_cast<std::uint8_t>(delay);
}

// Reads split bytes of an image, treating anything at or past the end of
// the buffer as 0 so that a short buffer is never read beyond its length.
class ImageReader {
public:
    ImageReader(const unsigned char* buf, int len, int start) : buf_(buf), len_(len), start_(start) {}

    std::uint8_t Raw(int offset) const {
        const long pos = static_cast<long>(start_) + offset;
        return (pos >= 0 && pos < len_) ? buf_[pos] : 0;
    }
    std::uint8_t Byte(int offset) const { return static_cast<std::uint8_t>(Raw(offset) + 16 * Raw(offset + 1)); }
    std::uint8_t Low(int offset) const { return Raw(offset) & 0x0F; }
    // Record byte i of the split record at `base`.
    std::uint8_t Rec(int base, int i) const { return Byte(base + 2 * i); }
    std::uint8_t RecLow(int base, int i) const { return Low(base + 2 * i); }

    // Filter records the buffer holds: (len - 488) / 32 as files and the
    // line deliver them, at most one per assignable pool row, and never a
    // record that would run past the end of the buffer.
    int FilterCount() const {
        if (len_ < img::kFixedLength - 2) return 0;
        int n = (len_ - (img::kFixedLength - 2)) / img::kFilterRecordBytes;
        if (n > img::kMaxFilters) n = img::kMaxFilters;
        const long room = static_cast<long>(len_) - start_ - img::kFiltersOffset;
        const long fits = room > 0 ? room / img::kFilterRecordBytes : 0;
        return n < fits ? n : static_cast<int>(fits);
    }

private:
    const unsigned char* buf_;
    int len_;
    int start_;
};

// The device numbers a channel's EQ slots by the order of that channel's
// records. Once a freed low row is reused, pool order no longer matches a
// channel's slot order, so each channel's records take its filters in slot
// order while the interleaving of channels (and so every chain code) stays
// that of the pool. A channel whose slot list does not hold exactly its
// filters keeps pool order.
void PutChannelsInSlotOrder(const CDSDATA& m, int* rows, int n) {
    const int owners[] = {0, 1, 2, 3, 4, 5, CHAN_IN_A, CHAN_IN_B};
    for (int owner : owners) {
        const int* slots = kvcom::EqSlotList(m, owner);
        int ordered[KV_POOL_ROWS];
        int count = 0;
        for (int s = 0; s < KV_POOL_ROWS && slots[s] >= 0 && slots[s] < img::kMaxFilters; ++s)
            if (m.eq_owner[slots[s]] == owner) ordered[count++] = slots[s];
        int in_pool = 0;
        for (int w = 0; w < n; ++w)
            if (m.eq_owner[rows[w]] == owner) ++in_pool;
        if (in_pool != count) continue;
        int next = 0;
        for (int w = 0; w < n; ++w)
            if (m.eq_owner[rows[w]] == owner) rows[w] = ordered[next++];
    }
}

int DelayOrZero(int delay) { return delay > KV_MAX_DELAY ? 0 : delay; }

}  // namespace

int CDSDATA::SaveData(unsigned char* out) const {
    // The filters in use are the pool rows with an owner, in pool order;
    // free rows between them (left by a release) are not written.
    int rows[img::kMaxFilters];
    int n = 0;
    for (int j = 0; j < img::kMaxFilters; ++j)
        if (RowInUse(*this, j)) rows[n++] = j;
    PutChannelsInSlotOrder(*this, rows, n);

    const std::uint8_t mem = static_cast<std::uint8_t>(mem_num);
    const std::uint8_t intro[8] = {0xF0, 0x00, 0x20, 0x18, 0x00, img::kCommand, static_cast<std::uint8_t>(n + 15), mem};
    std::memcpy(out, intro, sizeof intro);

    std::uint8_t header[24] = {0x70, 0x72, 0x6F, 0x67, 0x00, 0x22, 0xFF, 0x00, mem, 0x00};
    // Only the name up to its NUL: whatever a longer former name left
    // behind it goes out as blanks.
    char name[9] = {};
    for (int i = 0; i < 8 && prog_name[i] != '\0'; ++i) name[i] = prog_name[i];
    for (int i = 0; i < 8; ++i) header[10 + i] = kvcom::NameCharToDevice(name[i]);
    img::PutSplit(out + img::kHeaderOffset, header, 24);

    std::uint8_t* p = out + img::kMarkerOffset;
    for (int twice = 0; twice < 2; ++twice) {
        img::PutSplit(p, kMarker, 8);
        p[16] = 0x00;
        p[17] = 0x00;
        p += 18;
    }

    const std::uint8_t config[10] = {0, 0, 0, static_cast<std::uint8_t>(link_on ? 1 : 0),
                                     static_cast<std::uint8_t>(figuration)};
    img::PutSplit(out + img::kConfigOffset, config, 10);

    const int in_delays[3] = {ina_delay, inb_delay, sum_delay};
    for (int i = 0; i < 3; ++i) {
        std::uint8_t rec[12] = {};
        PutDelayBytes(rec, in_delays[i]);
        rec[10] = rec[11] = 0xFF;
        img::PutSplit(out + img::kInputsOffset + i * img::kInputRecordBytes, rec, 12);
    }

    for (int k = 0; k < KV_OUTPUTS; ++k) {
        std::uint8_t rec[24] = {};
        PutDelayBytes(rec, out_delay[k]);
        rec[8] = static_cast<std::uint8_t>(out_name[k]);
        rec[9] = static_cast<std::uint8_t>(out_source[k]);
        rec[10] = static_cast<std::uint8_t>(out_gain[k] + 75);
        rec[11] = static_cast<std::uint8_t>(out_limit[k] + 50);
        rec[13] = static_cast<std::uint8_t>(out_polarity[k]);
        rec[14] = static_cast<std::uint8_t>(xo_type[k][0]);
        rec[15] = static_cast<std::uint8_t>(xo_freq[k][0]);
        rec[16] = static_cast<std::uint8_t>(xo_type[k][1]);
        rec[17] = static_cast<std::uint8_t>(xo_freq[k][1]);
        rec[18] = out_mute[k] ? 1 : 0;
        rec[19] = 0x01;
        img::PutSplit(out + img::kOutputsOffset + k * img::kOutputRecordBytes, rec, 24);
    }

    for (int w = 0; w < n; ++w) {
        const int j = rows[w];
        const int owner = eq_owner[j];
        int chain_len = 0, position = 0;
        for (int v = 0; v < n; ++v) {
            if (!SameChain(*this, owner, eq_owner[rows[v]])) continue;
            ++chain_len;
            if (v == w) position = chain_len;
        }
        const int code = ChainCode(link_on != 0, position, chain_len);
        std::uint8_t rec[16] = {};
        rec[5] = static_cast<std::uint8_t>(kvcom::ChannelSelector(owner));
        rec[7] = static_cast<std::uint8_t>(eq_type[j]);
        rec[8] = static_cast<std::uint8_t>(eq_freq[j]);
        rec[9] = static_cast<std::uint8_t>(eq_gain[j]);
        rec[10] = static_cast<std::uint8_t>(eq_bw[j]);
        rec[11] = static_cast<std::uint8_t>(code >> 8);
        rec[13] = static_cast<std::uint8_t>(code);
        img::PutSplit(out + img::kFiltersOffset + w * img::kFilterRecordBytes, rec, 16);
    }

    const int trailer = img::kFiltersOffset + n * img::kFilterRecordBytes;
    std::memset(out + trailer, 0x0F, img::kTrailerBytes);
    const int sum_end = trailer + img::kTrailerBytes;
    out[sum_end] = img::Checksum(out, 8, static_cast<std::size_t>(sum_end));
    out[sum_end + 1] = 0xF7;
    return sum_end + 2;
}

void CDSDATA::GetData(const unsigned char* buf, int len, int start) {
    const ImageReader in(buf, len, start);

    figuration = static_cast<char>(in.Low(img::kFigurationOffset));
    if (figuration > 2) figuration = 0;
    link_on = in.Low(img::kLinkOffset);
    if (link_on > 1) link_on = 0;
    InitData();

    std::memset(prog_name, 0, sizeof prog_name);
    for (int i = 0; i < 8; ++i) prog_name[i] = kvcom::NameCharFromImage(in.Byte(img::kNameOffset + 2 * i));

    int* const in_delays[3] = {&ina_delay, &inb_delay, &sum_delay};
    for (int i = 0; i < 3; ++i) {
        const int base = img::kInputsOffset + i * img::kInputRecordBytes;
        *in_delays[i] = DelayOrZero(in.Rec(base, 2) * 256 + in.Rec(base, 3));
    }

    for (int k = 0; k < KV_OUTPUTS; ++k) {
        const int base = img::kOutputsOffset + k * img::kOutputRecordBytes;
        out_delay[k] = DelayOrZero(in.Rec(base, 2) * 256 + in.Rec(base, 3));
        out_name[k] = static_cast<char>(in.Rec(base, 8));
        const int source = in.RecLow(base, 9);
        out_source[k] = static_cast<char>(source <= 2 ? source : 0);
        const int gain = in.Rec(base, 10) - 75;
        out_gain[k] = (gain >= -75 && gain <= 75) ? gain : 0;
        const int limit = in.Rec(base, 11) - 50;
        out_limit[k] = (limit >= -50 && limit <= 100) ? limit : 20;
        const int polarity = in.RecLow(base, 13);
        out_polarity[k] = polarity <= 1 ? polarity : 0;
        for (int side = 0; side < 2; ++side) {
            const int type = in.RecLow(base, 14 + 2 * side);
            xo_type[k][side] = type <= 9 ? type : 0;
            const int freq = in.Rec(base, 15 + 2 * side);
            xo_freq[k][side] = freq <= 201 ? freq : 0;
        }
        const int mute = in.RecLow(base, 18);
        out_mute[k] = mute <= 1 ? mute : 0;
    }

    eq_used = in.FilterCount();
    for (int j = 0; j < eq_used; ++j) {
        const int base = img::kFiltersOffset + j * img::kFilterRecordBytes;
        const int owner = kvcom::ChannelFromSelector(in.Rec(base, 5));

        const int type = in.RecLow(base, 7);
        eq_type[j] = type <= 4 ? type : 0;
        eq_freq[j] = in.Rec(base, 8);
        eq_gain[j] = in.Rec(base, 9);
        eq_bw[j] = in.Rec(base, 10);
        if (owner < 0) continue;  // no channel: the row stays free
        eq_owner[j] = owner;

        // A leading filter's twin is the next record, provided that record
        // really belongs to the partner; otherwise the filter has no twin.
        if (link_on && j + 1 < eq_used) {
            const int next = in.Rec(base + img::kFilterRecordBytes, 5);
            if (owner == CHAN_IN_A && next == CHAN_IN_B) eq_link[j] = j + 1;
            if (IsOutputChannel(owner) && kvcom::LeadsStereoPair(figuration, owner) &&
                next == kvcom::ChannelSelector(kvcom::StereoPartner(figuration, owner)))
                eq_link[j] = j + 1;
        }

        int* slots = kvcom::EqSlotList(*this, owner);
        for (int s = 0; s < KV_POOL_ROWS; ++s) {
            if (slots[s] == -1) {
                slots[s] = j;
                break;
            }
        }

        if (IsInputChannel(owner)) {
            const bool a = owner == CHAN_IN_A;
            (a ? ina_eq_gain : inb_eq_gain)[j] = eq_gain[j];
            (a ? ina_eq_freq : inb_eq_freq)[j] = eq_freq[j];
            (a ? ina_eq_bw : inb_eq_bw)[j] = eq_bw[j];
            (a ? ina_eq_type : inb_eq_type)[j] = eq_type[j];
        }
        eq_dsp[j] = kvcom::DspForReadFilter(*this, owner);
    }
}
