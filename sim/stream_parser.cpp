#include "stream_parser.h"

namespace kvsim {

namespace {
constexpr std::uint8_t kSysEx = 0xF0;
constexpr std::uint8_t kEndSysEx = 0xF7;
constexpr std::uint8_t kProgramChange = 0xC0;

// MIDI real-time bytes may appear anywhere, even inside a SysEx message,
// and belong to no message.
bool IsRealTime(std::uint8_t b) { return b >= 0xF8; }
bool IsStatus(std::uint8_t b) { return b >= 0x80; }
}  // namespace

void StreamParser::Feed(const std::uint8_t* data, std::size_t n, const MessageSink& on_message,
                        const JunkSink& on_junk) {
    // Junk is reported before the message that follows it, so the two
    // reach the log in the order they came.
    const MessageSink deliver = [&](const Bytes& message) {
        FlushJunk(on_junk);
        on_message(message);
    };
    for (std::size_t i = 0; i < n; ++i) Byte(data[i], deliver);
    FlushJunk(on_junk);
}

void StreamParser::Byte(std::uint8_t b, const MessageSink& on_message) {
    if (IsRealTime(b)) {
        Junk(b, "real-time byte");
        return;
    }
    switch (state_) {
    case State::kSysEx:
        if (!IsStatus(b)) {
            message_.push_back(b);
            if (message_.size() > kMaxMessage) {
                Junk(message_, "message too long");
                message_.clear();
                state_ = State::kOversize;
            }
            return;
        }
        if (b == kEndSysEx) {
            message_.push_back(b);
            state_ = State::kIdle;
            on_message(message_);
            message_.clear();
            return;
        }
        Junk(message_, "message cut short");  // a new status byte ends it unfinished
        message_.clear();
        state_ = State::kIdle;
        break;
    case State::kProgramChange:
        if (!IsStatus(b)) {
            message_.push_back(b);
            state_ = State::kIdle;
            if (message_[0] == kProgramChange)
                on_message(message_);
            else
                Junk(message_, "program change on another MIDI channel");
            message_.clear();
            return;
        }
        Junk(message_, "program change without its number");
        message_.clear();
        state_ = State::kIdle;
        break;
    case State::kOversize:
        if (!IsStatus(b)) {
            Junk(b, "message too long");
            return;
        }
        state_ = State::kIdle;
        if (b == kEndSysEx) {
            Junk(b, "message too long");
            return;
        }
        break;
    case State::kIdle: break;
    }

    // Idle: only the start of a message is of interest.
    if (b == kSysEx) {
        message_.assign(1, b);
        state_ = State::kSysEx;
    } else if ((b & 0xF0) == kProgramChange) {
        message_.assign(1, b);
        state_ = State::kProgramChange;
    } else {
        Junk(b, "byte outside any message");
    }
}

void StreamParser::Junk(const Bytes& bytes, const char* why) {
    if (junk_.empty()) junk_why_ = why;  // a run keeps its first reason
    junk_.insert(junk_.end(), bytes.begin(), bytes.end());
}

void StreamParser::Junk(std::uint8_t b, const char* why) { Junk(Bytes{b}, why); }

void StreamParser::FlushJunk(const JunkSink& on_junk) {
    if (junk_.empty()) return;
    if (on_junk) on_junk(junk_, junk_why_);
    junk_.clear();
    junk_why_.clear();
}

}  // namespace kvsim
