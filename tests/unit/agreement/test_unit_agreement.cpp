// The PC/unit state as the program learns of reads, sends and changes on the
// PC alone; a read that is in flight while edits go on; the edits made while
// the link was down, found again when the unit is back.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "kvagreement/unit_agreement.h"

namespace kvagreement {
namespace {

using Kind = UnitState::Kind;
using Step = std::function<void(UnitAgreement&, CDSDATA&)>;

const Step opened = [](UnitAgreement& a, CDSDATA&) { a.LinkOpened(); };
const Step read = [](UnitAgreement& a, CDSDATA& m) { a.Matches(m); };
const Step edit_sent = [](UnitAgreement& a, CDSDATA& m) {
    m.out_gain[1] += 5;
    a.Sent(m);
};
const Step pc_only = [](UnitAgreement& a, CDSDATA& m) {
    m.out_delay[3] += 40;
    m.out_mute[4] = !m.out_mute[4];
    a.PcOnly(m);
};
const Step pc_only_back = [](UnitAgreement& a, CDSDATA& m) {
    m.out_delay[3] -= 40;
    m.out_mute[4] = !m.out_mute[4];
    a.PcOnly(m);
};
const Step send_failed = [](UnitAgreement& a, CDSDATA&) { a.SendFailed(); };
const Step other_sent = [](UnitAgreement& a, CDSDATA&) { a.OtherProgramSent(); };
const Step closed = [](UnitAgreement& a, CDSDATA&) { a.LinkClosed(); };
// The unit's program read into another model: the PC's differs in its gain.
const Step unit_read_other = [](UnitAgreement& a, CDSDATA& m) {
    CDSDATA unit(m);
    unit.out_gain[5] = m.out_gain[5] + 10;
    a.UnitRead(unit);
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    Kind kind;
    std::size_t settings;
    const char* differs;  // "" or a part of the remote server's text
};

// One rule for the status bar and the remote server: the state and its
// words for the server follow from the same steps.
TEST(UnitAgreement, StateFollowsReadsSendsAndChangesOnThePc) {
    const std::vector<Case> cases = {
        {"nothing read since the link opened", {opened}, Kind::kNotRead, 0,
         "has not read the unit's since the link opened"},
        {"read", {opened, read}, Kind::kAgree, 0, ""},
        {"read, then edits sent", {opened, read, edit_sent, edit_sent}, Kind::kAgree, 0, ""},
        {"changed on the PC alone", {opened, read, pc_only}, Kind::kDiffers, 2, "differs from the unit's in 2 settings"},
        {"on the PC alone, then an edit sent", {opened, read, pc_only, edit_sent}, Kind::kDiffers, 2, "in 2 settings"},
        {"on the PC alone and back", {opened, read, pc_only, pc_only_back}, Kind::kAgree, 0, ""},
        {"an edit lost", {opened, read, edit_sent, send_failed}, Kind::kUnsure, 0, "an edit did not reach the unit"},
        {"another program sent", {opened, read, other_sent}, Kind::kUnsure, 0, "another program"},
        {"read again after another program went", {opened, read, other_sent, unit_read_other}, Kind::kDiffers, 1,
         "in 1 setting"},
        {"unplugged", {opened, read, closed}, Kind::kNotConnected, 0, "not connected"},
        {"plugged in again", {opened, read, closed, opened}, Kind::kNotRead, 0, "has not read"},
        {"read while unplugged is no read", {read, opened}, Kind::kNotRead, 0, "has not read"},
        {"a unit read while unplugged is no read", {unit_read_other, opened}, Kind::kNotRead, 0, "has not read"},
    };
    for (const Case& c : cases) {
        CDSDATA m;
        UnitAgreement agreement;
        for (const Step& step : c.steps) step(agreement, m);
        const UnitState state = agreement.State(m);
        EXPECT_EQ(state.kind, c.kind) << c.name;
        EXPECT_EQ(state.settings, c.settings) << c.name;
        const std::string differs = agreement.Differs(m);
        const std::string want = c.differs;
        if (want.empty())
            EXPECT_EQ(differs, "") << c.name;
        else
            EXPECT_NE(differs.find(want), std::string::npos) << c.name << ": " << differs;
    }
}

TEST(UnitAgreement, StatusBarWords) {
    EXPECT_EQ(StateText({Kind::kAgree, 0, ""}), "PC and unit agree");
    EXPECT_EQ(StateText({Kind::kDiffers, 23, ""}), "PC differs from the unit: 23 settings");
    EXPECT_EQ(StateText({Kind::kDiffers, 1, ""}), "PC differs from the unit: 1 setting");
    EXPECT_EQ(StateText({Kind::kUnsure, 0, "an edit did not reach the unit"}),
              "PC may differ from the unit: an edit did not reach the unit");
    EXPECT_EQ(StateText({Kind::kNotConnected, 0, ""}), "");
}

// The read is queued behind the sends asked for before it; what is sent
// after it goes out after it, so it counts on top of what the read found.
TEST(UnitAgreement, EditsSentDuringAReadCountOnTopOfIt) {
    CDSDATA pc;
    UnitAgreement a;
    a.LinkOpened();
    const CDSDATA unit_then(pc);  // what the unit plays when the read runs
    const std::uint64_t ticket = a.ReadBegins(pc);
    EXPECT_TRUE(a.Reading());
    pc.out_gain[2] += 7;  // an edit while the read is in flight
    a.Sent(pc);
    ASSERT_TRUE(a.ReadEnds(ticket, unit_then));
    EXPECT_FALSE(a.Reading());
    EXPECT_EQ(a.State(pc).kind, Kind::kAgree);
}

// A program opened on the PC while the read ran is not the one the read
// was meant for: the read does not count and must be made again.
TEST(UnitAgreement, AChangeOnThePcDuringAReadAsksForAnother) {
    CDSDATA pc;
    UnitAgreement a;
    a.LinkOpened();
    const std::uint64_t ticket = a.ReadBegins(pc);
    pc.out_delay[0] += 48;
    a.PcOnly(pc);
    EXPECT_FALSE(a.ReadEnds(ticket, CDSDATA(pc)));
    EXPECT_EQ(a.State(pc).kind, Kind::kNotRead);

    // A read of the link before it was lost is never taken for this one.
    const std::uint64_t old = a.ReadBegins(pc);
    a.LinkClosed();
    a.LinkOpened();
    EXPECT_TRUE(a.ReadEnds(old, CDSDATA(pc)));
    EXPECT_EQ(a.State(pc).kind, Kind::kNotRead);
}

// Edits made while the unit was away are found again when it is back and
// its program has been read: those the unit lacks, in page order.
TEST(UnitAgreement, EditsMadeWithoutTheUnitAreFoundAgain) {
    CDSDATA pc;
    UnitAgreement a;
    a.LinkOpened();
    a.Matches(pc);
    const CDSDATA unit(pc);
    a.LinkClosed();
    pc.out_gain[3] += 5;  // three edits that stay on the PC
    a.Sent(pc);
    pc.ina_delay += 48;
    a.Sent(pc);
    pc.out_mute[0] = !pc.out_mute[0];
    a.Sent(pc);
    pc.out_mute[0] = !pc.out_mute[0];  // ... and one undone again
    a.Sent(pc);
    EXPECT_EQ(a.KeptOnPc(pc).size(), 2u);  // before the unit is read: every one

    a.LinkOpened();
    CDSDATA unit_now(unit);
    unit_now.ina_delay = pc.ina_delay;  // someone set this one at the unit itself
    const std::uint64_t ticket = a.ReadBegins(pc);
    ASSERT_TRUE(a.ReadEnds(ticket, unit_now));
    const std::vector<kvprog::SettingRef> kept = a.KeptOnPc(pc);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kvprog::PathOf(kept[0]), "out4.gain");
    EXPECT_EQ(a.State(pc).settings, 1u);

    // What a program opened on the PC meanwhile changes is its own, not
    // an edit kept: here it has the In A delay edit still, and not the gain.
    a.LinkClosed();
    CDSDATA opened(pc);
    opened.out_delay[5] += 96;
    opened.out_gain[3] -= 5;
    a.PcOnly(opened);
    const std::vector<kvprog::SettingRef> still = a.KeptOnPc(opened);
    ASSERT_EQ(still.size(), 1u);
    EXPECT_EQ(kvprog::PathOf(still[0]), "ina.delay");
    pc = opened;

    // A Download sends them all: nothing is kept any more.
    a.LinkOpened();
    a.Matches(pc);
    EXPECT_TRUE(a.KeptOnPc(pc).empty());
}

}  // namespace
}  // namespace kvagreement
