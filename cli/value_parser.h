// `kvctl set PATH VALUE`: what a typed setting means for the unit's working
// program. The settings catalogue of the programs module does the parsing
// and snapping; this adds what the command line must refuse or warn about.
#pragma once

#include <kvcom/kvcom.h>

#include <string>
#include <string_view>
#include <variant>

#include "kvprog/settings.h"

namespace kvctl {

struct SettingChange {
    kvprog::SettingRef ref;
    std::string path;     // as the catalogue writes it ("out3.gain")
    CDSDATA program;      // the program with the new value (and linked partners)
    std::string text;     // the value as the pages show it, snapped ("-2.4 dB")
    bool resets_program;  // config and link reset every other setting
};

// Applies "PATH VALUE" to a copy of `program` (the unit's working program, so
// that stereo link and EQ slots are the unit's). VALUE is typed text
// ("-2.4dB", "80Hz lr24", "on") or a value as --json prints it (-2.4, true,
// "In A", {"freq": 80, "type": "L-R 24"}). Refused: unknown paths,
// settings that only travel inside a whole program (names, a whole EQ
// filter), and whatever the catalogue refuses (unit, range, a slot without
// a filter), each with the path and the reason.
std::variant<SettingChange, kvprog::Refusal> ParseSetting(const CDSDATA& program, std::string_view path,
                                                          std::string_view value);

}  // namespace kvctl
