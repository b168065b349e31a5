// Parameter messages: every edit goes to the device as one short System
// Exclusive message built from the model, followed by its link repeat and,
// for the EQ codes, a trailer that makes the device take the new values.
#include <kvcom/kvcom.h>

#include <algorithm>

#include "kvproto/channels.h"
#include "kvproto/messages.h"
#include "kvproto/stereo.h"
#include "pacing.h"
#include "reception.h"
#include "transport.h"

namespace {

using kvcom::kSelectorInA;
using kvcom::kSelectorInB;
using kvcom::kSelectorOut1;
using kvcom::kSelectorSum;
using kvcom::message::kEnd;
using kvcom::message::kSelectorByte;
using kvcom::message::kSelectorDevice;

constexpr int kFigurationCodeLinked = 0x1201;  // 0x1101 as sent outside Mono

constexpr int kTrailerAccept = 0x1A01;  // "EQ trailer 1A"
constexpr int kTrailerAssign = 0x1701;  // "EQ trailer 17"

// The device needs these gaps around the messages.
constexpr unsigned kAfterMessageMs = 10;
constexpr unsigned kBeforeInputRepeatMs = 500;
constexpr unsigned kBeforeTrailerMs = 500;
constexpr unsigned kAfterRepeatUs = 30'000;
constexpr unsigned kBeforeIdentityUs = 500;
constexpr unsigned kAfterIdentityUs = 50'000;

// Offsets that make the signed output values non-negative on the wire.
constexpr int kGainOffset = 75;
constexpr int kLimitOffset = 50;

constexpr int kMaxDataBytes = 3;

// A value as three 7-bit digits, least significant first. Every data byte
// must stay below 0x80 or the device would take it for the end of the
// message, so a value below zero goes out as 0 and one past three digits as
// the largest three-digit value.
struct Groups {
    int g0, g1, g2;
};
Groups SevenBitGroups(int v) {
    v = std::clamp(v, 0, (1 << 21) - 1);
    return {v & 0x7F, (v >> 7) & 0x7F, (v >> 14) & 0x7F};
}

// The selector byte and the data bytes of one code, read from the model.
struct Payload {
    int selector;
    int code;  // as it goes out (0x1101 may become 0x1201)
    int data[kMaxDataBytes];
};

bool IsInputEqCode(int code) {
    return code == PC_IN_EQ_TYPE || code == PC_IN_EQ_FREQ || code == PC_IN_EQ_GAIN || code == PC_IN_EQ_BW ||
           code == PC_IN_EQ_ASSIGN;
}

bool IsOutputEqCode(int code) {
    return code == PC_OUT_EQ_TYPE || code == PC_OUT_EQ_FREQ || code == PC_OUT_EQ_GAIN || code == PC_OUT_EQ_BW;
}

// EQ messages address the channel that owns the filter when it is an input.
int OwnerSelector(const CDSDATA& m) {
    const int owner = m.eq_owner[m.cur_eq];
    return kvcom::IsInputChannel(owner) ? owner : m.cur_chan + kSelectorOut1;
}

Payload Encode(const CDSDATA& m, int code) {
    Payload p{m.cur_chan + kSelectorOut1, code, {0, 0, 0}};
    auto set = [&p](int d1, int d2 = 0, int d3 = 0) {
        p.data[0] = d1;
        p.data[1] = d2;
        p.data[2] = d3;
    };
    auto set_groups = [&set](int v) {
        const Groups g = SevenBitGroups(v);
        set(g.g0, g.g1, g.g2);
    };
    // The EQ codes carry the slot as 2 * slot + 2, which is never zero.
    const int slot_byte = 2 * m.cur_slot + 2;
    if (IsInputEqCode(code) || IsOutputEqCode(code)) p.selector = OwnerSelector(m);

    switch (code) {
    case PC_LINK:
        p.selector = kSelectorDevice;
        set(m.link_on ? 1 : 0);
        break;
    case PC_FIGURATION:
        p.selector = kSelectorDevice;
        if (m.figuration != 0) p.code = kFigurationCodeLinked;
        set(SevenBitGroups(m.figuration).g0);
        break;
    case PC_INA_DELAY:
        p.selector = kSelectorInA;
        set_groups(m.ina_delay);
        break;
    case PC_INB_DELAY:
        p.selector = kSelectorInB;
        set_groups(m.inb_delay);
        break;
    case PC_SUM_DELAY:
        p.selector = kSelectorSum;
        set_groups(m.sum_delay);
        break;
    case PC_IN_EQ_TYPE: set(SevenBitGroups(m.eq_type[m.cur_eq]).g0, slot_byte); break;
    case PC_IN_EQ_FREQ: {
        const Groups g = SevenBitGroups(m.eq_freq[m.cur_eq]);
        set(g.g1, g.g0, slot_byte);
        break;
    }
    case PC_IN_EQ_GAIN: set(SevenBitGroups(m.eq_gain[m.cur_eq]).g0, slot_byte); break;
    case PC_IN_EQ_BW: set(SevenBitGroups(m.eq_bw[m.cur_eq]).g0, slot_byte); break;
    case PC_OUT_SOURCE: set(SevenBitGroups(m.out_source[m.cur_chan]).g0); break;
    case PC_OUT_GAIN: set_groups(m.out_gain[m.cur_chan] + kGainOffset); break;
    case PC_OUT_LIMIT: set_groups(m.out_limit[m.cur_chan] + kLimitOffset); break;
    case PC_OUT_DELAY: set_groups(m.out_delay[m.cur_chan]); break;
    case PC_OUT_POLARITY: set(m.out_polarity[m.cur_chan] ? 1 : 0); break;
    case PC_XO_HP_TYPE:
    case PC_XO_LP_TYPE: set(SevenBitGroups(m.xo_type[m.cur_chan][m.xo_side]).g0); break;
    case PC_XO_HP_FREQ:
    case PC_XO_LP_FREQ: {
        const Groups g = SevenBitGroups(m.xo_freq[m.cur_chan][m.xo_side]);
        set(g.g0, g.g1);
        break;
    }
    case PC_OUT_EQ_TYPE: set(SevenBitGroups(m.eq_type[m.cur_eq]).g0, slot_byte); break;
    case PC_OUT_EQ_FREQ:
    case PC_OUT_EQ_GAIN:
    case PC_OUT_EQ_BW: {
        const int v = code == PC_OUT_EQ_FREQ   ? m.eq_freq[m.cur_eq]
                      : code == PC_OUT_EQ_GAIN ? m.eq_gain[m.cur_eq]
                                               : m.eq_bw[m.cur_eq];
        const Groups g = SevenBitGroups(v);
        set(g.g0, slot_byte + g.g1);
        break;
    }
    case PC_OUT_MUTE: set(m.out_mute[m.cur_chan] ? 1 : 0); break;
    default:  // PC_OUT_EQ_ASSIGN, PC_IN_EQ_ASSIGN and unknown codes: no data
        break;
    }
    return p;
}

// Header, selector and the two code bytes; returns the length so far.
int PutHeader(unsigned char* buf, int selector, int code) {
    return kvcom::message::PutParamHeader(buf, kvcom::rev_dev, selector, code);
}

// A trailer: the header with the trailer's code bytes and no data.
int AssembleTrailer(unsigned char* buf, int selector, int trailer_code) {
    int n = PutHeader(buf, selector, trailer_code);
    buf[n++] = kEnd;
    return n;
}

// Trailing zero data bytes are left out, so a value of 0 has none at all.
int Assemble(unsigned char* buf, const Payload& p) {
    int n = PutHeader(buf, p.selector, p.code);
    int count = kMaxDataBytes;
    while (count > 0 && (p.data[count - 1] & 0x7F) == 0) --count;
    for (int i = 0; i < count; ++i) buf[n++] = static_cast<unsigned char>(p.data[i] & 0x7F);
    buf[n++] = kEnd;
    return n;
}

// Messages that address the whole device or that the caller repeats itself
// (mute and source) never follow to the partner output.
bool RepeatsToPartnerOutput(int code) {
    return !(code == PC_OUT_MUTE || code == PC_OUT_SOURCE || code == PC_LINK || code == PC_FIGURATION ||
             code == kFigurationCodeLinked || IsInputEqCode(code));
}

bool AddressesOutput(int selector) { return kvcom::IsOutputChannel(kvcom::ChannelFromSelector(selector)); }

// Sends the trailer of `code` to `selector`; true when it went out.
bool SendTrailer(CDSDATA& m, int selector, int trailer_code) {
    return m.SendMIDI(m.msg_buf, AssembleTrailer(m.msg_buf, selector, trailer_code), 0) != 0;
}

}  // namespace

