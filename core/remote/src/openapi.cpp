// The description of the API for clients and tools (OpenAPI 3.0).
#include <nlohmann/json.hpp>

#include "kvremote/request.h"

namespace kvremote {

namespace {

using ojson = nlohmann::ordered_json;

ojson Error(const char* description) {
    return {{"description", description},
            {"content", {{"application/json", {{"schema", {{"$ref", "#/components/schemas/Error"}}}}}}}};
}

ojson Ok(const char* description, const char* schema = nullptr) {
    ojson r = {{"description", description}};
    if (schema)
        r["content"] = {{"application/json", {{"schema", {{"$ref", std::string("#/components/schemas/") + schema}}}}}};
    return r;
}

ojson Responses(ojson ok, bool changes) {
    ojson r = {{"200", std::move(ok)},
               {"401", Error("the server needs its token")},
               {"403", Error("wrong or read-only token, another Host or Origin, or an operation not enabled")},
               {"404", Error("no such route, setting or memory")}};
    if (changes) {
        r["400"] = Error("refused input: the path of the setting and the reason; nothing was sent");
        r["409"] = Error("an operation is running");
        r["413"] = Error("the body is longer than 64 KiB");
        r["429"] = Error("the line is full; send again later");
        r["503"] = Error("the unit is not connected (with the reason); nothing was sent");
    }
    return r;
}

ojson Operation(const char* summary, ojson responses, const char* body_schema = nullptr) {
    ojson op = {{"summary", summary}, {"responses", std::move(responses)}};
    if (body_schema)
        op["requestBody"] = {
            {"content",
             {{"application/json", {{"schema", {{"$ref", std::string("#/components/schemas/") + body_schema}}}}}}}};
    return op;
}

ojson Path(const char* name, const char* description) {
    return {{"name", name}, {"in", "path"}, {"required", true}, {"description", description},
            {"schema", {{"type", "string"}}}};
}

ojson Document() {
    ojson paths;
    paths["/api/v1/unit"]["get"] = Operation("The unit, its link and the program's name", Responses(Ok("the unit", "Unit"), false));
    paths["/api/v1/program"]["get"] =
        Operation("The program in the program JSON (format kalvore-program)", Responses(Ok("the program", "Program"), false));
    paths["/api/v1/program"]["patch"] =
        Operation("Change settings: {\"out3.gain\": -2.4, \"out1.mute\": true}; the answer holds them as the unit does",
                  Responses(Ok("the settings as the unit holds them", "Settings"), true), "Settings");
    paths["/api/v1/program"]["put"] = Operation(
        "Send a whole program as the working program (a Download; the host must allow operations that reset the unit)",
        Responses(Ok("sent"), true), "Program");
    paths["/api/v1/settings/{path}"]["parameters"] = ojson::array({Path("path", "a setting, e.g. out3.gain")});
    paths["/api/v1/settings/{path}"]["get"] = Operation("One setting", Responses(Ok("the setting", "Setting"), false));
    paths["/api/v1/settings/{path}"]["put"] =
        Operation("Change one setting: its value, or {\"value\": ...}", Responses(Ok("the setting", "Setting"), true));
    paths["/api/v1/memories"]["get"] = Operation("The last memory list; ?refresh=1 lists the unit's memories again",
                                                 Responses(Ok("the memories", "Memories"), true));
    paths["/api/v1/memories/{n}/recall"]["parameters"] = ojson::array({Path("n", "1 to 60")});
    paths["/api/v1/memories/{n}/recall"]["post"] = Operation("Recall a memory", Responses(Ok("recalled"), true));
    paths["/api/v1/memories/{n}/store"]["parameters"] = ojson::array({Path("n", "1 to 60")});
    paths["/api/v1/memories/{n}/store"]["post"] = Operation(
        "Store the program in a memory: {\"name\": \"SHOW3\"} (the host must allow operations that overwrite the unit)",
        Responses(Ok("stored"), true));
    paths["/api/v1/outputs/{n}/mute"]["parameters"] = ojson::array({Path("n", "1 to 6")});
    paths["/api/v1/outputs/{n}/mute"]["post"] =
        Operation("Mute or open an output: {\"on\": true} or ?on=1", Responses(Ok("the mute", "Settings"), true));
    paths["/api/v1/outputs/{n}/mute/toggle"]["parameters"] = ojson::array({Path("n", "1 to 6")});
    paths["/api/v1/outputs/{n}/mute/toggle"]["post"] =
        Operation("Toggle an output's mute", Responses(Ok("the mute", "Settings"), true));
    paths["/api/v1/mute-all"]["post"] = Operation("Mute all six outputs", Responses(Ok("the mutes", "Settings"), true));
    paths["/api/v1/unmute-all"]["post"] = Operation("Open all six outputs", Responses(Ok("the mutes", "Settings"), true));
    paths["/api/v1/ws"]["get"] = Operation(
        "WebSocket: a snapshot first ({\"type\": \"snapshot\", \"unit\", \"program\", \"memories\"}), then "
        "{\"type\": \"change\", \"path\", \"value\", \"source\": \"desk|web|osc|api|unit\"} per change, "
        "{\"type\": \"unit\", ...} when the link or an operation changes and {\"type\": \"memories\", ...}. "
        "A client may send {\"type\": \"patch\", \"id\": 1, \"settings\": {\"out3.gain\": -2.4}} to change settings "
        "as PATCH /api/v1/program does; the answer is {\"type\": \"reply\", \"id\": 1, \"status\", \"body\"}. "
        "?client=web marks its changes as the page's.",
        {{"101", {{"description", "switching to the WebSocket protocol"}}}});

    // Served by `kvctl --rack FILE serve` only.
    paths["/api/v1/units"]["get"] = Operation("A rack: its units, their groups and state", Responses(Ok("the units"), false));
    paths["/api/v1/units/{alias}/{route}"]["parameters"] =
        ojson::array({Path("alias", "a unit of the rack"), Path("route", "any route above, e.g. program")});
    paths["/api/v1/units/{alias}/{route}"]["get"] = Operation("A rack: every route of one unit", Responses(Ok("as the route"), true));
    paths["/api/v1/groups/{group}/mute-all"]["parameters"] = ojson::array({Path("group", "a group of the rack")});
    paths["/api/v1/groups/{group}/mute-all"]["post"] = Operation(
        "A rack: mute every output of every unit of the group (also unmute-all, memories/{n}/recall, PATCH program); "
        "{\"units\": {alias: {\"status\", \"body\"}}} with the worst status",
        Responses(Ok("each unit's answer"), true));

    ojson schemas;
    schemas["Error"] = {{"type", "object"},
                        {"properties",
                         {{"error",
                           {{"type", "object"},
                            {"properties", {{"path", {{"type", "string"}}}, {"reason", {{"type", "string"}}}}}}}}}};
    schemas["Unit"] = {{"type", "object"},
                       {"properties",
                        {{"port", {{"type", "string"}}},
                         {"device", {{"type", "string"}}},
                         {"connected", {{"type", "boolean"}}},
                         {"program", {{"type", "object"}}},
                         {"figuration", {{"type", "string"}}},
                         {"link", {{"type", "boolean"}}}}}};
    schemas["Program"] = {{"type", "object"}, {"description", "format kalvore-program, version 1"}};
    schemas["Settings"] = {{"type", "object"},
                           {"description", "setting paths and values in the pages' units"},
                           {"additionalProperties", true}};
    schemas["Setting"] = {{"type", "object"},
                          {"properties",
                           {{"path", {{"type", "string"}}},
                            {"value", ojson::object()},
                            {"unit", {{"type", "string"}}},
                            {"text", {{"type", "string"}}}}}};
    schemas["Memories"] = {{"type", "object"},
                           {"properties",
                            {{"current", {{"type", "integer"}, {"nullable", true}}},
                             {"read_at", {{"type", "string"}, {"nullable", true}}},
                             {"memories", {{"type", "array"}, {"items", {{"type", "object"}}}}}}}};
    return {{"openapi", "3.0.3"},
            {"info", {{"title", "Kalvore 758 remote control"}, {"version", "1"}}},
            {"components",
             {{"schemas", schemas},
              {"securitySchemes", {{"token", {{"type", "http"}, {"scheme", "bearer"}}}}}}},
            {"security", ojson::array({{{"token", ojson::array()}}})},
            {"paths", paths}};
}

}  // namespace

const std::string& OpenApiDocument() {
    static const std::string kDocument = Document().dump(2) + "\n";
    return kDocument;
}

}  // namespace kvremote
