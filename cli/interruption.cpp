#include "interruption.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <mutex>
#include <thread>
#include <vector>

#include "failure.h"
#include "kvfiles/atomic_file.h"
#include "progress.h"

namespace kvctl {

namespace {

// Guards everything below. The interruption takes it and never gives it
// back: the process ends while it holds it.
std::recursive_mutex g_mutex;
std::vector<kvfiles::AtomicFile*> g_files;
std::vector<Progress*> g_progress;
std::function<std::string()> g_state;

void Interrupted() {
    g_mutex.lock();
    for (Progress* p : g_progress) p->Abandon();
    for (kvfiles::AtomicFile* f : g_files) f->Abandon();
    const std::string text = "kvctl: interrupted: " + (g_state ? g_state() : "nothing was sent to the unit") + "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
    ::_exit(kExitLine);
}

template <typename T>
void Remove(std::vector<T*>& list, T* item) {
    std::erase(list, item);
}

}  // namespace

void WatchInterruptions() {
    static std::once_flag once;
    std::call_once(once, [] {
        sigset_t set;
        sigemptyset(&set);
        struct sigaction before {};
        ::sigaction(SIGINT, nullptr, &before);
        if (before.sa_handler != SIG_IGN) sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
        std::thread([set] {
            for (;;) {
                int signal = 0;
                if (::sigwait(&set, &signal) == 0) Interrupted();
            }
        }).detach();
    });
}

void SayOnInterrupt(std::string state) {
    SayOnInterrupt(std::function<std::string()>([state = std::move(state)] { return state; }));
}

void SayOnInterrupt(std::function<std::string()> state) {
    std::lock_guard lock(g_mutex);
    g_state = std::move(state);
}

InterruptionScope::InterruptionScope(kvfiles::AtomicFile& file) : file_(&file) {
    std::lock_guard lock(g_mutex);
    g_files.push_back(file_);
}

InterruptionScope::InterruptionScope(Progress& progress) : progress_(&progress) {
    std::lock_guard lock(g_mutex);
    g_progress.push_back(progress_);
}

InterruptionScope::~InterruptionScope() {
    std::lock_guard lock(g_mutex);
    if (file_ != nullptr) Remove(g_files, file_);
    if (progress_ != nullptr) Remove(g_progress, progress_);
}

NoInterruption::NoInterruption() { g_mutex.lock(); }

NoInterruption::~NoInterruption() { g_mutex.unlock(); }

}  // namespace kvctl
