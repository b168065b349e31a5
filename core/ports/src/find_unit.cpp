#include "kvports/find_unit.h"

#include <cstring>

namespace kvports {

std::string ResultText(const ProbeResult& result) {
    switch (result.outcome) {
    case ProbeOutcome::kAnswered: return "unit answered";
    case ProbeOutcome::kSilent: return "no answer";
    case ProbeOutcome::kSkipped: return "skipped: " + StateText(result.state);
    case ProbeOutcome::kFailed: return std::string("could not be opened: ") + std::strerror(result.error);
    case ProbeOutcome::kLink: return "unit connected (this program's link)";
    }
    return {};
}

FindResult FindUnit(PortSystem& sys, const std::vector<PortInfo>& ports, const UnitProbe& probe, int timeout_ms,
                    const FindProgress& progress, const std::string& held_by_link) {
    FindResult found;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const PortInfo& port = ports[i];
        if (progress) progress(i, ports.size(), port);
        ProbeResult r;
        r.port = port;
        r.state = CheckPort(sys, port.path, held_by_link);
        // Only a free port is asked: one that another program holds is
        // never taken from it, not even for a second. The link's own port
        // is where the unit is: the link talks to it.
        if (SameDevice(sys, port.path, held_by_link)) {
            r.outcome = ProbeOutcome::kLink;
        } else if (r.state.condition != Condition::kFree) {
            r.outcome = ProbeOutcome::kSkipped;
        } else {
            const int answer = probe(port.path, timeout_ms);
            if (answer > 0) {
                r.outcome = ProbeOutcome::kAnswered;
            } else if (answer == 0) {
                r.outcome = ProbeOutcome::kSilent;
            } else {
                r.outcome = ProbeOutcome::kFailed;
                r.error = -answer;
            }
        }
        const bool unit_there = r.outcome == ProbeOutcome::kAnswered || r.outcome == ProbeOutcome::kLink;
        if (unit_there && found.found < 0) found.found = static_cast<int>(i);
        found.results.push_back(std::move(r));
    }
    return found;
}

}  // namespace kvports
