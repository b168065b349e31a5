#include "progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace kvctl {

namespace {

constexpr auto kQuietStart = std::chrono::milliseconds(500);
constexpr auto kRedraw = std::chrono::milliseconds(100);
constexpr int kBarWidth = 24;

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, s < 10 ? "%.1f s" : "%.0f s", s);
    return text;
}

}  // namespace

Progress::Progress(bool quiet, std::string label, double estimate_s)
    : enabled_(!quiet), terminal_(::isatty(STDERR_FILENO) == 1), label_(std::move(label)), estimate_s_(estimate_s) {
    if (enabled_) ticker_ = std::thread([this] { Run(); });
}

Progress::~Progress() { Finish(); }

void Progress::Step(int done, int total, const std::string& what) {
    std::lock_guard lock(mutex_);
    const bool changed = what != what_;
    done_ = done;
    total_ = total;
    what_ = what;
    // Plain output gets a line per step once the operation has shown itself.
    if (enabled_ && shown_ && !terminal_ && changed) DrawLocked(false);
}

void Progress::Finish() {
    {
        std::lock_guard lock(mutex_);
        if (stop_) return;
        stop_ = true;
    }
    wake_.notify_all();
    if (ticker_.joinable()) ticker_.join();
    std::lock_guard lock(mutex_);
    if (shown_) DrawLocked(true);
}

void Progress::Run() {
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, kQuietStart, [this] { return stop_; })) return;
    shown_ = true;
    DrawLocked(false);
    while (!wake_.wait_for(lock, kRedraw, [this] { return stop_; }))
        if (terminal_) DrawLocked(false);
}

void Progress::DrawLocked(bool final_line) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    if (!terminal_) {
        if (final_line)
            std::fprintf(stderr, "%s: done in %s\n", label_.c_str(), Seconds(elapsed).c_str());
        else if (!what_.empty())
            std::fprintf(stderr, "%s: %s\n", label_.c_str(), what_.c_str());
        else
            std::fprintf(stderr, "%s ...\n", label_.c_str());
        std::fflush(stderr);
        return;
    }
    if (final_line) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        return;
    }
    // Share done: the steps when the operation tells them, else time against
    // the estimate (never shown complete before it is).
    double share = 0;
    double estimate = estimate_s_;
    if (total_ > 0) {
        share = static_cast<double>(done_) / total_;
        if (done_ > 0) estimate = std::max(estimate, elapsed / share);
    } else if (estimate_s_ > 0) {
        share = std::min(elapsed / estimate_s_, 0.99);
    }
    std::string bar(kBarWidth, '.');
    if (total_ > 0 || estimate_s_ > 0) {
        std::fill_n(bar.begin(), static_cast<int>(share * kBarWidth), '#');
    } else {
        bar[static_cast<int>(elapsed * 8) % kBarWidth] = '#';  // unknown length: a moving mark
    }
    std::string times = Seconds(elapsed);
    if (estimate > 0) times += " of about " + Seconds(std::max(estimate, elapsed));
    std::fprintf(stderr, "\r\033[K%s [%s] %s%s%s", label_.c_str(), bar.c_str(), times.c_str(),
                 what_.empty() ? "" : "  ", what_.c_str());
    std::fflush(stderr);
}

}  // namespace kvctl
