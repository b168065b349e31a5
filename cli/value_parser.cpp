#include "value_parser.h"

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
    if (auto refused = kvprog::WriteText(change.program, *ref, value)) return *refused;
    change.text = kvprog::ReadText(change.program, *ref);
    return change;
}

}  // namespace kvctl
