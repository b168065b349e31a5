#include "kvagreement/unit_agreement.h"

#include <algorithm>
#include <cstring>

#include "kvhistory/model_fields.h"
#include "kvprog/describe.h"

namespace kvagreement {

namespace {

// The settings the line carries, and the configuration and name that a
// device task or a file may change.
bool SameProgram(const CDSDATA& a, const CDSDATA& b) {
    return a.figuration == b.figuration && a.link_on == b.link_on &&
           std::memcmp(a.prog_name, b.prog_name, sizeof a.prog_name) == 0 &&
           history::Flatten(a) == history::Flatten(b);
}

// Carries onto `target` what changed from `from` to `to`.
void Carry(CDSDATA& target, const CDSDATA& from, const CDSDATA& to) {
    history::Apply(target, history::Changes(history::Flatten(from), history::Flatten(to)), false);
    if (from.figuration != to.figuration) target.figuration = to.figuration;
    if (from.link_on != to.link_on) target.link_on = to.link_on;
    if (std::memcmp(from.prog_name, to.prog_name, sizeof to.prog_name) != 0)
        std::memcpy(target.prog_name, to.prog_name, sizeof to.prog_name);
}

std::string Counted(std::size_t n) { return std::to_string(n) + (n == 1 ? " setting" : " settings"); }

}  // namespace

std::string StateText(const UnitState& state) {
    switch (state.kind) {
    case UnitState::Kind::kNotConnected: return {};
    case UnitState::Kind::kNotRead: return "PC and unit not compared yet";
    case UnitState::Kind::kAgree: return "PC and unit agree";
    case UnitState::Kind::kDiffers: return "PC differs from the unit: " + Counted(state.settings);
    case UnitState::Kind::kUnsure: return "PC may differ from the unit: " + state.reason;
    }
    return {};
}

UnitAgreement::UnitAgreement() = default;
UnitAgreement::~UnitAgreement() = default;

void UnitAgreement::See(const CDSDATA& model) {
    if (seen_)
        *seen_ = model;
    else
        seen_ = std::make_unique<CDSDATA>(model);
}

void UnitAgreement::LinkOpened() {
    connected_ = true;
    unit_.reset();
    unsure_.clear();
    reading_ = 0;
}

void UnitAgreement::LinkClosed() {
    connected_ = false;
    unit_.reset();
    unsure_.clear();
    reading_ = 0;
    // The first loss counts from the program as it stood then; edits made
    // since an earlier loss are still unsent.
    if (!offline_base_ && seen_) offline_base_ = std::make_unique<CDSDATA>(*seen_);
}

void UnitAgreement::Matches(const CDSDATA& model) {
    See(model);
    if (!connected_) return;
    unit_ = std::make_unique<CDSDATA>(model);
    unsure_.clear();
    offline_base_.reset();
}

void UnitAgreement::UnitRead(const CDSDATA& unit_program) {
    if (!connected_) return;
    unit_ = std::make_unique<CDSDATA>(unit_program);
    unsure_.clear();
}

void UnitAgreement::Sent(const CDSDATA& model) {
    if (unit_ && seen_) Carry(*unit_, *seen_, model);
    See(model);
}

void UnitAgreement::PcOnly(const CDSDATA& model) {
    if (seen_ && !SameProgram(*seen_, model)) {
        ++pc_only_changes_;
        // Only edits count as kept for the unit: a program opened while
        // it was away is the PC's own, and so is what it changed.
        if (!connected_ && offline_base_) Carry(*offline_base_, *seen_, model);
    }
    See(model);
}

void UnitAgreement::OtherProgramSent() {
    if (unit_ && unsure_.empty()) unsure_ = "settings of another program were sent to the unit (Compare)";
}

void UnitAgreement::SendFailed() {
    if (connected_ && unsure_.empty()) unsure_ = "an edit did not reach the unit";
}

std::uint64_t UnitAgreement::ReadBegins(const CDSDATA& model) {
    See(model);
    read_base_ = std::make_unique<CDSDATA>(model);
    pc_only_at_read_ = pc_only_changes_;
    reading_ = ++last_ticket_;
    return reading_;
}

bool UnitAgreement::ReadEnds(std::uint64_t ticket, const CDSDATA& unit_program) {
    if (ticket != reading_ || !connected_) return true;  // a read of an earlier link: nothing to take
    reading_ = 0;
    if (pc_only_changes_ != pc_only_at_read_) return false;
    unit_ = std::make_unique<CDSDATA>(unit_program);
    unsure_.clear();
    // Edits queued after the read went out after it.
    if (seen_ && read_base_) Carry(*unit_, *read_base_, *seen_);
    read_base_.reset();
    return true;
}

void UnitAgreement::ReadFailed(std::uint64_t ticket) {
    if (ticket == reading_) reading_ = 0;
    read_base_.reset();
}

UnitState UnitAgreement::State(const CDSDATA& model) const {
    UnitState s;
    if (!connected_) return s;
    if (!unsure_.empty()) {
        s.kind = UnitState::Kind::kUnsure;
        s.reason = unsure_;
        return s;
    }
    if (!unit_) {
        s.kind = UnitState::Kind::kNotRead;
        return s;
    }
    s.settings = kvprog::Diff(*unit_, model).size();
    s.kind = s.settings == 0 ? UnitState::Kind::kAgree : UnitState::Kind::kDiffers;
    return s;
}

std::string UnitAgreement::Differs(const CDSDATA& model) const {
    const UnitState s = State(model);
    switch (s.kind) {
    case UnitState::Kind::kNotConnected:
        return "the unit is not connected: 758 serves its own program, and edits stay on the PC";
    case UnitState::Kind::kUnsure: return "758 serves its own program, which may differ from the unit's: " + s.reason;
    case UnitState::Kind::kNotRead:
        return "758 serves its own program and has not read the unit's since the link opened: they may differ";
    case UnitState::Kind::kDiffers:
        return "758 serves its own program, which differs from the unit's in " + Counted(s.settings);
    case UnitState::Kind::kAgree: return {};
    }
    return {};
}

std::vector<kvprog::SettingRef> UnitAgreement::KeptOnPc(const CDSDATA& model) const {
    std::vector<kvprog::SettingRef> kept;
    if (!offline_base_) return kept;
    std::vector<kvprog::Difference> from_unit;
    if (unit_) from_unit = kvprog::Diff(*unit_, model);
    for (const kvprog::Difference& d : kvprog::Diff(*offline_base_, model)) {
        const bool still_differs = !unit_ || std::any_of(from_unit.begin(), from_unit.end(), [&d](const auto& u) {
                                                 return u.ref == d.ref;
                                             });
        if (still_differs) kept.push_back(d.ref);
    }
    return kept;
}

}  // namespace kvagreement
