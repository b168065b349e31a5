// Tokens, Host and Origin, and the OSC address space.
#include <gtest/gtest.h>
#include <kvcom/kvcom.h>

#include <set>

#include "kvremote/access.h"
#include "kvremote/osc_codec.h"
#include "kvremote/osc_map.h"

namespace {

using kvremote::Access;

TEST(RemoteAccess, Tokens) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string t = kvremote::NewToken();
        EXPECT_EQ(t.size(), 32u);  // 128 bits
        EXPECT_EQ(t.find_first_not_of("0123456789abcdef"), std::string::npos);
        seen.insert(t);
    }
    EXPECT_EQ(seen.size(), 50u);

    const struct {
        const char* a;
        const char* b;
        bool same;
    } compare[] = {{"abc", "abc", true}, {"abc", "abd", false}, {"abc", "ab", false}, {"", "", true}, {"a", "", false}};
    for (const auto& c : compare) EXPECT_EQ(kvremote::SameToken(c.a, c.b), c.same) << c.a << " " << c.b;

    kvremote::AccessPolicy policy;
    EXPECT_EQ(kvremote::AccessOf(policy, "", "", ""), Access::kFull) << "no token needed";
    policy.token = "full-token-0123456789";
    policy.read_only_token = "read-token-0123456789";
    const struct {
        const char* authorization;
        const char* cookie;
        const char* query;
        Access access;
    } cases[] = {
        {"Bearer full-token-0123456789", "", "", Access::kFull},
        {"bearer  full-token-0123456789 ", "", "", Access::kFull},
        {"Bearer read-token-0123456789", "", "", Access::kRead},
        {"Basic full-token-0123456789", "", "", Access::kNone},
        {"", "a=b; kv_token=read-token-0123456789", "", Access::kRead},
        {"", "kv_token=wrong", "", Access::kNone},
        {"", "", "full-token-0123456789", Access::kFull},
        {"", "", "", Access::kNone},
        {"Bearer full-token-012345678", "", "", Access::kNone},  // a prefix is no token
    };
    for (const auto& c : cases)
        EXPECT_EQ(kvremote::AccessOf(policy, c.authorization, c.cookie, c.query), c.access)
            << c.authorization << "|" << c.cookie << "|" << c.query;
}

TEST(RemoteAccess, HostAndOrigin) {
    kvremote::AccessPolicy policy;
    policy.host_names = {"rackpc.local"};
    const struct {
        const char* host;
        bool allowed;
    } hosts[] = {{"127.0.0.1:8758", true}, {"localhost:8758", true}, {"[::1]:8758", true}, {"192.168.1.20", true},
                 {"RackPC.local:8758", true}, {"evil.example:8758", false}, {"127.0.0.1.evil.example", false},
                 {"", false}, {"127.0.0.1:87a", false}, {"[::1", false}};
    for (const auto& h : hosts) EXPECT_EQ(kvremote::HostAllowed(policy, h.host), h.allowed) << h.host;

    const struct {
        const char* origin;
        const char* host;
        bool allowed;
    } origins[] = {{"", "127.0.0.1:8758", true},
                   {"http://127.0.0.1:8758", "127.0.0.1:8758", true},
                   {"http://127.0.0.1:8759", "127.0.0.1:8758", false},
                   {"https://127.0.0.1:8758", "127.0.0.1:8758", false},
                   {"null", "127.0.0.1:8758", false},
                   {"http://evil.example", "127.0.0.1:8758", false}};
    for (const auto& o : origins) EXPECT_EQ(kvremote::OriginAllowed(o.origin, o.host), o.allowed) << o.origin;
}

