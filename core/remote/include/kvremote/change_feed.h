// What changed since the clients were last told: the served program is
// compared with the one they know, setting by setting, so every change
// reaches them whoever made it (the desk, a browser, OSC, a recall).
#pragma once

#include <kvcom/kvcom.h>

#include <nlohmann/json.hpp>
#include <vector>

#include "kvremote/host.h"

namespace kvremote {

class ChangeFeed {
public:
    explicit ChangeFeed(const CDSDATA& known) : known_(known) {}

    // {"type": "change", "path", "value", "source"} for each setting in
    // which `now` differs from the known program, in page order; `now`
    // becomes the known program.
    std::vector<nlohmann::ordered_json> Update(const CDSDATA& now, Source source);

    const CDSDATA& known() const { return known_; }

private:
    CDSDATA known_;
};

}  // namespace kvremote
