// The answers that change the unit's settings, and what the server tells
// about the unit.
#include <set>

#include "kvprog/program_json.h"
#include "kvprog/setting_json.h"
#include "kvremote/request.h"

namespace kvremote {

namespace {

using json = nlohmann::json;
using ojson = nlohmann::ordered_json;
using kvprog::Field;

// Settings that reset the program or travel only inside a whole program.
std::optional<Response> NotSettable(const AccessPolicy& policy, const kvprog::SettingRef& ref, const std::string& path) {
    switch (ref.field) {
    case Field::Config:
    case Field::Link:
        if (!policy.allow_reset)
            return ErrorResponse(403, path,
                                 "it resets every setting of the unit; the host has not enabled that over the network");
        return std::nullopt;
    case Field::Name:
    case Field::OutName:
    case Field::EqFilter:
        return ErrorResponse(400, path, "it travels only inside a whole program (a Download)");
    default: return std::nullopt;
    }
}

}  // namespace

Response RequestHandler::Patch(const json& body, Source source) {
    if (!body.is_object() || body.empty())
        return ErrorResponse(400, "", "expected an object of settings, e.g. {\"out3.gain\": -2.4}");
    // The whole body is checked on a copy first: one refusal and nothing is
    // sent.
    CDSDATA program(host_.Program());
    std::vector<kvprog::SettingRef> changed;
    for (const auto& item : body.items()) {
        const auto ref = kvprog::ParsePath(item.key());
        if (!ref) return ErrorResponse(400, item.key(), "no such setting");
        if (auto refused = NotSettable(policy_, *ref, item.key())) return *refused;
        if (auto refused = kvprog::WriteValue(program, *ref, item.value()))
            return ErrorResponse(400, refused->place, refused->reason);
        if (std::find(changed.begin(), changed.end(), *ref) == changed.end()) changed.push_back(*ref);
    }
    if (auto cannot = CheckCanChange()) return *cannot;
    if (host_.Unit().pending_sends > kMaxPendingSends)
        return ErrorResponse(429, "", "the line is full; send again when the unit has caught up");
    host_.Apply(program, changed, source);
    ojson held = ojson::object();
    for (const auto& ref : changed) held[kvprog::PathOf(ref)] = kvprog::SettingValue(program, ref);
    return JsonResponse(200, held);
}

Response RequestHandler::PutSetting(const std::string& path, const json& body, Source source) {
    // The value itself, or {"value": ...} as GET gives it.
    const bool wrapped = body.is_object() && body.contains("value") && !body.contains("freq");
    Response patched = Patch(json{{path, wrapped ? body["value"] : body}}, source);
    if (patched.status != 200) return patched;
    return JsonResponse(200, kvprog::SettingDocument(host_.Program(), *kvprog::ParsePath(path)));
}

Response RequestHandler::Mute(int output, std::optional<bool> on, Source source) {
    const std::string key = "out" + std::to_string(output + 1) + ".mute";
    const bool mute = on.value_or(host_.Program().out_mute[output] == 0);
    return Patch(json{{key, mute}}, source);
}

Response RequestHandler::MuteAll(bool mute, Source source) {
    json all = json::object();
    for (int n = 1; n <= KV_OUTPUTS; ++n) all["out" + std::to_string(n) + ".mute"] = mute;
    return Patch(all, source);
}

ojson RequestHandler::UnitJson() {
    const UnitState unit = host_.Unit();
    const CDSDATA& program = host_.Program();
    ojson doc;
    doc["port"] = unit.port;
    doc["device"] = unit.device;
    doc["connected"] = unit.connected;
    doc["program"] = {{"name", kvprog::ReadText(program, {Field::Name})},
                      {"memory", host_.Memories().current > 0 ? ojson(host_.Memories().current) : ojson(nullptr)}};
    doc["figuration"] = kvprog::SettingValue(program, {Field::Config});
    doc["link"] = program.link_on != 0;
    if (!unit.connected) doc["reason"] = unit.reason;
    doc["busy"] = unit.busy.empty() ? ojson(nullptr) : ojson(unit.busy);
    doc["differs"] = unit.differs.empty() ? ojson(nullptr) : ojson(unit.differs);
    doc["allow_reset"] = policy_.allow_reset;
    return doc;
}

ojson RequestHandler::MemoriesJson() {
    const MemoryList list = host_.Memories();
    ojson memories = ojson::array();
    for (const MemoryEntry& e : list.entries)
        memories.push_back({{"number", e.number}, {"name", e.name}, {"used", e.used}});
    return {{"current", list.current > 0 ? ojson(list.current) : ojson(nullptr)},
            {"read_at", list.read_at.empty() ? ojson(nullptr) : ojson(list.read_at)},
            {"memories", memories}};
}

ojson RequestHandler::Snapshot() {
    return {{"type", "snapshot"},
            {"unit", UnitJson()},
            {"program", kvprog::ProgramToJson(host_.Program())},
            {"memories", MemoriesJson()}};
}

}  // namespace kvremote
