// One setting as JSON, in the same terms as the program JSON
// (program_json.h): numbers in the pages' units as JSON numbers, switches as
// true/false, choices by their names, a crossover side as {"freq", "type"}.
// kvctl's get, set and diff, and the remote server, speak it:
//
//   {"path": "out3.gain", "value": -6.0, "unit": "dB", "text": "-6.0 dB"}
//
// "unit" is there for plain numbers only (dB, dBu, ms, Hz, oct); "text" is
// the value as the pages show it.
#pragma once

#include <kvcom/kvcom.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "kvprog/settings.h"

namespace kvprog {

// The setting's value as the program JSON holds it; null for an EQ filter
// the channel lacks.
nlohmann::ordered_json SettingValue(const CDSDATA& m, const SettingRef& ref);

// The unit word of a setting whose value is a plain number ("dB", "dBu",
// "ms", "Hz", "oct"), or "" for the rest.
std::string SettingUnit(const SettingRef& ref);

// {"path", "value", "unit" (numbers only), "text"}.
nlohmann::ordered_json SettingDocument(const CDSDATA& m, const SettingRef& ref);

// Writes a JSON value into the model as WriteText does (linked partners
// follow, steps snapped to the nearest, out of range refused): what
// SettingValue gives, or the typed text the pages take as a JSON string
// ("-2.4dB", "1.5ms", "80Hz lr24", "on"). A value of the wrong JSON type is
// refused with the path and the reason, and the model is left untouched.
std::optional<Refusal> WriteValue(CDSDATA& m, const SettingRef& ref, const nlohmann::json& value);

}  // namespace kvprog
