#include "kvdevice/device_thread.h"

#include <algorithm>

namespace device {

DeviceThread::DeviceThread(Callbacks callbacks) : callbacks_(std::move(callbacks)) {
    thread_ = std::thread([this] { Run(); });
}

DeviceThread::~DeviceThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

Ticket DeviceThread::QueueSend(const SendKey& key, const CDSDATA& model, Work work) {
    auto snapshot = std::make_unique<CDSDATA>(model);
    CDSDATA* target = snapshot.get();
    return Enqueue(Job{0, key, std::move(snapshot), target, std::move(work)});
}

Ticket DeviceThread::QueueTask(CDSDATA& model, Work work) {
    return Enqueue(Job{0, std::nullopt, nullptr, &model, std::move(work)});
}

Ticket DeviceThread::Enqueue(Job job) {
    Ticket ticket = 0;
    {
        std::lock_guard lock(mutex_);
        if (job.key) {
            // Only sends after the last queued task may be dropped: the task
            // must see every edit made before it.
            auto after_task = std::find_if(queue_.rbegin(), queue_.rend(), [](const Job& j) { return !j.key; }).base();
            queue_.erase(std::remove_if(after_task, queue_.end(), [&](const Job& j) { return j.key == job.key; }),
                         queue_.end());
        }
        ticket = job.ticket = ++last_ticket_;
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
    // A dropped send has ended as far as anyone waiting is concerned.
    finished_.notify_all();
    NotifyPending();
    return ticket;
}

void DeviceThread::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing left to send
        Job job = std::move(queue_.front());
        queue_.pop_front();
        running_ = job.ticket;
        lock.unlock();

        NotifyPending();
        const int result = job.work ? job.work(*job.model) : 1;
        if (callbacks_.finished) callbacks_.finished(job.ticket, job.key, result);
        job = {};  // the snapshot goes before the job counts as finished

        lock.lock();
        running_ = 0;
        finished_.notify_all();
        lock.unlock();
        NotifyPending();
        lock.lock();
    }
}

int DeviceThread::Pending() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(queue_.size()) + (running_ != 0 ? 1 : 0);
}

// Jobs run in ticket order, so everything before the oldest job still queued
// or running has finished.
bool DeviceThread::FinishedLocked(Ticket ticket) const {
    if (running_ != 0 && running_ <= ticket) return false;
    return queue_.empty() || queue_.front().ticket > ticket;
}

bool DeviceThread::Finished(Ticket ticket) const {
    std::lock_guard lock(mutex_);
    return FinishedLocked(ticket);
}

bool DeviceThread::WaitFor(Ticket ticket, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return finished_.wait_for(lock, timeout, [&] { return FinishedLocked(ticket); });
}

Ticket DeviceThread::LastQueued() const {
    std::lock_guard lock(mutex_);
    return last_ticket_;
}

bool DeviceThread::WaitIdle(std::chrono::milliseconds timeout) { return WaitFor(LastQueued(), timeout); }

void DeviceThread::NotifyPending() {
    if (callbacks_.pending_changed) callbacks_.pending_changed();
}

}  // namespace device
