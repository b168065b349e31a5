// OSC packets as they come over UDP: decoded (bundles included) and every
// message read as a command. Nothing is taken from a packet that is not
// whole, and every command the address space gives names a setting that
// exists or one of the fixed commands.
#include <string>

#include "fuzz_support.h"
#include "kvremote/osc_codec.h"
#include "kvremote/osc_map.h"

using namespace kvfuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t n) {
    const auto messages = kvremote::DecodeOscPacket(reinterpret_cast<const char*>(data), n);
    for (const auto& m : messages) {
        Check(!m.address.empty() && m.address[0] == '/', "a message without an address");
        const auto command = kvremote::ParseOsc(m.address, m.args);
        if (!command) continue;
        using Kind = kvremote::OscCommand::Kind;
        if (command->kind == Kind::kSet || command->kind == Kind::kQuery) {
            Check(kvprog::ParsePath(kvprog::PathOf(command->ref)).has_value(), "a command names no setting");
            // The answer to a query reads back as a command for the same setting.
            if (const auto v = kvremote::OscOf(BlankModel(), command->ref)) {
                const std::string packet = kvremote::EncodeOscMessage(v->address, {v->arg});
                const auto again = kvremote::DecodeOscPacket(packet.data(), packet.size());
                Check(again.size() == 1 && again[0].address == v->address, "an answer does not decode");
            }
        }
        if (command->kind == Kind::kRecall) Check(command->memory >= 1 && command->memory <= 60, "memory out of range");
    }
    return 0;
}
