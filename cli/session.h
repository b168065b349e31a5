// One run of kvctl: the global options, the link to the unit (opened on
// first use, closed at the end), and the ways a command speaks: data on
// standard output (text or one JSON document), notes and questions on
// standard error.
#pragma once

#include <kvcom/kvcom.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "kvports/port_choice.h"
#include "line_watch.h"

namespace kvctl {

class Progress;

// Points the library at `port` (a device path becomes COM1's device) and
// returns its name for messages: "COM3 (/dev/ttyS2)" or the path.
std::string AimLibraryAt(const kvports::PortChoice& port);
// The device the library opens for its port now.
std::string LinkDevicePath();
// The sentence on the port the library could not open just now, as the
// windows say it.
std::string OpenProblem();

// Asks `question` on the terminal unless `yes`; refuses (usage) when
// declined or when there is no terminal to ask on.
void Confirm(const std::string& question, bool yes);

// Seconds on the line of the exchanges kvctl runs, for progress: a fetch of
// the working program (identity exchange, request and image) and a read of
// one memory (request and image), with an image of `image_bytes` (by
// default one with every filter: at most).
double FetchSeconds(std::size_t image_bytes = 0);
double MemorySeconds(std::size_t image_bytes = 0);
// The bytes of the program's image.
std::size_t ImageBytes(const CDSDATA& program);

struct Options {
    std::string port;  // --port; empty: the program's stored port
    bool json = false;
    bool quiet = false;
    std::string rack_file;  // --rack (serve, rack init)
};

// The unit on its port. Opening refuses a port another program holds.
class Unit {
public:
    Unit(const kvports::PortChoice& port, const CDSDATA& factory, bool quiet);  // throws Failure (port problem)
    ~Unit();
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    const std::string& name() const { return name_; }
    // The model every operation works on (the library's operations are its).
    CDSDATA& model() { return model_; }
    bool quiet() const { return quiet_; }

    // The unit's working program into model(). Throws Failure (line) when
    // the unit does not answer. Shows its own progress unless `progress`
    // (of a longer operation) is given.
    void FetchWorking(Progress* progress = nullptr);
    // The unit's memory list and images into the library's memory table;
    // model().mem_num becomes the unit's current memory. Throws Failure
    // (line), saying how far a list that stopped had come, then
    // `consequence` ("nothing was written to before.ay").
    void ListMemories(const std::string& consequence = {});
    // Memory m (1..60) of the unit, read without recalling it (one image,
    // not the list); nullopt when it is empty. Throws Failure (line).
    std::optional<CDSDATA> ReadMemory(int m);
    // As ReadMemory; an empty memory is a Failure (line) that says so.
    CDSDATA FetchMemory(int m);
    // Recalls memory m on the unit into model(). Throws Failure (line); an
    // empty memory is named as such and nothing is recalled.
    void Recall(int m, Progress* progress = nullptr);

    // Throws Failure (line) when the link was lost since it opened.
    void CheckLink() const;
    // Throws Failure (line) for an exchange that failed: why, from what
    // came, then `consequence` when given.
    [[noreturn]] void NoAnswer(const std::string& what, Exchange exchange = Exchange::kFetch,
                               const std::string& consequence = {}) const;
    // Throws Failure (line) unless `result` (of a library operation that
    // sends) is 1: the messages of `what` did not all reach the unit.
    void Sent(int result, const std::string& what) const;
    // What has arrived since the last exchange began.
    const LineWatch& watch() const { return watch_; }

private:
    // After an exchange for memory m failed: true when nothing at all came
    // back and the unit answers a fetch of its working program (a memory
    // that holds nothing gets no reply); else throws as NoAnswer.
    bool Empty(const std::string& what);

    std::string name_;
    CDSDATA model_;
    bool quiet_;
    LineWatch watch_;
};

class Session {
public:
    // `options` are read when a command runs, after the command line is parsed.
    explicit Session(const Options& options);

    const Options& options() const { return options_; }
    // Factory values. The one CDSDATA constructed in the run, before anything
    // else: a construction resets the library's memory table.
    const CDSDATA& factory() const { return factory_; }
    // The unit, opened on first use.
    Unit& unit();
    // The port of this run: --port, or the one 758 has stored (whose devices
    // go to the library). Throws Failure (usage) for a --port that names none.
    kvports::PortChoice Port() const;

    // The data of a command: the JSON document with --json, else the text.
    void Print(const nlohmann::ordered_json& document, const std::string& text) const;
    // A confirmation that says what was done: like Print, but no text when quiet.
    void Report(const nlohmann::ordered_json& document, const std::string& text) const;
    // A note on standard error, unless quiet.
    void Note(const std::string& text) const;
    // A warning on standard error ("kvctl: warning: ..."), quiet or not.
    void Warn(const std::string& text) const;
    // Asks `question` on the terminal unless `yes`; refuses (usage) when
    // declined or when there is no terminal to ask on.
    void Confirm(const std::string& question, bool yes) const;

private:
    const Options& options_;
    CDSDATA factory_;
    std::unique_ptr<Unit> unit_;
};

}  // namespace kvctl
