// kvctl rack init: a rack file from the ports where a unit answers, with
// aliases made from the ports for the user to edit afterwards.
#include <sys/stat.h>

#include <filesystem>

#include "commands.h"
#include "failure.h"
#include "kvfiles/atomic_file.h"
#include "kvports/find_unit.h"
#include "kvports/ports.h"
#include "kvrack/rack.h"

namespace kvctl {

namespace {

constexpr int kProbeTimeoutMs = 1000;

void InitRack(Session& session, bool force) {
    const std::string path = session.options().rack_file.empty() ? kvrack::DefaultRackPath() : session.options().rack_file;
    if (path.empty()) throw Failure(kExitFile, "no place for the rack file: give --rack FILE");
    if (!force && std::filesystem::exists(path))
        throw Failure(kExitUsage, path + " exists; add --force to write it anew (its aliases and groups are lost)");

    kvports::PortSystem& sys = kvports::HostSystem();
    const std::vector<kvports::PortInfo> ports = kvports::ListPorts(sys);
    const auto probe = [](const std::string& p, int timeout_ms) { return ProbeUnit(p.c_str(), timeout_ms); };
    const auto progress = [&session](std::size_t index, std::size_t count, const kvports::PortInfo& port) {
        session.Note("asking " + port.path + " for the unit (" + std::to_string(index + 1) + " of " +
                     std::to_string(count) + ")");
    };
    const kvports::FindResult found = kvports::FindUnit(sys, ports, probe, kProbeTimeoutMs, progress);

    kvrack::Rack rack;
    std::vector<std::string> taken;
    std::string text;
    for (const kvports::ProbeResult& r : found.results) {
        if (r.outcome != kvports::ProbeOutcome::kAnswered) continue;
        const std::string port = r.port.RememberedPath();
        const std::string alias = kvrack::AliasFromPort(port, taken);
        taken.push_back(alias);
        rack.units.push_back({alias, port, {}});
        text += alias + "  " + port + "\n";
    }
    if (rack.units.empty()) throw Failure(kExitLine, "no unit answered on any free serial port; nothing was written");
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const std::string doc = kvrack::EncodeRack(rack);
    if (auto refused = kvfiles::WriteFileAtomically(path, std::vector<std::uint8_t>(doc.begin(), doc.end())))
        throw Failure(kExitFile, "cannot write " + refused->Message());
    nlohmann::ordered_json units = nlohmann::ordered_json::array();
    for (const auto& u : rack.units) units.push_back({{"alias", u.alias}, {"port", u.port}});
    session.Print({{"file", path}, {"units", units}},
                  text + "Wrote " + path + " with " + std::to_string(rack.units.size()) +
                      " units; edit the aliases and add groups there.\n");
}

}  // namespace

void AddRackCommand(CLI::App& app, Session& session) {
    auto* rack = app.add_subcommand("rack", "The rack file that names the units of a rack");
    rack->require_subcommand(1);
    auto* init = rack->add_subcommand("init", "Write the rack file from the ports where a unit answers");
    auto force = std::make_shared<bool>(false);
    init->add_flag("--force", *force, "Write it anew even when it exists");
    init->callback([&session, force] { InitRack(session, *force); });
}

}  // namespace kvctl
