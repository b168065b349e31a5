#include "kvhistory/undo_stack.h"

#include <algorithm>
#include <cstring>

#include "kvproto/channels.h"

namespace history {

namespace {

constexpr int kLastAssignableRow = KV_DEFAULT_ROW - 1;

int FilterCount(const CDSDATA& m, int chan) {
    const int* list = kvcom::EqSlotList(m, chan);
    int n = 0;
    while (list && n < KV_POOL_ROWS && list[n] != -1) ++n;
    return n;
}

using device::Cursors;

void SetCursors(CDSDATA& m, const device::SendKey& key) {
    if (key.chan != -1) m.cur_chan = key.chan;
    if (key.slot != -1) m.cur_slot = key.slot;
    if (key.row != -1) m.cur_eq = key.row;
    if (key.side != -1) m.xo_side = key.side;
}

std::string NameOf(const CDSDATA& m) { return std::string(m.prog_name, strnlen(m.prog_name, sizeof m.prog_name)); }

void SetName(CDSDATA& m, const std::string& name) {
    std::memset(m.prog_name, 0, sizeof m.prog_name);
    std::memcpy(m.prog_name, name.data(), std::min(name.size(), sizeof m.prog_name - 1));
}

device::SendKey EqKey(const CDSDATA& m, int code) { return device::ParamKey(m, code); }

// The filter that the link repeat of an EQ message reaches on the unit (the
// partner's, or In B's for In A, in the same slot), as the EQ editor keeps it.
int TwinRow(CDSDATA& m, int chan, int slot, int row) {
    if (!m.link_on) return -1;
    int twin = -1;
    if (chan == CHAN_IN_A) {
        twin = m.inb_eq_slot[slot];
    } else if (kvcom::IsOutputChannel(chan)) {
        m.cur_chan = chan;
        const int partner = m.GetLinkChan();
        if (partner >= 0) twin = m.out_eq_slot[partner][slot];
    }
    if (twin < 0 || twin > kLastAssignableRow || twin == row || m.eq_owner[twin] == -1) return -1;
    return twin;
}

void WriteFilter(CDSDATA& m, int row, const FilterValues& v) {
    m.eq_type[row] = v.type;
    m.eq_freq[row] = v.freq;
    m.eq_gain[row] = v.gain;
    m.eq_bw[row] = v.width;
    const int owner = m.eq_owner[row];
    if (owner == CHAN_IN_A || owner == CHAN_IN_B) {
        const bool a = owner == CHAN_IN_A;
        (a ? m.ina_eq_type : m.inb_eq_type)[row] = v.type;
        (a ? m.ina_eq_freq : m.inb_eq_freq)[row] = v.freq;
        (a ? m.ina_eq_gain : m.inb_eq_gain)[row] = v.gain;
        (a ? m.ina_eq_bw : m.inb_eq_bw)[row] = v.width;
    }
}

}  // namespace

// ---------------------------------------------------------------------------

void DirectLine::Send(CDSDATA& m, const device::SendKey& key) {
    if (key.code == PC_OUT_SOURCE)
        device::SendSourceChecked(m, key.chan);
    else
        device::SendParamChecked(m, key.code);
}

void DirectLine::OpenFilter(CDSDATA& m, int chan, int slot) {
    m.cur_chan = chan;
    m.cur_slot = slot;
    m.cur_eq = kvcom::EqSlotList(m, chan)[slot];
    if (chan == CHAN_IN_A)
        m.SetNewInAPEQ();
    else if (chan == CHAN_IN_B)
        m.SetNewInBPEQ();
    else
        m.SetNewPEQ();
}

void DirectLine::ReleaseFilter(CDSDATA& m, int chan, int slot) {
    m.cur_chan = chan;
    m.cur_slot = slot;
    m.cur_eq = kvcom::EqSlotList(m, chan)[slot];
    if (m.cur_eq < 0) return;
    if (chan == CHAN_IN_A)
        m.DeleteInAPEQ();
    else if (chan == CHAN_IN_B)
        m.DeleteInBPEQ();
    else
        m.DeletePEQ();
}

// ---------------------------------------------------------------------------

bool UndoStack::Reset(const CDSDATA& m) {
    const bool had_steps = !done_.empty() || !undone_.empty();
    done_.clear();
    undone_.clear();
    Rebase(m);
    return had_steps;
}

void UndoStack::Rebase(const CDSDATA& m) { baseline_ = Flatten(m); }

void UndoStack::Push(Step step) {
    undone_.clear();
    done_.push_back(std::move(step));
    if (done_.size() > kMaxSteps) done_.erase(done_.begin());
}

void UndoStack::RecordEdit(const CDSDATA& m, const device::SendKey& key, Clock::time_point now) {
    RecordEdits(m, {key}, std::string(), now);
}

void UndoStack::RecordEdits(const CDSDATA& m, const std::vector<device::SendKey>& keys, const std::string& source,
                            Clock::time_point now) {
    if (baseline_.empty()) Rebase(m);
    std::vector<int> row = Flatten(m);
    std::vector<FieldChange> changes = Changes(baseline_, row);
    baseline_ = std::move(row);
    if (changes.empty() || keys.empty()) return;

    if (undone_.empty() && !done_.empty()) {
        Step& top = done_.back();
        if (top.kind == Step::Kind::kValues && top.label.empty() && top.sends == keys && top.source == source &&
            now - top.last_edit <= kMergeWindow) {
            for (const FieldChange& c : changes) {
                auto same = std::find_if(top.changes.begin(), top.changes.end(),
                                         [&c](const FieldChange& t) { return t.index == c.index; });
                if (same != top.changes.end())
                    same->after = c.after;
                else
                    top.changes.push_back(c);
            }
            top.last_edit = now;
            return;
        }
    }
    Step step;
    step.changes = std::move(changes);
    step.sends = keys;
    step.source = source;
    step.last_edit = now;
    Push(std::move(step));
}

void UndoStack::RecordStep(const CDSDATA& before, const CDSDATA& m, const std::vector<device::SendKey>& keys,
                           const std::string& label) {
    Step step;
    step.changes = Changes(Flatten(before), Flatten(m));
    // The name is no setting of the flat row: no message carries it.
    step.name_before = NameOf(before);
    step.name_after = NameOf(m);
    step.renames = step.name_before != step.name_after;
    Rebase(m);
    if (step.changes.empty() && !step.renames) return;
    step.sends = keys;
    step.label = label;
    Push(std::move(step));
}

void UndoStack::RecordFilterOpened(const CDSDATA& m, int chan, int slot) {
    Step step;
    step.kind = Step::Kind::kOpenFilter;
    step.chan = chan;
    step.slot = slot;
    Push(std::move(step));
    Rebase(m);
}

void UndoStack::RecordFilterReleased(const CDSDATA& m, int chan, int slot, const FilterValues& values) {
    Step step;
    step.kind = Step::Kind::kReleaseFilter;
    step.chan = chan;
    step.slot = slot;
    step.values = values;
    Push(std::move(step));
    Rebase(m);
}

void UndoStack::Replay(CDSDATA& m, Step& step, StepLine& line, bool undo) {
    const Cursors kept(m);
    switch (step.kind) {
    case Step::Kind::kValues:
        Apply(m, step.changes, undo);
        if (step.renames) SetName(m, undo ? step.name_before : step.name_after);
        for (const device::SendKey& key : step.sends) {
            SetCursors(m, key);
            line.Send(m, key);
        }
        break;
    case Step::Kind::kOpenFilter:
        if (undo)
            line.ReleaseFilter(m, step.chan, step.slot);
        else
            line.OpenFilter(m, step.chan, step.slot);
        break;
    case Step::Kind::kReleaseFilter: {
        if (!undo) {
            line.ReleaseFilter(m, step.chan, step.slot);
            break;
        }
        // The filter comes back in the channel's first free slot (where the
        // EQ editor would add it), with the values it had.
        const int slot = FilterCount(m, step.chan);
        if (slot >= KV_DEFAULT_ROW) break;
        line.OpenFilter(m, step.chan, slot);
        const int row = kvcom::EqSlotList(m, step.chan)[slot];
        if (row < 0 || row > kLastAssignableRow) break;
        step.slot = slot;
        WriteFilter(m, row, step.values);
        const int twin = TwinRow(m, step.chan, slot, row);
        if (twin >= 0) WriteFilter(m, twin, step.values);
        m.cur_chan = step.chan;
        m.cur_slot = slot;
        m.cur_eq = row;
        const bool input = kvcom::IsInputChannel(step.chan);
        for (int code : input ? std::vector<int>{PC_IN_EQ_TYPE, PC_IN_EQ_FREQ, PC_IN_EQ_GAIN, PC_IN_EQ_BW}
                              : std::vector<int>{PC_OUT_EQ_TYPE, PC_OUT_EQ_FREQ, PC_OUT_EQ_GAIN, PC_OUT_EQ_BW})
            line.Send(m, EqKey(m, code));
        break;
    }
    }
    kept.Restore(m);
    Rebase(m);
}

bool UndoStack::Undo(CDSDATA& m, StepLine& line) {
    if (done_.empty()) return false;
    Step step = std::move(done_.back());
    done_.pop_back();
    Replay(m, step, line, true);
    undone_.push_back(std::move(step));
    return true;
}

bool UndoStack::Redo(CDSDATA& m, StepLine& line) {
    if (undone_.empty()) return false;
    Step step = std::move(undone_.back());
    undone_.pop_back();
    Replay(m, step, line, false);
    step.last_edit = {};  // a redone step never takes in a new edit
    done_.push_back(std::move(step));
    return true;
}

std::string UndoStack::UndoText() const { return done_.empty() ? std::string() : StepText(done_.back()); }
std::string UndoStack::RedoText() const { return undone_.empty() ? std::string() : StepText(undone_.back()); }

// ---------------------------------------------------------------------------

namespace {

std::string ChannelName(int chan) {
    if (chan == CHAN_IN_A) return "In A";
    if (chan == CHAN_IN_B) return "In B";
    if (kvcom::IsOutputChannel(chan)) return "Out " + std::to_string(chan + 1);
    return "Program";
}

std::string ValueName(int code) {
    switch (code) {
    case PC_OUT_GAIN: return "gain";
    case PC_OUT_LIMIT: return "limit";
    case PC_OUT_DELAY: return "delay";
    case PC_OUT_MUTE: return "mute";
    case PC_OUT_POLARITY: return "polarity";
    case PC_OUT_SOURCE: return "source";
    case PC_XO_HP_TYPE:
    case PC_XO_HP_FREQ: return "high-pass";
    case PC_XO_LP_TYPE:
    case PC_XO_LP_FREQ: return "low-pass";
    case PC_IN_EQ_TYPE:
    case PC_OUT_EQ_TYPE: return "type";
    case PC_IN_EQ_FREQ:
    case PC_OUT_EQ_FREQ: return "frequency";
    case PC_IN_EQ_GAIN:
    case PC_OUT_EQ_GAIN: return "gain";
    case PC_IN_EQ_BW:
    case PC_OUT_EQ_BW: return "width";
    default: return "setting";
    }
}

}  // namespace

namespace {

std::string SendText(const device::SendKey& key) {
    switch (key.code) {
    case PC_INA_DELAY: return "In A delay";
    case PC_INB_DELAY: return "In B delay";
    case PC_SUM_DELAY: return "In SUM delay";
    default: break;
    }
    std::string text = ChannelName(key.chan);
    if (key.slot >= 0) text += " EQ " + std::to_string(key.slot + 1);
    return text + " " + ValueName(key.code);
}

}  // namespace

std::string StepText(const Step& step) {
    std::string text;
    switch (step.kind) {
    case Step::Kind::kOpenFilter:
        text = ChannelName(step.chan) + " EQ " + std::to_string(step.slot + 1) + " added";
        break;
    case Step::Kind::kReleaseFilter:
        text = ChannelName(step.chan) + " EQ " + std::to_string(step.slot + 1) + " flat";
        break;
    case Step::Kind::kValues: {
        if (!step.label.empty()) {
            text = step.label;
            break;
        }
        if (step.sends.empty()) return {};
        text = SendText(step.sends.front());
        // A request that changed several settings names the first and counts
        // the others (a crossover's type and frequency are one setting).
        std::vector<std::string> others;
        for (const device::SendKey& key : step.sends) {
            const std::string t = SendText(key);
            if (t != text && std::find(others.begin(), others.end(), t) == others.end()) others.push_back(t);
        }
        if (!others.empty()) text += " and " + std::to_string(others.size()) + " more";
        break;
    }
    }
    if (!step.source.empty()) text += " (" + step.source + ")";
    return text;
}

}  // namespace history
