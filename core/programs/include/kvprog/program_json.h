// A program as a JSON document in the pages' units, and back:
//
//   {"format": "kalvore-program", "version": 1,
//    "name": "SHOW3", "config": "2 Channel 3 Way", "link": true,
//    "ina": {"delay": 1.5, "eq": [{"type": "Bell", "freq": 1000, "gain": 0.5, "width": 0.3}]},
//    "inb": {...}, "sum": {"delay": 0},
//    "out1": {"name": "L Low", "source": "In A", "gain": -2.4, "mute": false,
//             "polarity": "normal", "limit": 4, "delay": 0,
//             "hp": {"freq": 41.2, "type": "L-R 24"}, "lp": {"freq": "Out", "type": "L-R 24"},
//             "eq": [...]},
//    ..., "out6": {...},
//    "filter_order": ["out3", "out1", ...]}
//
// Gains in dB, the limit in dBu, delays in ms, frequencies in Hz (or "Out"
// for a crossover filter switched out), widths in octaves; EQ filters of a
// channel in slot order. "filter_order" names the owner of each filter in
// the order the program image lists them, so that a file gives back the very
// image it came from; without it, linked twins follow their leaders and the
// channels follow in page order. Keys left out take the factory values.
#pragma once

#include <kvcom/kvcom.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "kvprog/settings.h"

namespace kvprog {

inline constexpr const char* kJsonFormat = "kalvore-program";
inline constexpr int kJsonVersion = 1;

nlohmann::ordered_json ProgramToJson(const CDSDATA& m);
// Two-space indented, with a final newline.
std::string ExportJson(const CDSDATA& m);

// Reads a program into `into` (its memory number, cursors and delay unit
// stay). Values are snapped to the unit's steps. The whole document is
// checked first: any unknown key, value of the wrong type, value out of
// range, or more EQ filters than a channel, the pool or the DSP budget
// take refuses it with the JSON path and the reason, and `into` is left
// untouched.
std::optional<Refusal> ImportJson(CDSDATA& into, std::string_view text);

// A document that is no JSON at all, refused with the line and column of the
// fault and the parser's reason.
Refusal JsonSyntaxRefusal(std::string_view text, std::size_t byte, std::string_view parser_message);
std::optional<Refusal> ImportJsonDocument(CDSDATA& into, const nlohmann::json& doc);

}  // namespace kvprog
