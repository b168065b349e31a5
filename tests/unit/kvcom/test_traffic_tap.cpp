// The traffic tap: what it sees of a recorded operation, how it frames what
// arrives, and that it can be set and cleared while the link's threads run.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "hex.h"
#include "memory_table.h"
#include "reception.h"
#include "traffic_tap.h"
#include "transport.h"
#include "wire_recorder.h"

namespace {

using kvtest::Bytes;
using kvtest::Hex;

struct Seen {
    int direction;
    std::string hex;
    long long time_us;
};

void Collect(int direction, const unsigned char* bytes, int len, long long time_us, void* context) {
    static_cast<std::vector<Seen>*>(context)->push_back({direction, kvtest::ToHex(Bytes(bytes, bytes + len)), time_us});
}

// Sets the tap for one test and always takes it away again.
class TapScope {
public:
    explicit TapScope(std::vector<Seen>* seen) { SetTrafficTap(Collect, seen); }
    ~TapScope() { SetTrafficTap(nullptr, nullptr); }
};

constexpr int S = TRAFFIC_SENT;
constexpr int R = TRAFFIC_RECEIVED;

TEST(TrafficTap, SeesEveryMessageOfAFetchInOrderWhateverTheChunks) {
    kvcom::ClearAllMemoryEntries();
    kvcom::rev_mode.store(kvcom::REV_IDLE);
    kvcom::rev_busy.store(0);
    CDSDATA unit;
    unit.mem_num = 0;
    Bytes image(KV_IMAGE_MAX);
    image.resize(static_cast<std::size_t>(unit.SaveData(image.data())));
    const Bytes identity = Hex("F0 00 20 18 00 06 02 03 00 06 F7");

    kvtest::WireRecorder rec;
    std::mt19937 rng(5);
    auto reply = [&](const Bytes& r) {
        for (std::size_t pos = 0; pos < r.size();) {
            const std::size_t n = std::min<std::size_t>(r.size() - pos, 1 + rng() % 40);
            kvcom::HandleChunk(r.data() + pos, n);
            pos += n;
        }
    };
    rec.on_write = [&](const Bytes& m) {
        if (m[5] == 0x06) reply(identity);
        if (m[5] == 0x02) reply(image);
    };
    std::vector<Seen> seen;
    TapScope tap(&seen);
    CDSDATA model;
    ASSERT_EQ(model.RecallToPC(), 1);

    ASSERT_EQ(seen.size(), 4u);
    const std::vector<std::pair<int, std::string>> expected = {{S, "F0 00 20 18 00 06 01 F7"},
                                                               {R, kvtest::ToHex(identity)},
                                                               {S, "F0 00 20 18 00 02 00 F7"},
                                                               {R, kvtest::ToHex(image)}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(seen[i].direction, expected[i].first) << i;
        EXPECT_EQ(seen[i].hex, expected[i].second) << i;
        if (i > 0) {
            EXPECT_GE(seen[i].time_us, seen[i - 1].time_us) << i;
        }
    }
}

TEST(TrafficTap, SeesTheLinkRepeatAsItsOwnMessage) {
    kvtest::WireRecorder rec;
    std::vector<Seen> seen;
    TapScope tap(&seen);
    CDSDATA model;
    model.figuration = 1;
    model.link_on = 1;
    model.cur_chan = 2;
    model.out_polarity[2] = 1;
    ASSERT_EQ(model.SendParam(PC_OUT_POLARITY), 1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].hex, "F0 00 20 18 00 2D 62 66 00 01 F7");
    EXPECT_EQ(seen[1].hex, "F0 00 20 18 00 2D 63 66 00 01 F7");
    // The line itself is untouched: still inverted, still the same pauses.
    EXPECT_EQ(rec.events,
              (std::vector<kvtest::WireEvent>{kvtest::Msg("F0 00 20 18 00 2D 62 66 00 01 F7"), kvtest::SleepMs(10),
                                              kvtest::Msg("F0 00 20 18 00 2D 63 66 00 01 F7"), kvtest::SpinUs(30000)}));
}

