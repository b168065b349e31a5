// Finds the port the unit is on: asks each free port in turn with the
// identity request, skipping ports that another program holds. The port of
// this program's own link is never asked: the unit is on it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "kvports/ports.h"

namespace kvports {

// Asks the device at path; 1 when the unit answered within timeout_ms, 0
// when it did not, -errno when the port could not be opened. The library's
// ProbeUnit has this form.
using UnitProbe = std::function<int(const std::string& path, int timeout_ms)>;

// Called before each port is looked at: index of count, and the port.
using FindProgress = std::function<void(std::size_t index, std::size_t count, const PortInfo& port)>;

enum class ProbeOutcome {
    kAnswered,  // the unit is there
    kSilent,    // opened and asked, no answer
    kSkipped,   // not free (state tells why): left alone
    kFailed,    // free when checked, but the probe could not open it (error)
    kLink,      // this program's own link holds it: the unit is there, left alone
};

struct ProbeResult {
    PortInfo port;
    ProbeOutcome outcome = ProbeOutcome::kSilent;
    PortState state;
    int error = 0;  // kFailed: the probe's errno
};

// "unit answered", "no answer", "skipped: busy: minicom (PID 4242)",
// "unit connected (this program's link)"...
std::string ResultText(const ProbeResult& result);

struct FindResult {
    std::vector<ProbeResult> results;  // one per port, in the order of ports
    int found = -1;                    // index of the first port that answered (or the link's), -1 for none
};

// held_by_link: the device this program's open link holds, "" when none.
// It is neither opened nor asked (that would break the link for a moment),
// and counts as the port where the unit answered.
FindResult FindUnit(PortSystem& sys, const std::vector<PortInfo>& ports, const UnitProbe& probe, int timeout_ms = 1000,
                    const FindProgress& progress = {}, const std::string& held_by_link = {});

}  // namespace kvports
