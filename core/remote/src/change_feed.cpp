#include "kvremote/change_feed.h"

#include "kvprog/describe.h"
#include "kvprog/setting_json.h"

namespace kvremote {

const char* SourceName(Source source) {
    switch (source) {
    case Source::kDesk: return "desk";
    case Source::kWeb: return "web";
    case Source::kOsc: return "osc";
    case Source::kApi: return "api";
    case Source::kUnit: return "unit";
    }
    return "";
}

std::vector<nlohmann::ordered_json> ChangeFeed::Update(const CDSDATA& now, Source source) {
    std::vector<nlohmann::ordered_json> changes;
    for (const kvprog::Difference& d : kvprog::Diff(known_, now))
        changes.push_back({{"type", "change"},
                           {"path", d.path},
                           {"value", kvprog::SettingValue(now, d.ref)},
                           {"source", SourceName(source)}});
    known_ = now;
    return changes;
}

}  // namespace kvremote
