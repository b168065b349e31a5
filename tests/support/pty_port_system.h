// The host machine as port discovery sees it, narrowed to the test's own
// pseudo-terminals: the machine's real ports are not listed (a test never
// writes to them), and the test's own hold on a pty does not count as busy:
// the test process keeps the device end and the slave open, as a unit on
// the line would.
#pragma once

#include <algorithm>

#include "kvports/port_system.h"

namespace kvtest {

class PtyPortSystem final : public kvports::PortSystem {
public:
    std::vector<kvports::RawPort> EnumeratePorts() override { return {}; }
    bool UartPresent(const std::string& path) override { return host_.UartPresent(path); }
    std::vector<kvports::StableLink> StableLinks() override { return host_.StableLinks(); }
    kvports::NodeInfo Inspect(const std::string& path) override { return host_.Inspect(path); }
    int Access(const std::string& path) override { return host_.Access(path); }
    std::vector<kvports::Holder> Holders(unsigned long long rdev) override {
        std::vector<kvports::Holder> h = host_.Holders(rdev);
        h.erase(std::remove_if(h.begin(), h.end(), [](const kvports::Holder& x) { return x.self; }), h.end());
        return h;
    }
    int TryOpen(const std::string& path) override { return host_.TryOpen(path); }

private:
    kvports::PortSystem& host_ = kvports::HostSystem();
};

}  // namespace kvtest
