#include "value_parser.h"

#include <nlohmann/json.hpp>

#include "kvprog/setting_json.h"

namespace kvctl {

using kvprog::Field;
using kvprog::Refusal;

std::variant<SettingChange, Refusal> ParseSetting(const CDSDATA& program, std::string_view path,
                                                  std::string_view value) {
    const auto ref = kvprog::ParsePath(path);
    if (!ref)
        return Refusal{std::string(path), "no such setting (for example out3.gain, ina.delay, out2.hp, out1.eq2.freq)"};
    const std::string name = kvprog::PathOf(*ref);
    switch (ref->field) {
    case Field::Name:
    case Field::OutName:
    case Field::EqFilter:
        return Refusal{name, "travels only inside a whole program; change it in a file and download that"};
    default: break;
    }
    SettingChange change{*ref, name, program, "", ref->field == Field::Config || ref->field == Field::Link};
    // A value as `kvctl --json` prints it: an object ({"freq": 80, "type":
    // "L-R 24"}) or a quoted name; numbers and true/false read as text too.
    const bool json_value = !value.empty() && (value.front() == '{' || value.front() == '"');
    if (json_value) {
        const auto parsed = nlohmann::json::parse(value, nullptr, false);
        if (parsed.is_discarded()) return Refusal{name, "not a JSON value"};
        if (auto refused = kvprog::WriteValue(change.program, *ref, parsed)) return *refused;
    } else if (auto refused = kvprog::WriteText(change.program, *ref, value)) {
        return *refused;
    }
    change.text = kvprog::ReadText(change.program, *ref);
    return change;
}

}  // namespace kvctl
