// Whether the program 758 serves is the one the unit plays, as far as 758
// knows it: since the link opened, the last time the whole program was read
// from the unit or sent to it whole, and every change after that, each
// either gone to the unit as well (an edit's message, a device task) or made
// on the PC alone (a file opened, a program taken from Compare). The frame's
// own "PC and unit agree / differ" state can feed it the same news. No
// window system.
#pragma once

#include <kvcom/kvcom.h>

#include <memory>
#include <string>
#include <vector>

namespace remote {

class UnitAgreement {
public:
    UnitAgreement();
    ~UnitAgreement();

    // What 758 knew of the unit's program holds only while the link is open.
    void LinkOpened();
    void LinkClosed();
    // `model` is the unit's working program now: read from it, sent to it
    // whole, or found equal to it.
    void Matches(const CDSDATA& model);
    // What changed in `model` since it was last seen went to the unit too.
    void Sent(const CDSDATA& model);
    // `model` changed on the PC alone.
    void PcOnly(const CDSDATA& model);
    // Settings of another program went to the unit (Compare's Send).
    void OtherProgramSent();
    // A message of an edit did not reach the unit.
    void SendFailed();

    // Empty when `model` is the unit's program; otherwise the state in
    // words, for the clients of the remote-control server.
    std::string Differs(const CDSDATA& model) const;

private:
    void See(const CDSDATA& model);

    bool connected_ = false;
    std::unique_ptr<CDSDATA> unit_;  // the unit's program as 758 knows it
    std::unique_ptr<CDSDATA> seen_;  // the model as last seen
    std::string unsure_;             // why what 758 knew may be wrong now
};

}  // namespace remote
