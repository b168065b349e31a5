// A machine made up for the port rules: ports, device nodes, stable links,
// holders and trial-open results are whatever the test says.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "kvports/port_system.h"

namespace kvtest {

class FakePortSystem final : public kvports::PortSystem {
public:
    std::vector<kvports::RawPort> ports;
    std::set<std::string> uarts_present;  // native ports with hardware behind them
    std::vector<kvports::StableLink> links;
    std::map<std::string, kvports::NodeInfo> nodes;  // absent: missing
    std::map<std::string, int> access;               // absent: 0
    std::map<unsigned long long, std::vector<kvports::Holder>> holders;
    std::map<std::string, int> open_result;  // absent: 0 (a free terminal)
    std::vector<std::string> opened;         // every TryOpen, in order

    // A character device at path (resolving to `resolved` when given).
    kvports::NodeInfo& AddDevice(const std::string& path, unsigned long long rdev, const std::string& group = "dialout",
                                 const std::string& resolved = {}) {
        kvports::NodeInfo& n = nodes[path];
        n.kind = kvports::NodeInfo::Kind::kCharDevice;
        n.rdev = rdev;
        n.group = group;
        n.resolved = resolved.empty() ? path : resolved;
        return n;
    }

    std::vector<kvports::RawPort> EnumeratePorts() override { return ports; }
    bool UartPresent(const std::string& path) override { return uarts_present.count(path) != 0; }
    std::vector<kvports::StableLink> StableLinks() override { return links; }
    kvports::NodeInfo Inspect(const std::string& path) override {
        const auto it = nodes.find(path);
        return it == nodes.end() ? kvports::NodeInfo{} : it->second;
    }
    int Access(const std::string& path) override {
        const auto it = access.find(path);
        return it == access.end() ? 0 : it->second;
    }
    std::vector<kvports::Holder> Holders(unsigned long long rdev) override {
        const auto it = holders.find(rdev);
        return it == holders.end() ? std::vector<kvports::Holder>{} : it->second;
    }
    int TryOpen(const std::string& path) override {
        opened.push_back(path);
        const auto it = open_result.find(path);
        return it == open_result.end() ? 0 : it->second;
    }
};

}  // namespace kvtest
