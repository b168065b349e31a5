// Where a long operation stands, in seconds of planned work: the bar never
// goes back, the estimate holds while the work keeps to its plan, and moves
// only when a step runs late or less is left than was thought.
#include <gtest/gtest.h>

#include <vector>

#include "progress.h"

namespace {

// One moment of an operation: what it reports (a step, a new plan), then
// what the meter reads.
struct Moment {
    double at;
    double done = -1, step = 0;  // a step, when done >= 0
    double plan = 0;             // a new plan, when > 0
    double share, total;
};

TEST(Meter, NeverGoesBackAndMovesOnlyForLateStepsOrLessLeft) {
    struct Case {
        const char* what;
        double plan;
        std::vector<Moment> moments;
    };
    const Case cases[] = {
        // A restore of two images: 1.8 s opening, 1 s an image, 1 s the working program.
        {"on plan",
         4.8,
         {{.at = 0, .done = 0, .step = 1.8, .share = 0, .total = 4.8},
          {.at = 0.9, .share = 0.9 / 4.8, .total = 4.8},
          {.at = 1.8, .done = 1.8, .step = 1, .share = 1.8 / 4.8, .total = 4.8},
          {.at = 2.5, .share = 2.5 / 4.8, .total = 4.8},
          {.at = 3.8, .done = 3.8, .step = 1, .share = 3.8 / 4.8, .total = 4.8},
          {.at = 4.8, .share = 0.99, .total = 4.8}}},
        // The first image starts 1 s late: the bar waits at the step's end, the end moves out.
        {"a step runs late",
         4.8,
         {{.at = 0, .done = 0, .step = 1.8, .share = 0, .total = 4.8},
          {.at = 2.3, .share = 1.8 / 4.8, .total = 5.3},
          {.at = 2.8, .done = 1.8, .step = 1, .share = 1.8 / 4.8, .total = 5.8},
          {.at = 3.3, .share = 2.3 / 4.8, .total = 5.8}}},
        // A fetch planned with a whole pool of filters comes early: the bar
        // jumps ahead, the end moves in.
        {"a step ends early",
         3.0,
         {{.at = 0, .done = 0, .step = 1, .share = 0, .total = 3},
          {.at = 0.5, .share = 0.5 / 3, .total = 3},
          {.at = 0.6, .done = 1, .step = 2, .share = 1.0 / 3, .total = 2.6}}},
        // A list learns that the memories below 10 are all that is left.
        {"less is left",
         15.0,
         {{.at = 0, .done = 0, .step = 0.3, .share = 0, .total = 15},
          {.at = 0.3, .done = 0.3, .step = 0.3, .plan = 3.0, .share = 0.1, .total = 3},
          {.at = 0.45, .share = 0.15, .total = 3}}},
        {"unknown length", 0, {{.at = 1, .share = -1, .total = 0}}},
    };
    for (const Case& c : cases) {
        kvctl::Meter meter(c.plan);
        for (const Moment& m : c.moments) {
            if (m.done >= 0) meter.Step(m.at, m.done, m.step);
            if (m.plan > 0) meter.Replan(m.plan);
            const kvctl::Meter::Reading r = meter.At(m.at);
            EXPECT_NEAR(r.share, m.share, 1e-9) << c.what << " at " << m.at;
            EXPECT_NEAR(r.total_s, m.total, 1e-9) << c.what << " at " << m.at;
        }
    }
}

}  // namespace
