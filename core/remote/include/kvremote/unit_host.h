// The headless host of the remote server: one unit on one port, with the
// program it serves read from the unit. Every exchange with the unit runs on
// the device thread (latest value wins for edits); the link is watched, a
// closed link is tried again, and the unit's working program is read again
// when the link opens, after a recall and after a reconnect, so that what the
// server serves is what the unit holds. No window system; `kvctl serve` runs
// it.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

#include "kvdevice/device_thread.h"
#include "kvremote/host.h"

namespace kvremote {

class UnitHost : public QObject, public Host {
    Q_OBJECT

public:
    // The link is looked at this often, and a closed one tried this often.
    static constexpr int kPollMs = 250;
    static constexpr int kReopenMs = 2000;

    // `factory` is the model to start from (a copy: constructing one resets
    // the library's memory table). The link must have been set up for
    // `port_name` (CreateTTYInfo; OpenConnection may have failed).
    UnitHost(const CDSDATA& factory, std::string port_name, std::string device_path, QObject* parent = nullptr);
    ~UnitHost() override;

    // Reads the unit's working program now if the link is open; the watch
    // does the rest. The memory list is read only when a client asks for it
    // (?refresh=1): a list holds the line for every client for seconds.
    void Start();

    // Called on this object's thread whenever the served program, the unit's
    // state or the memory list changed.
    std::function<void(Source)> program_changed;
    std::function<void()> unit_changed;
    std::function<void()> memories_changed;

    UnitState Unit() override;
    const CDSDATA& Program() override { return program_; }
    MemoryList Memories() override { return memories_; }
    void Apply(const CDSDATA& program, const std::vector<kvprog::SettingRef>& changed, Source source) override;
    void Recall(int memory, Source source, Done done) override;
    void RefreshMemories(Done done) override;
    void Store(int memory, const std::string& name, Done done) override;
    void Download(const CDSDATA& program, Done done) override;

    // Blocks until every queued send has gone out (for shutting down).
    void Drain();

private:
    // A long operation on a copy of the served program; `then` runs on this
    // object's thread with the result and the model the task worked on.
    void RunTask(const std::string& what, std::function<int(CDSDATA&)> work,
                 std::function<void(int result, const CDSDATA& model)> then);
    void Poll();
    void FetchWorking(Source source, Done done);
    void ReadMemoryTable(int current);
    std::optional<kvcore::Refusal> NoAnswer(const std::string& what) const;

    CDSDATA program_;
    MemoryList memories_;
    std::string port_name_, device_path_;
    std::string busy_;
    bool was_connected_ = false;
    QTimer poll_;
    QElapsedTimer since_reopen_;
    device::DeviceThread thread_;
};

}  // namespace kvremote
