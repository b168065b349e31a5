// The device thread: jobs in order, latest value wins without crossing a
// long operation, the line carries what one-by-one sends would carry minus
// the replaced values, results come back, nothing queued is dropped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "kvdevice/device_thread.h"
#include "wire_recorder.h"

namespace device {
namespace {

using namespace std::chrono_literals;

// Holds the thread in a first task until Release(), so a test can queue a
// run of jobs that all wait together.
class Gate {
public:
    explicit Gate(DeviceThread& thread) {
        thread.QueueTask(model_, [opened = open_.get_future().share()](CDSDATA&) {
            opened.wait();
            return 1;
        });
    }
    ~Gate() { Release(); }
    void Release() {
        std::call_once(once_, [this] { open_.set_value(); });
    }

private:
    CDSDATA model_;
    std::promise<void> open_;
    std::once_flag once_;
};

// Names what ran, in order, as the device thread ran it.
struct Journal {
    std::mutex mutex;
    std::vector<std::string> ran;
    Work Entry(std::string name) {
        return [this, name](CDSDATA&) {
            std::lock_guard lock(mutex);
            ran.push_back(name);
            return 1;
        };
    }
};

SendKey Key(int code, int chan, int slot = -1) {
    SendKey k;
    k.code = code;
    k.chan = chan;
    k.slot = slot;
    return k;
}

struct QueueCase {
    const char* name;
    std::vector<std::string> queued;  // "A1": key A, value 1; "T": a task
    std::vector<std::string> ran;
};

// A: Out 1 gain, B: Out 2 gain, C: Out 1 EQ gain in slot 0, D: the same in slot 1.
SendKey KeyOf(char k) {
    switch (k) {
    case 'A': return Key(PC_OUT_GAIN, 0);
    case 'B': return Key(PC_OUT_GAIN, 1);
    case 'C': return Key(PC_OUT_EQ_GAIN, 0, 0);
    default: return Key(PC_OUT_EQ_GAIN, 0, 1);
    }
}

TEST(DeviceThread, NewerSendReplacesTheWaitingOneAndGoesLast) {
    const QueueCase cases[] = {
        {"distinct keys keep their order", {"A1", "B1", "C1", "D1"}, {"A1", "B1", "C1", "D1"}},
        {"a drag ends on its last value", {"A1", "A2", "A3", "A4"}, {"A4"}},
        {"replaced send moves behind what was asked before it", {"A1", "B1", "A2"}, {"B1", "A2"}},
        {"two drags interleaved", {"A1", "B1", "A2", "B2", "A3"}, {"B2", "A3"}},
        {"other slot is another setting", {"C1", "D1", "C2"}, {"D1", "C2"}},
        {"never across a task", {"A1", "T", "A2", "A3"}, {"A1", "T", "A3"}},
        {"tasks are never replaced", {"T", "T", "A1"}, {"T", "T", "A1"}},
    };
    for (const QueueCase& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        CDSDATA model;
        {
            DeviceThread thread;
            Gate gate(thread);
            for (const std::string& q : c.queued) {
                if (q == "T")
                    thread.QueueTask(model, journal.Entry(q));
                else
                    thread.QueueSend(KeyOf(q[0]), model, journal.Entry(q));
            }
            EXPECT_EQ(thread.Pending(), 1 + static_cast<int>(c.ran.size()));
            gate.Release();
            ASSERT_TRUE(thread.WaitIdle(5s));
            EXPECT_EQ(thread.Pending(), 0);
        }
        EXPECT_EQ(journal.ran, c.ran);
    }
}

TEST(DeviceThread, KeysTellSettingsApart) {
    CDSDATA m;
    m.cur_chan = 2;
    m.cur_slot = 1;
    m.cur_eq = 5;
    m.xo_side = 1;
    auto with = [&](auto change, int code) {
        CDSDATA other(m);
        change(other);
        return ParamKey(other, code);
    };
    // What the message addresses changes the key ...
    EXPECT_NE(ParamKey(m, PC_OUT_EQ_GAIN), with([](CDSDATA& o) { o.cur_slot = 2; }, PC_OUT_EQ_GAIN));
    EXPECT_NE(ParamKey(m, PC_OUT_EQ_GAIN), with([](CDSDATA& o) { o.cur_eq = 6; }, PC_OUT_EQ_GAIN));
    EXPECT_NE(ParamKey(m, PC_XO_HP_FREQ), with([](CDSDATA& o) { o.xo_side = 0; }, PC_XO_HP_FREQ));
    EXPECT_NE(ParamKey(m, PC_OUT_GAIN), with([](CDSDATA& o) { o.cur_chan = 3; }, PC_OUT_GAIN));
    EXPECT_NE(ParamKey(m, PC_OUT_GAIN), with([](CDSDATA& o) { o.link_on = 1; }, PC_OUT_GAIN));
    EXPECT_NE(ParamKey(m, PC_OUT_GAIN), ParamKey(m, PC_OUT_LIMIT));
    EXPECT_NE(SourceKey(m, 2), SourceKey(m, 3));
    // ... the values and cursors it does not use leave it alone.
    EXPECT_EQ(ParamKey(m, PC_OUT_GAIN), with(
                                            [](CDSDATA& o) {
                                                o.out_gain[2] = 40;
                                                o.cur_slot = 7;
                                            },
                                            PC_OUT_GAIN));
    EXPECT_EQ(ParamKey(m, PC_INA_DELAY), with([](CDSDATA& o) { o.cur_chan = 0; }, PC_INA_DELAY));
    EXPECT_EQ(ParamKey(m, PC_OUT_MUTE), with([](CDSDATA& o) { o.xo_side = 0; }, PC_OUT_MUTE));
}

// One edit as a window makes it: change the model, then send one code.
struct Edit {
    std::function<void(CDSDATA&)> change;
    int code;
};

// The events each edit records when sent at once, one by one.
std::vector<std::vector<kvtest::WireEvent>> OneByOne(CDSDATA model, const std::vector<Edit>& edits) {
    kvtest::WireRecorder rec;
    std::vector<std::vector<kvtest::WireEvent>> slices;
    for (const Edit& e : edits) {
        e.change(model);
        rec.Clear();
        model.SendParam(e.code);
        slices.push_back(rec.events);
    }
    return slices;
}

TEST(DeviceThread, QueuedEditsRecordTheOneByOneMessagesAndPausesMinusReplacedOnes) {
    CDSDATA model;
    model.figuration = 1;  // 2 Channel 3 Way: Out 1 with Out 2
    model.link_on = 1;
    model.InitData();
    // An In A filter in slot 0 of pool row 0, and an Out 1 filter in row 1.
    model.eq_owner[0] = CHAN_IN_A;
    model.ina_eq_slot[0] = 0;
    model.eq_owner[1] = 0;
    model.out_eq_slot[0][0] = 1;
    auto gain = [](int v) {
        return [v](CDSDATA& m) {
            m.cur_chan = 0;
            m.out_gain[0] = m.out_gain[1] = v;
        };
    };
    auto in_eq = [](int v) {
        return [v](CDSDATA& m) {
            m.cur_chan = CHAN_IN_A;
            m.cur_slot = 0;
            m.cur_eq = 0;
            m.eq_gain[0] = v;
        };
    };
    auto out_eq = [](int v) {
        return [v](CDSDATA& m) {
            m.cur_chan = 0;
            m.cur_slot = 0;
            m.cur_eq = 1;
            m.eq_gain[1] = v;
        };
    };
    auto mute = [](int v) {
        return [v](CDSDATA& m) {
            m.cur_chan = 1;
            m.out_mute[1] = v;
        };
    };
    const std::vector<Edit> edits = {
        {gain(1), PC_OUT_GAIN}, {gain(2), PC_OUT_GAIN},       {in_eq(31), PC_IN_EQ_GAIN}, {gain(3), PC_OUT_GAIN},
        {mute(1), PC_OUT_MUTE}, {out_eq(33), PC_OUT_EQ_GAIN}, {gain(4), PC_OUT_GAIN},     {out_eq(35), PC_OUT_EQ_GAIN},
    };
    // Replaced while waiting: gains 1 to 3 and the first Out 1 EQ gain.
    const std::vector<bool> goes_out = {false, false, true, false, true, false, true, true};

    const auto slices = OneByOne(model, edits);
    std::vector<kvtest::WireEvent> expected;
    for (std::size_t i = 0; i < edits.size(); ++i)
        if (goes_out[i]) expected.insert(expected.end(), slices[i].begin(), slices[i].end());

    kvtest::WireRecorder rec;  // installed before the thread runs anything
    {
        DeviceThread thread;
        Gate gate(thread);
        for (const Edit& e : edits) {
            e.change(model);  // the window's model changes at once
            thread.QueueSend(ParamKey(model, e.code), model,
                             [code = e.code](CDSDATA& m) { return SendParamChecked(m, code); });
        }
        gate.Release();
        ASSERT_TRUE(thread.WaitIdle(5s));
    }
    EXPECT_EQ(rec.events, expected) << "got:\n" << rec.Describe() << "want:\n" << kvtest::Describe(expected);
}

TEST(DeviceThread, ResultsComeBackPerJob) {
    std::mutex mutex;
    std::vector<std::pair<bool, int>> results;  // (a send, its result)
    CDSDATA model;
    {
        DeviceThread thread({[&](Ticket, const std::optional<SendKey>& key, int result) {
                                 std::lock_guard lock(mutex);
                                 results.emplace_back(key.has_value(), result);
                             },
                             {}});
        thread.QueueSend(Key(PC_OUT_GAIN, 0), model, [](CDSDATA&) { return 0; });
        thread.QueueTask(model, [](CDSDATA&) { return 1; });
        thread.QueueSend(Key(PC_OUT_GAIN, 1), model, [](CDSDATA&) { return 1; });
        ASSERT_TRUE(thread.WaitIdle(5s));
    }
    EXPECT_EQ(results, (std::vector<std::pair<bool, int>>{{true, 0}, {false, 1}, {true, 1}}));
}

TEST(DeviceThread, SendReportsAFailedLink) {
    kvtest::WireRecorder rec;
    CDSDATA model;
    EXPECT_EQ(SendParamChecked(model, PC_OUT_GAIN), 1);
    // The port is gone: nothing reaches the unit from then on.
    rec.up = false;
    EXPECT_EQ(SendParamChecked(model, PC_OUT_GAIN), 0);
    EXPECT_EQ(SendSourceChecked(model, 2), 0);
    EXPECT_EQ(rec.Messages().size(), 1u);
}

TEST(DeviceThread, EndingRunsEverythingStillQueued) {
    Journal journal;
    CDSDATA model;
    {
        DeviceThread thread;
        Gate gate(thread);
        for (int chan = 0; chan < 6; ++chan)
            thread.QueueSend(Key(PC_OUT_MUTE, chan), model, journal.Entry(std::to_string(chan)));
        gate.Release();
    }  // no wait: the destructor itself lets the queue run out
    EXPECT_EQ(journal.ran, (std::vector<std::string>{"0", "1", "2", "3", "4", "5"}));
}

}  // namespace
}  // namespace device
