// OSC packets to messages and back, with liblo doing the coding: every
// message of a packet (bundles opened, nested a few deep), each with its
// address and arguments, checked whole before anything is taken.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "kvremote/osc_map.h"

namespace kvremote {

struct OscPacketMessage {
    std::string address;
    std::vector<OscArg> args;
};

// The messages of a packet; a packet that is no OSC gives none.
std::vector<OscPacketMessage> DecodeOscPacket(const char* data, std::size_t size);

// One message with float ('f'), int32 ('i') and string ('s') arguments.
std::string EncodeOscMessage(const std::string& address, const std::vector<OscArg>& args);

}  // namespace kvremote
