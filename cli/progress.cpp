#include "progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "interruption.h"

namespace kvctl {

namespace {

constexpr auto kQuietStart = std::chrono::milliseconds(500);
constexpr auto kRedraw = std::chrono::milliseconds(100);
constexpr int kBarWidth = 24;
// A running operation is never shown complete before it is.
constexpr double kShareRunning = 0.99;

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, s < 10 ? "%.1f s" : "%.0f s", s);
    return text;
}

}  // namespace

void Meter::Step(double at_s, double done_s, double step_s) {
    done_ = std::max(done_s, 0.0);
    step_ = std::max(step_s, 0.0);
    step_at_ = at_s;
    plan_ = plan_ > 0 ? std::max(plan_, done_) : plan_;
}

void Meter::Replan(double plan_s) { plan_ = plan_s > 0 ? std::max(plan_s, done_) : plan_s; }

Meter::Reading Meter::At(double at_s) {
    if (plan_ <= 0) return {-1, 0};
    const double position = std::min(done_ + std::clamp(at_s - step_at_, 0.0, step_), plan_);
    share_ = std::max(share_, std::min(position / plan_, kShareRunning));
    // What is left of the plan, from now: late steps push the end out, and
    // the end moves in when less is left than was thought.
    return {share_, std::max(at_s, at_s + plan_ - position)};
}

Progress::Progress(bool quiet, std::string label, double plan_s)
    : enabled_(!quiet), terminal_(::isatty(STDERR_FILENO) == 1), label_(std::move(label)), meter_(plan_s) {
    meter_.Step(0, 0, plan_s);
    if (!enabled_) return;
    WatchInterruptions();  // before the drawing thread, which inherits the blocked signals
    ticker_ = std::thread([this] { Run(); });
    scope_ = std::make_unique<InterruptionScope>(*this);
}

Progress::~Progress() { Stop(); }

double Progress::Elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

void Progress::Step(double done_s, double step_s, const std::string& what) {
    std::lock_guard lock(mutex_);
    const bool changed = what != what_;
    meter_.Step(Elapsed(), done_s, step_s);
    what_ = what;
    // Plain output gets a line per step once the operation has shown itself.
    if (enabled_ && shown_ && !terminal_ && changed && !stop_) DrawLocked();
}

void Progress::Replan(double plan_s) {
    std::lock_guard lock(mutex_);
    meter_.Replan(plan_s);
}

void Progress::Follow(std::function<Reading()> source) {
    std::lock_guard lock(mutex_);
    source_ = std::move(source);
}

void Progress::Done() {
    Stop();
    std::lock_guard lock(mutex_);
    if (shown_ && !ended_ && !terminal_) {
        std::fprintf(stderr, "%s: done in %s\n", label_.c_str(), Seconds(Elapsed()).c_str());
        std::fflush(stderr);
    }
}

void Progress::Abandon() {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    ended_ = true;
    stop_ = true;
    if (shown_ && terminal_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
    wake_.notify_all();
}

void Progress::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (ticker_.joinable()) ticker_.join();
    std::lock_guard lock(mutex_);
    if (shown_ && terminal_ && !ended_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        ended_ = true;
    }
}

void Progress::Run() {
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, kQuietStart, [this] { return stop_; })) return;
    shown_ = true;
    bool first = true;
    do {
        if (source_) {
            // Read without the lock: the source may take its time.
            const auto source = source_;
            lock.unlock();
            const Reading r = source();
            lock.lock();
            if (stop_) break;
            meter_.Replan(r.plan_s);
            if (r.done_s != source_done_) {
                source_done_ = r.done_s;
                meter_.Step(Elapsed(), r.done_s, r.step_s);
            }
            // No plain line per step here: a list would print one per memory.
            what_ = r.what;
        }
        if (terminal_ || first) DrawLocked();
        first = false;
    } while (!wake_.wait_for(lock, kRedraw, [this] { return stop_; }));
}

void Progress::DrawLocked() {
    if (ended_) return;
    const double elapsed = Elapsed();
    if (!terminal_) {
        if (!what_.empty())
            std::fprintf(stderr, "%s: %s\n", label_.c_str(), what_.c_str());
        else
            std::fprintf(stderr, "%s ...\n", label_.c_str());
        std::fflush(stderr);
        return;
    }
    const Meter::Reading r = meter_.At(elapsed);
    std::string bar(kBarWidth, '.');
    if (r.share >= 0) {
        std::fill_n(bar.begin(), static_cast<int>(r.share * kBarWidth), '#');
    } else {
        bar[static_cast<int>(elapsed * 8) % kBarWidth] = '#';  // unknown length: a moving mark
    }
    std::string times = Seconds(elapsed);
    if (r.total_s > 0) times += " of about " + Seconds(r.total_s);
    std::fprintf(stderr, "\r\033[K%s [%s] %s%s%s", label_.c_str(), bar.c_str(), times.c_str(),
                 what_.empty() ? "" : "  ", what_.c_str());
    std::fflush(stderr);
}

}  // namespace kvctl