// 1 when every message went out and the link stayed up through the pauses.
// On a closed link nothing is sent and there is no pause; a message that
// fails ends the sequence there.
int CDSDATA::SendParam(int code) {
    using kvcom::PauseMs;
    using kvcom::PauseUs;
    const Payload p = Encode(*this, code);
    const int len = Assemble(msg_buf, p);
    if (!kvcom::LinkUp()) return 0;
    if (!SendMIDI(msg_buf, len, 0) || !PauseMs(kAfterMessageMs)) return 0;

    if (link_on) {
        const int partner = kvcom::StereoPartner(figuration, cur_chan);
        if (IsInputEqCode(code)) {
            if (!PauseMs(kBeforeInputRepeatMs)) return 0;
            msg_buf[kSelectorByte] = kSelectorInB;
            if (!SendMIDI(msg_buf, len, 0) || !PauseUs(kAfterRepeatUs)) return 0;
        } else if (code == PC_INA_DELAY) {
            // While linked In B follows In A; the model already holds the
            // same delay for both.
            msg_buf[kSelectorByte] = kSelectorInB;
            if (!SendMIDI(msg_buf, len, 0) || !PauseUs(kAfterRepeatUs)) return 0;
        } else if (partner >= 0 && AddressesOutput(p.selector) && RepeatsToPartnerOutput(code)) {
            msg_buf[kSelectorByte] = static_cast<unsigned char>(kSelectorOut1 + partner);
            if (!SendMIDI(msg_buf, len, 0) || !PauseUs(kAfterRepeatUs)) return 0;
        }
    }

    bool sent = true;
    switch (p.code) {
    case PC_OUT_EQ_GAIN: sent = SendTrailer(*this, p.selector, kTrailerAccept); break;
    case PC_IN_EQ_GAIN: sent = PauseMs(kBeforeTrailerMs) && SendTrailer(*this, p.selector, kTrailerAccept); break;
    case PC_OUT_EQ_ASSIGN:
    case PC_IN_EQ_ASSIGN: sent = PauseMs(kBeforeTrailerMs) && SendTrailer(*this, p.selector, kTrailerAssign); break;
    case PC_FIGURATION:
    case kFigurationCodeLinked: {
        if (!PauseUs(kBeforeIdentityUs)) return 0;
        unsigned char identity[8];
        if (!SendMIDI(identity, kvcom::message::PutIdentityRequest(identity, kvcom::rev_dev), 0)) return 0;
        return PauseUs(kAfterIdentityUs) ? 1 : 0;
    }
    default: return 1;
    }
    return sent && PauseUs(kAfterRepeatUs) ? 1 : 0;  // after every trailer
}

int CDSDATA::SendOutSrce(unsigned char n) {
    // Unlike a parameter message, the source always carries its data byte.
    int len = PutHeader(msg_buf, kSelectorOut1 + n, PC_OUT_SOURCE);
    msg_buf[len++] = static_cast<unsigned char>(out_source[n] & 0x7F);
    msg_buf[len++] = kEnd;
    if (!kvcom::LinkUp()) return 0;
    return SendMIDI(msg_buf, len, 0) && kvcom::PauseMs(kAfterMessageMs) ? 1 : 0;
}