TEST(RemoteOsc, AddressSpace) {
    using Kind = kvremote::OscCommand::Kind;
    using kvremote::OscArg;
    const struct {
        const char* address;
        std::vector<OscArg> args;
        std::optional<Kind> kind;  // nullopt: refused
        const char* path;          // the setting, for kSet and kQuery
        const char* value;         // its JSON, for kSet
    } cases[] = {
        {"/kv/out/3/gain", {OscArg::Float(-2.4)}, Kind::kSet, "out3.gain", "-2.4"},
        {"/kv/out/3/gain", {OscArg::Int(-2)}, Kind::kSet, "out3.gain", "-2.0"},
        {"/kv/out/3/gain", {}, Kind::kQuery, "out3.gain", ""},
        {"/kv/out/1/mute", {OscArg::Int(1)}, Kind::kSet, "out1.mute", "true"},
        {"/kv/out/1/mute", {{'F', 0, {}}}, Kind::kSet, "out1.mute", "false"},
        {"/kv/out/6/polarity", {OscArg::Int(1)}, Kind::kSet, "out6.polarity", "true"},
        {"/kv/out/2/delay", {OscArg::Float(1.5)}, Kind::kSet, "out2.delay", "1.5"},
        {"/kv/in/a/delay", {OscArg::Float(3)}, Kind::kSet, "ina.delay", "3.0"},
        {"/kv/in/sum/delay", {}, Kind::kQuery, "sum.delay", ""},
        {"/kv/memory/recall", {OscArg::Int(12)}, Kind::kRecall, "", ""},
        {"/kv/mute_all", {}, Kind::kMuteAll, "", ""},
        {"/kv/unmute_all", {}, Kind::kUnmuteAll, "", ""},
        {"/kv/subscribe", {}, Kind::kSubscribe, "", ""},
        {"/kv/out/7/gain", {OscArg::Float(0)}, std::nullopt, "", ""},
        {"/kv/out/3/limit", {OscArg::Float(0)}, std::nullopt, "", ""},
        {"/kv/out/3/gain", {{'s', 0, "loud"}}, std::nullopt, "", ""},
        {"/kv/out/3/gain", {OscArg::Float(1), OscArg::Float(2)}, std::nullopt, "", ""},
        {"/kv/out/3/gain", {OscArg::Float(std::numeric_limits<double>::quiet_NaN())}, std::nullopt, "", ""},
        {"/kv/memory/recall", {OscArg::Int(61)}, std::nullopt, "", ""},
        {"/kv/memory/recall", {OscArg::Float(2.5)}, std::nullopt, "", ""},
        {"/kv/mute_all", {OscArg::Int(1)}, std::nullopt, "", ""},
        {"/other", {}, std::nullopt, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        const auto cmd = kvremote::ParseOsc(c.address, c.args);
        ASSERT_EQ(cmd.ok(), c.kind.has_value()) << (cmd.ok() ? "" : cmd.refusal().Message());
        if (!cmd) {
            EXPECT_EQ(cmd.refusal().place, c.address);
            continue;
        }
        EXPECT_EQ(cmd->kind, *c.kind);
        if (*c.kind == Kind::kSet || *c.kind == Kind::kQuery) {
            EXPECT_EQ(kvprog::PathOf(cmd->ref), c.path);
        }
        if (*c.kind == Kind::kSet) {
            EXPECT_EQ(cmd->value.dump(), c.value);
        }
        if (*c.kind == Kind::kRecall) {
            EXPECT_EQ(cmd->memory, 12);
        }
    }
}

TEST(RemoteOsc, AnswersAtTheSameAddress) {
    CDSDATA m;
    m.out_gain[2] = -12;
    m.out_mute[0] = 0;
    m.out_polarity[5] = 1;
    m.sum_delay = 96;
    const struct {
        const char* path;
        const char* address;
        char type;
        double number;
    } cases[] = {{"out3.gain", "/kv/out/3/gain", 'f', -2.4},
                 {"out1.mute", "/kv/out/1/mute", 'i', 0},
                 {"out6.polarity", "/kv/out/6/polarity", 'i', 1},
                 {"sum.delay", "/kv/in/sum/delay", 'f', 2.0}};
    for (const auto& c : cases) {
        const auto v = kvremote::OscOf(m, *kvprog::ParsePath(c.path));
        ASSERT_TRUE(v) << c.path;
        EXPECT_EQ(v->address, c.address);
        EXPECT_EQ(v->arg.type, c.type);
        EXPECT_NEAR(v->arg.number, c.number, 1e-9) << c.path;
        // The answer, sent back as a command, sets the same value.
        const auto again = kvremote::ParseOsc(v->address, {v->arg});
        ASSERT_TRUE(again.ok()) << c.path;
        EXPECT_EQ(kvprog::PathOf(again->ref), c.path);
    }
    EXPECT_FALSE(kvremote::OscOf(m, *kvprog::ParsePath("out3.limit")));
}

TEST(RemoteOsc, PacketsAndBundles) {
    using kvremote::OscArg;
    const std::string gain = kvremote::EncodeOscMessage("/kv/out/3/gain", {OscArg::Float(-2.5)});
    const std::string mute = kvremote::EncodeOscMessage("/kv/out/1/mute", {OscArg::Int(1)});
    auto bundle = [](const std::vector<std::string>& elements) {
        std::string b("#bundle\0", 8);
        b += std::string(8, '\0');  // time tag
        for (const std::string& e : elements) {
            const std::uint32_t n = static_cast<std::uint32_t>(e.size());
            b += static_cast<char>(n >> 24);
            b += static_cast<char>(n >> 16);
            b += static_cast<char>(n >> 8);
            b += static_cast<char>(n);
            b += e;
        }
        return b;
    };
    std::string nested = bundle({gain});
    for (int i = 0; i < 5; ++i) nested = bundle({nested});
    const struct {
        const char* what;
        std::string packet;
        std::vector<std::string> addresses;
    } cases[] = {
        {"one message", gain, {"/kv/out/3/gain"}},
        {"a bundle of two", bundle({gain, mute}), {"/kv/out/3/gain", "/kv/out/1/mute"}},
        {"cut short", gain.substr(0, gain.size() - 4), {}},
        {"not OSC", "hello", {}},
        {"an element longer than the bundle", bundle({gain}).substr(0, 30), {}},
        {"nested too deep", nested, {}},
        {"empty", "", {}},
    };
    for (const auto& c : cases) {
        const auto messages = kvremote::DecodeOscPacket(c.packet.data(), c.packet.size());
        std::vector<std::string> addresses;
        for (const auto& m : messages) addresses.push_back(m.address);
        EXPECT_EQ(addresses, c.addresses) << c.what;
    }
    // An int, then a double that stands 4-aligned only (as OSC packs them).
    std::string mixed("/ab\0,id\0", 8);
    mixed += std::string("\0\0\0\x07", 4);
    const unsigned char half[8] = {0x3F, 0xE0, 0, 0, 0, 0, 0, 0};  // 0.5, big-endian
    mixed += std::string(reinterpret_cast<const char*>(half), 8);
    const auto both = kvremote::DecodeOscPacket(mixed.data(), mixed.size());
    ASSERT_EQ(both.size(), 1u);
    ASSERT_EQ(both[0].args.size(), 2u);
    EXPECT_EQ(both[0].args[0].number, 7);
    EXPECT_EQ(both[0].args[1].number, 0.5);

    const auto decoded = kvremote::DecodeOscPacket(gain.data(), gain.size());
    ASSERT_EQ(decoded.size(), 1u);
    ASSERT_EQ(decoded[0].args.size(), 1u);
    EXPECT_EQ(decoded[0].args[0].type, 'f');
    EXPECT_EQ(decoded[0].args[0].number, -2.5);
}

}  // namespace
