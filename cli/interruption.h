// Ctrl+C (SIGINT) and SIGTERM while a command works. The signals are
// blocked in every thread and taken by a thread of their own, so what an
// interruption does need not be safe in a signal handler: the file being
// written is removed (its temporary file, never the target), the progress
// line is cleared, "kvctl: interrupted: <what the unit holds>" is printed
// and kvctl exits with the code of a failure on the line (1). A SIGINT the
// caller ignores (a job in the background of a script) stays ignored.
#pragma once

#include <functional>
#include <string>

namespace kvfiles {
class AtomicFile;
}

namespace kvctl {

class Progress;

// From now on the signals end the run as above. Call it before any other
// thread starts (the threads started later inherit the blocked signals);
// calling it again does nothing.
void WatchInterruptions();

// What an interruption now leaves behind, said after "interrupted: "
// ("nothing was sent to the unit"). A function is asked only when the
// interruption comes, on the interruption's thread.
void SayOnInterrupt(std::string state);
void SayOnInterrupt(std::function<std::string()> state);

// While one of these lives, an interruption waits for nothing of its own
// and clears or removes what it names.
class InterruptionScope {
public:
    // The file being written: its temporary file goes with an interruption.
    explicit InterruptionScope(kvfiles::AtomicFile& file);
    // The progress shown: its line is cleared first.
    explicit InterruptionScope(Progress& progress);
    ~InterruptionScope();
    InterruptionScope(const InterruptionScope&) = delete;
    InterruptionScope& operator=(const InterruptionScope&) = delete;

private:
    kvfiles::AtomicFile* file_ = nullptr;
    Progress* progress_ = nullptr;
};

// Holds an interruption off while it lives (a file being put in place is
// put there whole, or not at all).
class NoInterruption {
public:
    NoInterruption();
    ~NoInterruption();
    NoInterruption(const NoInterruption&) = delete;
    NoInterruption& operator=(const NoInterruption&) = delete;
};

}  // namespace kvctl