TEST(TrafficTap, FramesWhatArrivesAsTheLineFramesIt) {
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<std::string> records;
    };
    const std::vector<Case> cases = {
        {"split over two reads", {"F0 00 20 18 00", "06 02 03 00 06 F7"}, {"F0 00 20 18 00 06 02 03 00 06 F7"}},
        {"two in one read", {"F0 01 F7 F0 02 F7"}, {"F0 01 F7", "F0 02 F7"}},
        {"program change", {"C0", "04 F0 05 F7"}, {"C0 04", "F0 05 F7"}},
        {"stray bytes before a message", {"12 34 F0 05 F7"}, {"12 34", "F0 05 F7"}},
        {"stray bytes at the end of a read", {"F0 05 F7 55 66"}, {"F0 05 F7", "55 66"}},
        {"cut short by a new message", {"F0 01 02", "F0 03 F7"}, {"F0 01 02", "F0 03 F7"}},
        {"cut short by a status byte", {"F0 01 02 90 7F"}, {"F0 01 02", "90 7F"}},
        {"incomplete at the end stays back", {"F0 01 02"}, {}},
    };
    for (const Case& c : cases) {
        kvcom::MessageFramer framer;
        std::vector<std::string> got;
        for (const std::string& chunk : c.chunks) {
            const Bytes b = Hex(chunk);
            framer.Feed(
                b.data(), b.size(),
                [](const std::uint8_t* m, std::size_t n, void* out) {
                    static_cast<std::vector<std::string>*>(out)->push_back(kvtest::ToHex(Bytes(m, m + n)));
                },
                &got);
        }
        EXPECT_EQ(got, c.records) << c.name;
    }
}

TEST(TrafficTap, AnOverlongMessageComesAsFarAsTheBufferAndTheRestIsSkipped) {
    kvcom::MessageFramer framer;
    Bytes line = {0xF0};
    line.insert(line.end(), kvcom::MessageFramer::kMaxMessage + 10, 0x01);
    for (std::uint8_t b : Hex("F7 F0 09 F7")) line.push_back(b);
    std::vector<std::size_t> sizes;
    framer.Feed(
        line.data(), line.size(),
        [](const std::uint8_t*, std::size_t n, void* out) {
            static_cast<std::vector<std::size_t>*>(out)->push_back(n);
        },
        &sizes);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{kvcom::MessageFramer::kMaxMessage - 1, 3}));
}

// A tap whose context dies as soon as it is cleared: a call after that
// reads a dead context.
struct Watch {
    std::atomic<int> alive{1};
    std::atomic<int> calls{0};
    std::atomic<int>* late;
};

void Watched(int, const unsigned char*, int, long long, void* context) {
    auto* w = static_cast<Watch*>(context);
    if (w->alive.load() == 0) w->late->fetch_add(1);
    w->calls.fetch_add(1);
}

class CountingLine final : public kvcom::Transport {
public:
    bool Write(const std::uint8_t*, std::size_t) override { return true; }
};

TEST(TrafficTap, SettingAndClearingWhileWriterAndReaderRunIsSafe) {
    kvcom::rev_mode.store(kvcom::REV_IDLE);
    CountingLine line;
    kvcom::SetTransportOverride(&line);
    std::atomic<bool> stop{false};
    std::atomic<int> late{0};
    const Bytes reply = Hex("F0 00 20 18 00 06 02 03 00 06 F7");
    std::thread reader([&] {
        while (!stop.load()) {
            kvcom::HandleChunk(reply.data(), 6);
            kvcom::HandleChunk(reply.data() + 6, reply.size() - 6);
        }
    });
    std::thread writer([&] {
        const Bytes request = Hex("F0 00 20 18 00 06 01 F7");
        while (!stop.load()) WriteCommBlock(request.data(), static_cast<unsigned>(request.size()));
    });
    int calls = 0;
    for (int round = 0; round < 50; ++round) {
        auto* w = new Watch;
        w->late = &late;
        SetTrafficTap(Watched, w);
        for (int i = 0; i < 1000 && w->calls.load() == 0; ++i) std::this_thread::yield();
        SetTrafficTap(nullptr, nullptr);
        w->alive.store(0);  // from here on a call would be too late
        std::this_thread::yield();
        calls += w->calls.load();
        delete w;
    }
    stop.store(true);
    reader.join();
    writer.join();
    kvcom::SetTransportOverride(nullptr);
    EXPECT_EQ(late.load(), 0);
    EXPECT_GT(calls, 0);
}

}  // namespace
