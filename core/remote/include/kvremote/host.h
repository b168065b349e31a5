// What the remote-control server asks of the program that hosts it (758 or
// the headless `kvctl serve`): the unit's state, the program it serves, the
// memory list, and the ways to change the unit. The server calls these on
// the thread that runs its event loop; a host answers long operations
// later, through the callback, on that same thread, and never blocks it.
#pragma once

#include <kvcom/kvcom.h>
#include <kvcore/refusal.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kvprog/settings.h"

namespace kvremote {

// Who made a change, as the server tells its clients.
enum class Source { kDesk, kWeb, kOsc, kApi, kUnit };
const char* SourceName(Source source);  // "desk", "web", "osc", "api", "unit"

struct UnitState {
    std::string port;    // "COM1"
    std::string device;  // "/dev/ttyUSB0"
    bool connected = false;
    std::string reason;  // why not connected, in the library's words
    // A long operation holds the line (a recall, a list, a Store All at the
    // desk): the server answers 409 until it has ended.
    std::string busy;
    // Parameter sends queued for the line and not yet out.
    int pending_sends = 0;
    // The host serves a program that may differ from the unit's (758 serves
    // its own): the state in words, empty when the program is the unit's.
    std::string differs;
};

struct MemoryEntry {
    int number = 0;
    std::string name;
    bool used = false;
};

struct MemoryList {
    std::vector<MemoryEntry> entries;  // 1..60, empty before the first list
    int current = 0;                   // the unit's current memory, 0 when not known
    std::string read_at;               // "14:02", empty when never read
};

// The end of a long operation: nullopt when it was done, else why not.
using Done = std::function<void(std::optional<kvcore::Refusal>)>;

class Host {
public:
    virtual ~Host() = default;

    virtual UnitState Unit() = 0;
    // The program the server serves: the unit's working program as the host
    // last read and changed it.
    virtual const CDSDATA& Program() = 0;
    virtual MemoryList Memories() = 0;

    // Takes `program` (the served program with `changed` already written
    // into it, every value valid) and sends each changed setting as its
    // ordinary parameter messages through the device thread, latest value
    // winning. Returns at once.
    virtual void Apply(const CDSDATA& program, const std::vector<kvprog::SettingRef>& changed, Source source) = 0;

    // Recalls memory 1..60 on the unit and reads the program it then plays.
    virtual void Recall(int memory, Source source, Done done) = 0;
    // Lists the unit's memories again.
    virtual void RefreshMemories(Done done) = 0;
    // Stores the served program in memory 1..60 under `name` (overwrites).
    virtual void Store(int memory, const std::string& name, Done done) = 0;
    // Sends `program` as the unit's working program (a Download: the unit
    // mutes every output and stores it in memory 1 too).
    virtual void Download(const CDSDATA& program, Done done) = 0;
};

}  // namespace kvremote
