#include "kvhistory/model_fields.h"

#include <algorithm>

namespace history {

namespace {

// Calls visit(value) for every field of the row, always in the same order.
template <class Model, class Visit>
void VisitFields(Model& m, Visit&& visit) {
    auto each = [&](auto& array) {
        for (auto& v : array) visit(v);
    };
    each(m.ina_eq_freq);
    each(m.ina_eq_bw);
    each(m.ina_eq_gain);
    each(m.ina_eq_type);
    each(m.ina_eq_slot);
    visit(m.ina_delay);
    each(m.inb_eq_freq);
    each(m.inb_eq_bw);
    each(m.inb_eq_gain);
    each(m.inb_eq_type);
    each(m.inb_eq_slot);
    visit(m.inb_delay);
    visit(m.sum_delay);
    each(m.out_mute);
    each(m.out_gain);
    each(m.out_polarity);
    each(m.out_limit);
    each(m.out_delay);
    each(m.out_source);
    for (auto& sides : m.xo_freq) each(sides);
    for (auto& sides : m.xo_type) each(sides);
    each(m.eq_freq);
    each(m.eq_bw);
    each(m.eq_gain);
    each(m.eq_type);
    each(m.eq_owner);
    for (auto& list : m.out_eq_slot) each(list);
    each(m.eq_dsp);
    each(m.eq_link);
    visit(m.eq_used);
    each(m.out_name);
}

}  // namespace

std::vector<int> Flatten(const CDSDATA& m) {
    std::vector<int> row;
    row.reserve(1200);
    VisitFields(m, [&row](const auto& v) { row.push_back(static_cast<int>(v)); });
    return row;
}

std::vector<FieldChange> Changes(const std::vector<int>& then, const std::vector<int>& now) {
    std::vector<FieldChange> changes;
    const std::size_t n = std::min(then.size(), now.size());
    for (std::size_t i = 0; i < n; ++i)
        if (then[i] != now[i]) changes.push_back({static_cast<int>(i), then[i], now[i]});
    return changes;
}

void Apply(CDSDATA& m, const std::vector<FieldChange>& changes, bool undo) {
    std::vector<FieldChange> sorted = changes;
    std::sort(sorted.begin(), sorted.end(),
              [](const FieldChange& a, const FieldChange& b) { return a.index < b.index; });
    auto next = sorted.begin();
    int index = 0;
    VisitFields(m, [&](auto& v) {
        if (next != sorted.end() && next->index == index) {
            v = static_cast<std::remove_reference_t<decltype(v)>>(undo ? next->before : next->after);
            ++next;
        }
        ++index;
    });
}

}  // namespace history
