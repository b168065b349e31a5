// The undo stack on the model and the recording line: undo of each kind of
// edit puts the old values back and sends what the edit sent, with the old
// value; redo returns; one control's run of edits is one step; a new
// history drops every step.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "kvhistory/undo_stack.h"
#include "model_builder.h"
#include "wire_recorder.h"

namespace history {
namespace {

using kvtest::Hex;
using namespace std::chrono_literals;

// An edit as a page makes it: the new value into the model, the cursors
// aimed, then the code of its message (PC_OUT_SOURCE: the source message).
struct EditCase {
    const char* name;
    std::function<void(CDSDATA&)> setup;  // before the edit, not recorded
    std::function<int(CDSDATA&)> edit;
    std::function<int(const CDSDATA&)> value;  // the edited value
    std::vector<std::string> undo_sends;
    std::vector<std::string> redo_sends;
};

device::SendKey KeyOf(const CDSDATA& m, int code, int chan) {
    return code == PC_OUT_SOURCE ? device::SourceKey(m, chan) : device::ParamKey(m, code);
}

std::vector<kvtest::Bytes> HexAll(const std::vector<std::string>& hex) {
    std::vector<kvtest::Bytes> out;
    for (const std::string& h : hex) out.push_back(Hex(h));
    return out;
}

TEST(UndoStack, UndoAndRedoOfEachKindOfEditSendWhatTheEditSent) {
    const std::vector<EditCase> cases = {
        {"Out 3 unmuted",
         [](CDSDATA&) {},
         [](CDSDATA& m) {
             m.cur_chan = 2;
             m.out_mute[2] = 0;
             return PC_OUT_MUTE;
         },
         [](const CDSDATA& m) { return m.out_mute[2]; },
         {"F0 00 20 18 00 2D 62 70 00 01 F7"},
         {"F0 00 20 18 00 2D 62 70 00 F7"}},
        {"Out 1 gain, linked: the partner follows back",
         [](CDSDATA& m) {
             m.figuration = 1;
             m.link_on = 1;
         },
         [](CDSDATA& m) {
             m.cur_chan = 0;
             m.out_gain[0] = 75;
             m.SetLinkVal();
             return PC_OUT_GAIN;
         },
         [](const CDSDATA& m) { return m.out_gain[1]; },
         {"F0 00 20 18 00 2D 60 62 00 4B F7", "F0 00 20 18 00 2D 61 62 00 4B F7"},
         {"F0 00 20 18 00 2D 60 62 00 16 01 F7", "F0 00 20 18 00 2D 61 62 00 16 01 F7"}},
        {"In B delay",
         [](CDSDATA&) {},
         [](CDSDATA& m) {
             m.inb_delay = 20000;
             return PC_INB_DELAY;
         },
         [](const CDSDATA& m) { return m.inb_delay; },
         {"F0 00 20 18 00 2D 21 20 00 F7"},
         {"F0 00 20 18 00 2D 21 20 00 20 1C 01 F7"}},
        {"Out 1 source",
         [](CDSDATA&) {},
         [](CDSDATA& m) {
             m.cur_chan = 0;
             m.out_source[0] = 1;
             return PC_OUT_SOURCE;
         },
         [](const CDSDATA& m) { return int(m.out_source[0]); },
         {"F0 00 20 18 00 2D 60 61 00 00 F7"},
         {"F0 00 20 18 00 2D 60 61 00 01 F7"}},
        {"Out 2 high-pass frequency",
         [](CDSDATA&) {},
         [](CDSDATA& m) {
             m.cur_chan = 1;
             m.xo_side = 0;
             m.xo_freq[1][0] = 40;
             return PC_XO_HP_FREQ;
         },
         [](const CDSDATA& m) { return m.xo_freq[1][0]; },
         {"F0 00 20 18 00 2D 61 68 00 22 F7"},
         {"F0 00 20 18 00 2D 61 68 00 28 F7"}},
        {"Out 3 EQ frequency",
         [](CDSDATA& m) { kvtest::OpenFilter(m, 2, 0); },
         [](CDSDATA& m) {
             m.cur_chan = 2;
             m.cur_slot = 0;
             m.cur_eq = m.out_eq_slot[2][0];
             m.eq_freq[m.cur_eq] = 130;
             return PC_OUT_EQ_FREQ;
         },
         [](const CDSDATA& m) { return m.eq_freq[m.out_eq_slot[2][0]]; },
         {"F0 00 20 18 00 2D 62 6D 00 78 02 F7"},
         {"F0 00 20 18 00 2D 62 6D 00 02 03 F7"}},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDSDATA m;
        kvtest::WireRecorder wire;
        c.setup(m);
        UndoStack stack;
        stack.Reset(m);
        const int old_value = c.value(m);
        const int code = c.edit(m);
        const int new_value = c.value(m);
        stack.RecordEdit(m, KeyOf(m, code, m.cur_chan));
        ASSERT_TRUE(stack.CanUndo());

        m.cur_chan = 5;  // the cursors of whatever page is open stay as they are
        DirectLine line;
        wire.Clear();
        ASSERT_TRUE(stack.Undo(m, line));
        EXPECT_EQ(c.value(m), old_value);
        EXPECT_EQ(m.cur_chan, 5);
        EXPECT_EQ(wire.Messages(), HexAll(c.undo_sends)) << wire.Describe();

        wire.Clear();
        ASSERT_TRUE(stack.Redo(m, line));
        EXPECT_EQ(c.value(m), new_value);
        EXPECT_EQ(wire.Messages(), HexAll(c.redo_sends)) << wire.Describe();
        EXPECT_FALSE(stack.CanRedo());
    }
}

// A drag is one step; a pause of more than a second, or another control,
// starts the next one.
TEST(UndoStack, EditsOfOneControlWithinASecondAreOneStep) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, std::chrono::milliseconds>> edits;  // (chan, time) of gain edits
        std::size_t steps;
    };
    const std::vector<Case> cases = {
        {"a drag", {{0, 0ms}, {0, 300ms}, {0, 900ms}, {0, 1800ms}}, 1},
        {"a pause", {{0, 0ms}, {0, 300ms}, {0, 1400ms}}, 2},
        {"another output", {{0, 0ms}, {1, 100ms}, {0, 200ms}}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDSDATA m;
        UndoStack stack;
        stack.Reset(m);
        const Clock::time_point start{};
        int value = 0;
        for (const auto& [chan, at] : c.edits) {
            m.cur_chan = chan;
            m.out_gain[chan] = ++value;
            stack.RecordEdit(m, device::ParamKey(m, PC_OUT_GAIN), start + at);
        }
        EXPECT_EQ(stack.UndoCount(), c.steps);
        kvtest::WireRecorder wire;
        DirectLine line;
        while (stack.Undo(m, line)) {}
        EXPECT_EQ(m.out_gain[0], 0);
        EXPECT_EQ(m.out_gain[1], 0);
    }
}

// Who made a step shows in its text, and edits of another source never
// join it, however close in time.
TEST(UndoStack, StepsKeepTheirSourceAndJoinOnlyTheirOwn) {
    struct Edit {
        int chan;
        const char* source;
        std::chrono::milliseconds at;
    };
    struct Case {
        const char* name;
        std::vector<Edit> edits;  // gain edits
        std::size_t steps;
        const char* undo_text;
    };
    const std::vector<Case> cases = {
        {"a drag from a phone", {{2, "web", 0ms}, {2, "web", 200ms}, {2, "web", 400ms}}, 1, "Out 3 gain (web)"},
        {"the desk, then a phone", {{2, "", 0ms}, {2, "web", 100ms}}, 2, "Out 3 gain (web)"},
        {"a phone, then the desk", {{2, "web", 0ms}, {2, "", 100ms}}, 2, "Out 3 gain"},
        {"a phone, then OSC", {{0, "web", 0ms}, {0, "osc", 100ms}}, 2, "Out 1 gain (osc)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDSDATA m;
        UndoStack stack;
        stack.Reset(m);
        const Clock::time_point start{};
        for (const Edit& e : c.edits) {
            m.cur_chan = e.chan;
            m.out_gain[e.chan] += 5;
            stack.RecordEdits(m, {device::ParamKey(m, PC_OUT_GAIN)}, e.source, start + e.at);
        }
        EXPECT_EQ(stack.UndoCount(), c.steps);
        EXPECT_EQ(stack.UndoText(), c.undo_text);
    }
}

// A request that changed six settings is one step: undo puts all six back
// and sends each message again, in the order first sent.
TEST(UndoStack, ARequestOfSeveralSettingsIsOneStep) {
    CDSDATA m;
    for (int n = 0; n < KV_OUTPUTS; ++n) m.out_mute[n] = 0;
    UndoStack stack;
    stack.Reset(m);
    std::vector<device::SendKey> keys;
    for (int n = 0; n < KV_OUTPUTS; ++n) {
        m.cur_chan = n;
        m.out_mute[n] = 1;
        keys.push_back(device::ParamKey(m, PC_OUT_MUTE));
    }
    m.cur_chan = 0;
    stack.RecordEdits(m, keys, "api");
    ASSERT_EQ(stack.UndoCount(), 1u);
    EXPECT_EQ(stack.UndoText(), "Out 1 mute and 5 more (api)");

    kvtest::WireRecorder wire;
    DirectLine line;
    ASSERT_TRUE(stack.Undo(m, line));
    for (int n = 0; n < KV_OUTPUTS; ++n) EXPECT_EQ(m.out_mute[n], 0) << n;
    EXPECT_EQ(wire.Messages().size(), static_cast<std::size_t>(KV_OUTPUTS)) << wire.Describe();
    EXPECT_EQ(stack.RedoText(), "Out 1 mute and 5 more (api)");
}

TEST(UndoStack, AnEditAfterUndoDropsTheRedoAndANewHistoryDropsAll) {
    CDSDATA m;
    kvtest::WireRecorder wire;
    DirectLine line;
    UndoStack stack;
    EXPECT_FALSE(stack.Reset(m));
    m.out_polarity[0] = 1;
    stack.RecordEdit(m, device::ParamKey(m, PC_OUT_POLARITY));
    stack.RecordEdit(m, device::ParamKey(m, PC_OUT_POLARITY), Clock::now() + 2s);  // sent again, nothing changed
    EXPECT_EQ(stack.UndoCount(), 1u);
    stack.Undo(m, line);
    m.out_mute[0] = 0;
    stack.RecordEdit(m, device::ParamKey(m, PC_OUT_MUTE));
    EXPECT_FALSE(stack.CanRedo());
    EXPECT_EQ(stack.UndoText(), "Out 1 mute");

    m.InitData();  // a program replaced: its steps mean nothing any more
    EXPECT_TRUE(stack.Reset(m));
    EXPECT_FALSE(stack.CanUndo());
    EXPECT_FALSE(stack.Undo(m, line));
    EXPECT_EQ(m.out_mute[0], 1);
}

// Opening and releasing a filter go back through the pool operations: the
// pool, the slot lists and the unit agree after every undo and redo.
TEST(UndoStack, FilterOpenAndReleaseGoBackThroughThePool) {
    CDSDATA m;
    kvtest::WireRecorder wire;
    DirectLine line;
    UndoStack stack;
    stack.Reset(m);

    line.OpenFilter(m, 2, 0);
    stack.RecordFilterOpened(m, 2, 0);
    ASSERT_EQ(m.eq_used, 1);
    wire.Clear();
    stack.Undo(m, line);
    EXPECT_EQ(m.eq_used, 0);
    EXPECT_EQ(m.out_eq_slot[2][0], -1);
    EXPECT_EQ(wire.Messages(), HexAll({"F0 00 20 18 00 2D 62 6E 00 1E 02 F7", "F0 00 20 18 00 2D 62 1A 01 F7"}))
        << wire.Describe();
    stack.Redo(m, line);
    ASSERT_EQ(m.eq_used, 1);
    const int row = m.out_eq_slot[2][0];
    EXPECT_EQ(m.eq_gain[row], 31);

    // Edited, then released: undo brings it back with its values.
    m.eq_gain[row] = 40;
    m.eq_freq[row] = 130;
    m.cur_slot = 0;
    m.cur_eq = row;
    line.ReleaseFilter(m, 2, 0);
    stack.RecordFilterReleased(m, 2, 0, {2, 130, 40, 5});
    ASSERT_EQ(m.eq_used, 0);
    wire.Clear();
    stack.Undo(m, line);
    ASSERT_EQ(m.eq_used, 1);
    const int back = m.out_eq_slot[2][0];
    ASSERT_GE(back, 0);
    EXPECT_EQ(m.eq_gain[back], 40);
    EXPECT_EQ(m.eq_freq[back], 130);
    const std::vector<kvtest::Bytes> sent = wire.Messages();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), Hex("F0 00 20 18 00 2D 62 1A 01 F7"));  // assigned as the editor does
    EXPECT_NE(std::find(sent.begin(), sent.end(), Hex("F0 00 20 18 00 2D 62 6E 00 28 02 F7")), sent.end())
        << wire.Describe();
    stack.Redo(m, line);
    EXPECT_EQ(m.eq_used, 0);
    EXPECT_EQ(m.out_eq_slot[2][0], -1);
}

}  // namespace
}  // namespace history
