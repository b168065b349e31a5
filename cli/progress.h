// Progress of a long operation on standard error. On a terminal a bar with
// elapsed time and estimate, redrawn while the library blocks the calling
// thread; otherwise plain lines. Nothing for the first half second, so quick
// operations stay silent; nothing at all when quiet.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kvctl {

class Progress {
public:
    // `estimate_s` is how long the operation usually takes (0: unknown).
    Progress(bool quiet, std::string label, double estimate_s);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Where the operation stands: step `done` of `total`, and in words.
    void Step(int done, int total, const std::string& what);
    // Ends the display; a plain line says how long it took once one was shown.
    void Finish();

private:
    void Run();
    void DrawLocked(bool final_line);

    using Clock = std::chrono::steady_clock;
    const bool enabled_;
    const bool terminal_;
    const std::string label_;
    const double estimate_s_;
    const Clock::time_point start_ = Clock::now();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool shown_ = false;
    int done_ = 0, total_ = 0;
    std::string what_;
    std::thread ticker_;
};

}  // namespace kvctl
