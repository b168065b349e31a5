// Shorthands for the expected wire sequences of the parameter-message tests.
#pragma once

#include <string>
#include <vector>

#include "wire_recorder.h"

namespace kvtest::param_wire {

using kvtest::Msg;
using kvtest::SleepMs;
using kvtest::SpinUs;
using kvtest::WireEvent;
using Events = std::vector<WireEvent>;

// A parameter message: the header, the given selector, code and data bytes, F7.
inline WireEvent Param(const std::string& body) { return Msg("F0 00 20 18 00 2D " + body + " F7"); }

}  // namespace kvtest::param_wire
