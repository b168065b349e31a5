// The two rules that turn a typed number into steps, side by side on the
// same inputs: the windows truncate toward zero and limit to the range;
// settings written as text take the nearest step and refuse what lies out
// of range.
#include <gtest/gtest.h>

#include <optional>

#include "kvvalues/text_conversions.h"
#include "kvvalues/units.h"

namespace {

using kvvalues::units::kDelay;
using kvvalues::units::kEqGain;
using kvvalues::units::kOutGain;
using kvvalues::units::Scale;

struct Case {
    const char* typed;
    const Scale* scale;
    int window_steps;             // what the window's edit stores
    std::optional<int> by_text;   // what kvctl, JSON and the server store; nullopt: refused
};

int WindowRule(const Case& c) {
    if (c.scale == &kOutGain) return kvvalues::LevelStepsFromText(c.typed, kOutGain.lo, kOutGain.hi);
    if (c.scale == &kEqGain) return kvvalues::GainFromText(c.typed);
    return kvvalues::DelayStepsFromText(c.typed);
}

TEST(TypedRules, WindowsTruncateTextTakesTheNearestStep) {
    const Case cases[] = {
        // output gain, 0.2 dB steps
        {"-2.39", &kOutGain, -11, -12},
        {"-2.4", &kOutGain, -12, -12},
        {"3.99", &kOutGain, 19, 20},
        {"15", &kOutGain, 75, 75},
        {"15.1", &kOutGain, 75, std::nullopt},
        {"99", &kOutGain, 75, std::nullopt},
        {"-16", &kOutGain, -75, std::nullopt},
        // EQ gain, 0.5 dB steps around 30 = 0 dB
        {"1.7", &kEqGain, 33, 33},
        {"1.8", &kEqGain, 33, 34},
        {"-15.2", &kEqGain, 0, 0},  // within half a step of the end
        {"-15.3", &kEqGain, 0, std::nullopt},
        // delay, 1/48 ms steps
        {"1.5", &kDelay, 72, 72},
        {"0.03", &kDelay, 1, 1},
        {"700", &kDelay, 30500, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(WindowRule(c), c.window_steps);
        const auto typed = kvvalues::units::SplitTyped(c.typed);
        ASSERT_TRUE(typed);
        EXPECT_EQ(kvvalues::units::StepsOf(*c.scale, typed->number), c.by_text);
    }
}

}  // namespace
