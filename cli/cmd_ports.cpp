// The serial ports of the machine and their states, and the search for the
// unit among the free ones: the RS232 dialog's list and "Find unit".
#include <cstdio>
#include <memory>

#include "commands.h"
#include "failure.h"
#include "kvports/find_unit.h"
#include "kvports/ports.h"

namespace kvctl {

namespace {

using json = nlohmann::ordered_json;

constexpr int kProbeTimeoutMs = 1000;  // the unit answers its identity request well within a second

json PortJson(const kvports::PortInfo& port, const kvports::PortState& state) {
    json j = {{"path", port.path},
              {"stable_path", port.stable_path},
              {"description", kvports::Describe(port)},
              {"state", kvports::StateText(state)}};
    const std::string advice = kvports::StateAdvice(state);
    if (!advice.empty()) j["advice"] = advice;
    return j;
}

std::string PortLine(const kvports::PortInfo& port, const std::string& state) {
    std::string line = port.path;
    if (!port.stable_path.empty()) line += " (" + port.stable_path + ")";
    line += "\n    " + kvports::Describe(port) + "\n    " + state + "\n";
    return line;
}

void ListAll(Session& session) {
    kvports::PortSystem& sys = kvports::HostSystem();
    json list = json::array();
    std::string text;
    for (const kvports::PortInfo& port : kvports::ListPorts(sys)) {
        const kvports::PortState state = kvports::CheckPort(sys, port.path);
        list.push_back(PortJson(port, state));
        std::string shown = kvports::StateText(state);
        const std::string advice = kvports::StateAdvice(state);
        if (!advice.empty()) shown += "; " + advice;
        text += PortLine(port, shown);
    }
    if (list.empty()) text = "No serial ports found.\n";
    session.Print({{"ports", list}}, text);
}

void FindAll(Session& session) {
    kvports::PortSystem& sys = kvports::HostSystem();
    const std::vector<kvports::PortInfo> ports = kvports::ListPorts(sys);
    const auto progress = [&session](std::size_t index, std::size_t count, const kvports::PortInfo& port) {
        session.Note("asking " + port.path + " for the unit (" + std::to_string(index + 1) + " of " +
                     std::to_string(count) + ")");
    };
    const auto probe = [](const std::string& path, int timeout_ms) { return ProbeUnit(path.c_str(), timeout_ms); };
    const kvports::FindResult found = kvports::FindUnit(sys, ports, probe, kProbeTimeoutMs, progress);

    json list = json::array();
    std::string text;
    for (const kvports::ProbeResult& r : found.results) {
        json j = PortJson(r.port, r.state);
        j["result"] = kvports::ResultText(r);
        list.push_back(j);
        text += PortLine(r.port, kvports::ResultText(r));
    }
    json document = {{"ports", list}};
    if (found.found >= 0) {
        const kvports::PortInfo& port = found.results[static_cast<std::size_t>(found.found)].port;
        document["found"] = port.RememberedPath();
        text += "The unit answered on " + port.RememberedPath() + ".\n";
    } else {
        document["found"] = nullptr;
    }
    session.Print(document, text);
    if (found.found < 0) throw Failure(kExitLine, "no unit answered on any free serial port");
}

}  // namespace

void AddPortCommands(CLI::App& app, Session& session) {
    auto* cmd =
        app.add_subcommand("ports", "List the serial ports with their states; --find asks each free one for the unit");
    auto find = std::make_shared<bool>(false);
    cmd->add_flag("--find", *find, "Ask every free port for the unit (one second each); a busy port is never opened");
    cmd->callback([&session, find] { *find ? FindAll(session) : ListAll(session); });
}

}  // namespace kvctl
