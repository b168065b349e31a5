#include "remote/unit_agreement.h"

#include <cstring>

#include "kvhistory/model_fields.h"
#include "kvprog/describe.h"

namespace remote {

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
}

void UnitAgreement::LinkClosed() {
    connected_ = false;
    unit_.reset();
    unsure_.clear();
}

void UnitAgreement::Matches(const CDSDATA& model) {
    See(model);
    if (!connected_) return;
    unit_ = std::make_unique<CDSDATA>(model);
    unsure_.clear();
}

void UnitAgreement::Sent(const CDSDATA& model) {
    if (unit_ && seen_) {
        // The settings the line carries (the flat row of the undo history),
        // and the configuration and name that a device task may change.
        history::Apply(*unit_, history::Changes(history::Flatten(*seen_), history::Flatten(model)), false);
        if (seen_->figuration != model.figuration) unit_->figuration = model.figuration;
        if (seen_->link_on != model.link_on) unit_->link_on = model.link_on;
        if (std::memcmp(seen_->prog_name, model.prog_name, sizeof model.prog_name) != 0)
            std::memcpy(unit_->prog_name, model.prog_name, sizeof model.prog_name);
    }
    See(model);
}

void UnitAgreement::PcOnly(const CDSDATA& model) { See(model); }

void UnitAgreement::OtherProgramSent() {
    if (unit_ && unsure_.empty()) unsure_ = "settings of another program were sent to the unit (Compare)";
}

void UnitAgreement::SendFailed() {
    if (connected_ && unsure_.empty()) unsure_ = "an edit did not reach the unit";
}

std::string UnitAgreement::Differs(const CDSDATA& model) const {
    if (!connected_) return "the unit is not connected: 758 serves its own program, and edits stay on the PC";
    if (!unsure_.empty()) return "758 serves its own program, which may differ from the unit's: " + unsure_;
    if (!unit_) return "758 serves its own program and has not read the unit's since the link opened: they may differ";
    const std::size_t n = kvprog::Diff(*unit_, model).size();
    if (n == 0) return {};
    return "758 serves its own program, which differs from the unit's in " + std::to_string(n) +
           (n == 1 ? " setting" : " settings");
}

}  // namespace remote
