// The device thread: one long-lived thread that owns every exchange with the
// unit. The window's thread queues jobs and never waits for the line; jobs
// run one at a time, strictly in the order they were queued, so messages
// never interleave.
//
// Each job carries its own copy of the model (a snapshot taken when it was
// queued), so the thread never touches the model the windows edit.
//
// Latest value wins: a parameter send that has not started yet is dropped
// when a newer send with the same key is queued, and the newer one goes to
// the end of the queue. The line then carries a subsequence of what the
// edits would have sent one by one: nothing ever goes out ahead of a
// message asked for earlier, and a drag always ends on its last value. A
// task (a long operation) is a barrier: no send is dropped in favour of one
// queued after the task, so the task sees every edit made before it.
//
// No window system; results come back through the Callbacks, which the
// program forwards to its window's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <kvcom/kvcom.h>

#include "kvdevice/sends.h"

namespace device {

// One exchange with the unit, run on the device thread on the job's model.
// Returns the library's result: 1 done, 0 failed.
using Work = std::function<int(CDSDATA&)>;

using Ticket = std::uint64_t;

class DeviceThread {
public:
    struct Callbacks {
        // After each job, on the device thread: its ticket, its key (none
        // for a task) and the result of its work.
        std::function<void(Ticket, const std::optional<SendKey>&, int result)> finished;
        // Whenever Pending() may have changed, on the thread that changed it.
        std::function<void()> pending_changed;
    };

    explicit DeviceThread(Callbacks callbacks = {});
    // Runs every job still queued (no edit is ever dropped), then ends.
    ~DeviceThread();
    DeviceThread(const DeviceThread&) = delete;
    DeviceThread& operator=(const DeviceThread&) = delete;

    // Queues a parameter send on a copy of model. A queued send with the same
    // key and no task between them is dropped in its favour.
    Ticket QueueSend(const SendKey& key, const CDSDATA& model, Work work);
    // Queues a long operation on `model`, which the caller keeps alive and
    // leaves alone until the task has finished.
    Ticket QueueTask(CDSDATA& model, Work work);

    // The ticket of the job queued last (0 before the first).
    Ticket LastQueued() const;
    // Jobs queued or running.
    int Pending() const;
    // True once the job with this ticket, and every job before it, has ended
    // or was dropped.
    bool Finished(Ticket ticket) const;
    // Blocks the calling thread until Finished(ticket) or the timeout; returns
    // Finished(ticket).
    bool WaitFor(Ticket ticket, std::chrono::milliseconds timeout = std::chrono::hours(1));
    // Blocks until every job queued so far has finished or the timeout.
    bool WaitIdle(std::chrono::milliseconds timeout = std::chrono::hours(1));

private:
    struct Job {
        Ticket ticket;
        std::optional<SendKey> key;         // sends only
        std::unique_ptr<CDSDATA> snapshot;  // sends own their copy
        CDSDATA* model;                     // what the work runs on
        Work work;
    };

    Ticket Enqueue(Job job);
    void Run();
    bool FinishedLocked(Ticket ticket) const;
    void NotifyPending();

    Callbacks callbacks_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;      // the thread: a job or the end
    std::condition_variable finished_;  // waiters: a job ended
    std::deque<Job> queue_;
    Ticket last_ticket_ = 0;
    Ticket running_ = 0;  // ticket of the job running, 0 when none
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace device
