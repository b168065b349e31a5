// Undo and redo of the edits made to the PC's program since it was last
// replaced. No window system.
//
// An edit step is "these settings had these values": the entries of the
// program that the edit changed, with the message it sent. Undo writes the
// old values back and sends the same message again, so the unit follows
// exactly as it followed the edit; redo writes the new values and sends it
// once more. Opening and releasing an EQ filter are steps of their own that
// go back through the same pool operations the EQ editor uses, so the pool
// and the unit stay in step.
//
// A drag or a run of arrow clicks on one control is one step: an edit that
// sends the same message as the step on top, within kMergeWindow of its
// last edit, joins that step.
//
// A step knows who made it: empty for the desk, or a remote client's kind
// ("web", "osc", "api"), shown after its text ("Out 3 gain (web)"). Edits of
// different sources never join one step.
#pragma once

#include <kvcom/kvcom.h>

#include <chrono>
#include <string>
#include <vector>

#include "kvdevice/sends.h"
#include "kvhistory/model_fields.h"

namespace history {

using Clock = std::chrono::steady_clock;
inline constexpr std::chrono::milliseconds kMergeWindow{1000};
// Steps kept; the oldest go first.
inline constexpr std::size_t kMaxSteps = 500;

// The four values of an EQ filter, as the pool row holds them.
struct FilterValues {
    int type = 2;
    int freq = 120;
    int gain = 30;
    int width = 5;
};

// What undo and redo ask of the line. The program queues these on its
// device thread; tests send them at once on a recording transport.
class StepLine {
public:
    virtual ~StepLine() = default;
    // The message `key` names, from the model as it stands (the model's
    // cursors are set to the key's before the call).
    virtual void Send(CDSDATA& m, const device::SendKey& key) = 0;
    // The pool operations of the EQ editor on slot `slot` of `chan`:
    // SetNewPEQ / SetNewInAPEQ / SetNewInBPEQ and their Delete partners.
    virtual void OpenFilter(CDSDATA& m, int chan, int slot) = 0;
    virtual void ReleaseFilter(CDSDATA& m, int chan, int slot) = 0;
};

// Sends everything at once through the library (the same messages the
// program's device thread sends), for callers without a device thread.
class DirectLine : public StepLine {
public:
    void Send(CDSDATA& m, const device::SendKey& key) override;
    void OpenFilter(CDSDATA& m, int chan, int slot) override;
    void ReleaseFilter(CDSDATA& m, int chan, int slot) override;
};

struct Step {
    enum class Kind { kValues, kOpenFilter, kReleaseFilter };
    Kind kind = Kind::kValues;
    std::vector<FieldChange> changes;    // kValues
    std::vector<device::SendKey> sends;  // kValues, in the order first sent
    int chan = -1;                       // filter steps: the channel
    int slot = -1;                       // and the slot the filter stands in
    FilterValues values;                 // kReleaseFilter: what it held
    std::string source;                  // empty: the desk; else "web", "osc", "api"
    std::string label;                   // a step of several settings named as a whole ("Take of 3 settings")
    bool renames = false;                // kValues: the program's name changed too (a Take of it)
    std::string name_before, name_after;
    Clock::time_point last_edit{};
};

class UndoStack {
public:
    // A new history on `m` (a program opened, uploaded, recalled, reset):
    // every step is dropped. True when there were steps to drop.
    bool Reset(const CDSDATA& m);
    // Takes `m` as it stands as the starting point of the next edit, without
    // a step (the model changed along with the unit, e.g. a Download's mutes).
    void Rebase(const CDSDATA& m);

    // An edit: `m` holds the new values and `key` is the message it sent.
    // No step when nothing changed.
    void RecordEdit(const CDSDATA& m, const device::SendKey& key, Clock::time_point now = Clock::now());
    // One edit that sent several messages (a remote client's request): `m`
    // holds the new values, `keys` are the messages in the order sent, and
    // `source` says who asked. One step, or none when nothing changed.
    void RecordEdits(const CDSDATA& m, const std::vector<device::SendKey>& keys, const std::string& source,
                     Clock::time_point now = Clock::now());
    // A change of several settings made at once on the PC (Compare's Take):
    // `before` and `m` hold the program before and after it, `keys` are the
    // messages that carry its settings. One step named `label`, never joined
    // with an edit, that changes back exactly what differs between the two,
    // the program's name too; none when nothing changed.
    void RecordStep(const CDSDATA& before, const CDSDATA& m, const std::vector<device::SendKey>& keys,
                    const std::string& label);
    // The EQ editor opened a filter in slot `slot` of `chan`; `m` as after.
    void RecordFilterOpened(const CDSDATA& m, int chan, int slot);
    // It released the filter that held `values` from that slot.
    void RecordFilterReleased(const CDSDATA& m, int chan, int slot, const FilterValues& values);

    bool CanUndo() const { return !done_.empty(); }
    bool CanRedo() const { return !undone_.empty(); }
    // Puts the step on top back (or forward) through `line`. False when
    // there was none.
    bool Undo(CDSDATA& m, StepLine& line);
    bool Redo(CDSDATA& m, StepLine& line);

    // What the next undo or redo would change, for the menu ("Out 3 gain").
    std::string UndoText() const;
    std::string RedoText() const;

    std::size_t UndoCount() const { return done_.size(); }
    std::size_t RedoCount() const { return undone_.size(); }

private:
    void Push(Step step);
    void Replay(CDSDATA& m, Step& step, StepLine& line, bool undo);

    std::vector<int> baseline_;  // the program as the last step left it
    std::vector<Step> done_;
    std::vector<Step> undone_;
};

// "Out 3 gain", "In A EQ 2", "Out 1 filter opened", "Out 3 gain (web)",
// "Out 1 mute and 5 more (osc)" ...
std::string StepText(const Step& step);

}  // namespace history
