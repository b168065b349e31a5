// Whether the PC's program is the one the unit plays, as far as the program
// knows it: since the link opened, the last time the unit's working program
// was read (or the whole program sent to it), and every change after that,
// each either gone to the unit as well (an edit's message, a device task) or
// made on the PC alone (a file opened, a program taken from Compare). Edits
// made while the link was down are remembered, so they can be offered again
// when the unit is back. No window system.
#pragma once

#include <kvcom/kvcom.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kvprog/settings.h"

namespace kvagreement {

struct UnitState {
    enum class Kind {
        kNotConnected,  // no link: edits stay on the PC
        kNotRead,       // linked, but the unit's program has not been read since
        kAgree,         // the PC's program is the unit's
        kDiffers,       // it differs in `settings` settings
        kUnsure,        // something went out that may have missed: `reason`
    };
    Kind kind = Kind::kNotConnected;
    std::size_t settings = 0;
    std::string reason;
    bool operator==(const UnitState&) const = default;
};

// "PC and unit agree", "PC differs from the unit: 23 settings", "PC may
// differ from the unit: an edit did not reach it", "PC and unit not compared
// yet", "" while there is no link.
std::string StateText(const UnitState& state);

class UnitAgreement {
public:
    UnitAgreement();
    ~UnitAgreement();
    UnitAgreement(const UnitAgreement&) = delete;
    UnitAgreement& operator=(const UnitAgreement&) = delete;

    // What was known of the unit's program holds only while the link is
    // open. Closing remembers the PC's program as it stood, so the edits
    // made without the unit can be found again.
    void LinkOpened();
    void LinkClosed();
    bool Connected() const { return connected_; }

    // `model` is the unit's working program now: read from it, sent to it
    // whole, or found equal to it.
    void Matches(const CDSDATA& model);
    // The unit's working program, read into another model (Compare, a check
    // of the link); the PC's program is left as it is.
    void UnitRead(const CDSDATA& unit_program);
    // What changed in `model` since it was last seen went to the unit too.
    void Sent(const CDSDATA& model);
    // `model` changed on the PC alone.
    void PcOnly(const CDSDATA& model);
    // Settings of another program went to the unit (Compare's Send).
    void OtherProgramSent();
    // A message of an edit did not reach the unit.
    void SendFailed();

    // A read of the unit's working program was queued behind every send
    // asked for so far, with the PC's program as `model` stands now.
    // Returns the read's ticket.
    std::uint64_t ReadBegins(const CDSDATA& model);
    // That read came back with `unit_program`. False when it cannot be
    // taken because the PC's program changed on the PC alone meanwhile:
    // then it is read again. The sends queued after the read are counted
    // on top of what it found.
    bool ReadEnds(std::uint64_t ticket, const CDSDATA& unit_program);
    // The read failed (no answer, a damaged reply, the link lost).
    void ReadFailed(std::uint64_t ticket);
    bool Reading() const { return reading_ != 0; }

    UnitState State(const CDSDATA& model) const;
    // Empty when `model` is the unit's program; otherwise the state in
    // words for the clients of the remote-control server.
    std::string Differs(const CDSDATA& model) const;
    // The settings edited on the PC while the link was down (edits, not
    // programs opened or taken on the PC) in which the PC still differs
    // from the unit (from its last read, when there is one), in page order.
    std::vector<kvprog::SettingRef> KeptOnPc(const CDSDATA& model) const;

private:
    void See(const CDSDATA& model);

    bool connected_ = false;
    std::unique_ptr<CDSDATA> unit_;          // the unit's program as known
    std::unique_ptr<CDSDATA> seen_;          // the PC's program as last seen
    std::unique_ptr<CDSDATA> offline_base_;  // the PC's program when the link went
    std::unique_ptr<CDSDATA> read_base_;     // the PC's program when the read began
    std::uint64_t reading_ = 0;              // ticket of the read in flight, 0 for none
    std::uint64_t last_ticket_ = 0;
    std::uint64_t pc_only_changes_ = 0;
    std::uint64_t pc_only_at_read_ = 0;
    std::string unsure_;  // why what was known may be wrong now
};

}  // namespace kvagreement
