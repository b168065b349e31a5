// The settings of a program in the terms of the channel pages: every setting
// has a path ("out3.gain", "ina.eq2.freq", "config"), a display text in the
// pages' units, a parser for typed values ("-2.4dB", "1.5ms", "80Hz lr24",
// "on") that snaps to the unit's steps and refuses what lies out of range,
// and the parameter messages that carry it to the unit.
//
// Window-free; shared by the program's compare window and the command-line
// tool. Nothing here constructs a CDSDATA: a construction resets the
// library's memory table, so work copies are always copies of a caller's
// model.
#pragma once

#include <kvcom/kvcom.h>
#include <kvcore/refusal.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvprog {

// Channel codes beside the model's own (outputs 0..5, CHAN_IN_A, CHAN_IN_B).
inline constexpr int kChanProgram = -1;  // settings of the whole program
inline constexpr int kChanSum = 0x22;    // In SUM A+B (delay only)

inline constexpr int kEqSlotsPerChannel = 12;        // the pages show slots 1..12
inline constexpr int kPoolFilters = KV_DEFAULT_ROW;  // 39 assignable pool rows

// The channels in page order: In A, In B, In SUM A+B, Out 1..6.
inline constexpr std::array<int, 9> kChannels = {CHAN_IN_A, CHAN_IN_B, kChanSum, 0, 1, 2, 3, 4, 5};

enum class Field {
    Config,   // "Mono", "2 Channel 3 Way", "3 Channel 2 Way"
    Link,     // stereo link on/off
    Name,     // program name
    Delay,    // input or output delay, ms
    OutName,  // output name from the pages' list
    Source,   // In A, In B, In SUM A+B
    Gain,     // output gain, dB
    Mute,
    Polarity,
    Limit,     // limiter threshold, dBu
    HighPass,  // crossover high-pass: frequency or "Out", and type
    LowPass,
    EqFilter,  // a whole EQ filter (a slot that one side of a comparison lacks)
    EqType,
    EqFreq,
    EqGain,
    EqWidth,
};

// One setting: what it is, of which channel, and for EQ settings the slot
// (0..11, shown as eq1..eq12).
struct SettingRef {
    Field field;
    int chan = kChanProgram;
    int slot = -1;
    bool operator==(const SettingRef&) const = default;
};

// Why a typed value or a file was refused: the setting's path, and the reason.
using kvcore::Refusal;

// "out3", "ina", "sum" (empty for the program) and "Out 3", "In A",
// "In SUM A+B", "Program".
std::string ChannelKey(int chan);
std::string ChannelTitle(int chan);
// The channel of a key, or nullopt.
std::optional<int> ChannelFromKey(std::string_view key);

std::string PathOf(const SettingRef& ref);
std::optional<SettingRef> ParsePath(std::string_view path);

// The settings of a channel that every program has (all but its EQ
// filters), in page order; kChanProgram gives name, config and link.
std::vector<SettingRef> FixedSettings(int chan);

// Every setting of the program in page order, grouped by channel; the EQ
// settings of the filters in use, slot by slot.
std::vector<SettingRef> SettingsOf(const CDSDATA& m);

// The pool row in slot `slot` of channel `chan`, or -1.
int EqRow(const CDSDATA& m, int chan, int slot);
// Number of filters in the channel's slot list (it is kept packed).
int EqCount(const CDSDATA& m, int chan);

// The setting as the pages show it ("-2.4 dB", "82.4 Hz, L-R 24", "Bell").
std::string ReadText(const CDSDATA& m, const SettingRef& ref);

// Parses a typed value and writes it into the model as the pages do:
// linked partners follow (gain, limit, delay, polarity, crossover, the twin
// EQ filter; In B's delay follows In A's), a new configuration or link
// resets the program as the configuration command does. A refused value
// leaves the model untouched. EQ values need a filter in that slot.
std::optional<Refusal> WriteText(CDSDATA& m, const SettingRef& ref, std::string_view text);

// One message that carries a setting to the unit: CDSDATA::SendParam(code)
// with the cursors below, or SendOutSrce(chan) when `source` is set.
struct ParamMessage {
    int code = 0;
    int chan = 0;   // cur_chan
    int side = 0;   // xo_side
    int slot = -1;  // cur_slot (cur_eq is the row in that slot)
    bool source = false;
    bool operator==(const ParamMessage&) const = default;
};

// A program read or taken over keeps what belongs to the place it takes:
// the memory number, the delay unit and the cursors of `model`.
void KeepPlaceOf(const CDSDATA& model, CDSDATA& program);

// A copy of `m` with the cursors set as `msg` needs them, for a send queued
// on its own copy of the model.
CDSDATA AimedAt(const CDSDATA& m, const ParamMessage& msg);

// The messages for one setting, in sending order. Program and output names
// have none: they reach the unit only with a whole program.
std::vector<ParamMessage> MessagesFor(const CDSDATA& m, const SettingRef& ref);

// Sends the setting's messages from the model through the library (with the
// library's own link repeats and pacing). The cursors are left as they were.
void SendSetting(CDSDATA& m, const SettingRef& ref);

// The 49 output names of the pages ("Band 1" .. "R Subs").
extern const std::array<const char*, 49> kOutputNames;
// The configurations (figuration 0..2) and the sources (out_source 0..2).
inline constexpr std::array<const char*, 3> kConfigNames = {"Mono", "2 Channel 3 Way", "3 Channel 2 Way"};
inline constexpr std::array<const char*, 3> kSourceNames = {"In A", "In B", "In SUM A+B"};

// Whether two models hold the same value of the setting (stored values, not
// texts; names as the unit shows them).
bool SameSetting(const CDSDATA& a, const CDSDATA& b, const SettingRef& ref);

// Program-wide rules the pages keep: an output's delay together with the
// delay of its input (and, linked, of its partner's input) stays within
// 635.417 ms; a crossover's high-pass never lies above its low-pass.
std::optional<Refusal> CheckProgramRules(const CDSDATA& m);

}  // namespace kvprog
