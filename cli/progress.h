// Progress of a long operation on standard error. On a terminal a bar with
// elapsed time and estimate, redrawn while the library blocks the calling
// thread; otherwise plain lines. Nothing for the first half second, so quick
// operations stay silent; nothing at all when quiet. Only an operation that
// succeeded ends with "done"; one that fails or is interrupted ends with its
// failure alone.
//
// The work is measured in seconds of the line: the bytes that go out and
// come back at the line's rate and the protocol's own pauses
// (kvproto/timing.h), known before the operation begins or learnt from what
// arrives. So the bar never goes back and the estimate only moves when the
// unit is slower than the line, or when what is left turns out smaller.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kvctl {

class InterruptionScope;

// Where an operation stands, at a time in seconds since it began.
class Meter {
public:
    // `plan_s`: the seconds the whole operation takes (0: unknown).
    explicit Meter(double plan_s) : plan_(plan_s) {}

    // At `at_s`, `done_s` seconds of the plan are done and a step of
    // `step_s` begins; until the next step the work goes on with time, but
    // never past the step's end.
    void Step(double at_s, double done_s, double step_s);
    // What the whole operation takes, as now known (never below what is done).
    void Replan(double plan_s);

    struct Reading {
        double share = 0;    // of the work done, 0..1; never falls; -1 when the plan is unknown
        double total_s = 0;  // the whole time as now expected; 0 when unknown
    };
    Reading At(double at_s);

private:
    double plan_;
    double done_ = 0, step_ = 0, step_at_ = 0;
    double share_ = 0;
};

class Progress {
public:
    // `plan_s` as for Meter; the first step (of the whole plan) begins now.
    Progress(bool quiet, std::string label, double plan_s);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // As Meter::Step, now, with where the operation stands in words.
    void Step(double done_s, double step_s, const std::string& what);
    void Replan(double plan_s);

    // Progress the operation does not report itself, read every redraw (on
    // the drawing thread): the work done, the step that runs, the plan.
    struct Reading {
        double done_s = 0, step_s = 0, plan_s = 0;
        std::string what;
    };
    void Follow(std::function<Reading()> source);

    // The operation succeeded: a plain line says so and how long it took
    // once one was shown.
    void Done();
    // An interruption: no more drawing, the bar's line cleared.
    void Abandon();

private:
    void Run();
    void Stop();
    void DrawLocked();
    double Elapsed() const;

    using Clock = std::chrono::steady_clock;
    const bool enabled_;
    const bool terminal_;
    const std::string label_;
    const Clock::time_point start_ = Clock::now();

    std::mutex mutex_;
    std::condition_variable wake_;
    Meter meter_;
    bool stop_ = false;
    bool shown_ = false;
    bool ended_ = false;  // nothing more is drawn: the line was cleared, or the run is ending
    std::string what_;
    std::function<Reading()> source_;
    double source_done_ = -1;
    std::thread ticker_;
    std::unique_ptr<InterruptionScope> scope_;  // last: gone first
};

}  // namespace kvctl
