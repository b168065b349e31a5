#include "session.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "failure.h"
#include "interruption.h"
#include "kvports/port_problem.h"
#include "kvproto/image_layout.h"
#include "kvproto/system_block.h"
#include "kvproto/timing.h"
#include "progress.h"

namespace kvctl {

namespace {

namespace timing = kvcom::timing;

// The messages of the exchanges, on the line.
constexpr std::size_t kRequestBytes = 8;  // identity or image request
constexpr std::size_t kDumpRequestBytes = 7;
constexpr std::size_t kIdentityReplyBytes = 11;
constexpr std::size_t kImageMaxBytes = kvcom::image::ImageLength(kvcom::image::kMaxFilters);

std::string DevicePath(int com) {
    char path[4096] = {0};
    PortDevicePath(com, path, sizeof path);
    return path;
}

// The terminal kvctl runs in, named as a port: /dev/tty while it has one,
// or the device of its standard input, output or error. Opened as the
// link, the terminal would get the unit's messages.
bool IsOwnTerminal(const std::string& path) {
    if (path == "/dev/tty") {
        const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
        return fd >= 0;
    }
    struct stat port {};
    if (::stat(path.c_str(), &port) != 0 || !S_ISCHR(port.st_mode)) return false;
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat st {};
        if (::isatty(fd) == 1 && ::fstat(fd, &st) == 0 && st.st_rdev == port.st_rdev) return true;
    }
    return false;
}

}  // namespace

double FetchSeconds(std::size_t image_bytes) {
    return timing::LineSeconds(2 * kRequestBytes + kIdentityReplyBytes +
                               (image_bytes > 0 ? image_bytes : kImageMaxBytes));
}

double MemorySeconds(std::size_t image_bytes) {
    return timing::LineSeconds(kRequestBytes + (image_bytes > 0 ? image_bytes : kImageMaxBytes));
}

std::size_t ImageBytes(const CDSDATA& program) {
    unsigned char image[KV_IMAGE_MAX];
    return static_cast<std::size_t>(program.SaveData(image));
}

std::string AimLibraryAt(const kvports::PortChoice& port) {
    // A device path goes to the library as COM1's device.
    if (port.com == 0) {
        ::setenv("KVCOM_COM1", port.path.c_str(), 1);
        rs232_port = 1;
        return port.path;
    }
    rs232_port = port.com;
    return "COM" + std::to_string(port.com) + " (" + DevicePath(port.com) + ")";
}

std::string LinkDevicePath() { return DevicePath(rs232_port); }

std::string OpenProblem() {
    const int error = LinkLastError();
    return kvports::OpenFailureText(kvports::DiagnoseOpenFailure(kvports::HostSystem(), LinkDevicePath(), error),
                                    LinkErrorMessage(error));
}

Unit::Unit(const kvports::PortChoice& port, const CDSDATA& factory, bool quiet) : model_(factory), quiet_(quiet) {
    name_ = AimLibraryAt(port);
    if (IsOwnTerminal(LinkDevicePath()))
        throw Failure(kExitPort, LinkDevicePath() + " is the terminal kvctl runs in, not a serial port.");
    if (CreateTTYInfo() != 1) throw Failure(kExitPort, "cannot set up the link for " + name_);
    if (OpenConnection() != 1) throw Failure(kExitPort, OpenProblem());
}

Unit::~Unit() {
    // Closing discards what is still queued: let the last message leave first.
    if (npTTYInfo != nullptr && npTTYInfo->port_handle >= 0) ::tcdrain(npTTYInfo->port_handle);
    DestroyTTYInfo();
}

void Unit::CheckLink() const {
    if (npTTYInfo == nullptr || npTTYInfo->connected.load() == 0)
        throw Failure(kExitLine, "the link on " + name_ + " was lost: " + LinkErrorMessage(LinkLastError()));
}

void Unit::NoAnswer(const std::string& what, Exchange exchange, const std::string& consequence) const {
    CheckLink();
    const std::string why = NoReplyText(name_, what, exchange, watch_.Seen(), LastReplyDamaged() != 0);
    throw Failure(kExitLine, consequence.empty() ? why : why + "; " + consequence);
}

void Unit::Sent(int result, const std::string& what) const {
    CheckLink();
    if (result != 1) throw Failure(kExitLine, what + " did not reach the unit on " + name_);
}

void Unit::FetchWorking(Progress* progress) {
    std::unique_ptr<Progress> own;
    if (progress == nullptr) own = std::make_unique<Progress>(quiet_, "fetching the working program", FetchSeconds());
    watch_.Begin();
    if (model_.RecallToPC() != 1) NoAnswer("fetching the working program");
    CheckLink();
    if (own) own->Done();
}

void Unit::ListMemories(const std::string& consequence) {
    // What the list holds is learnt as it comes: the memories come from 60
    // down, so those below the last one in are at most what is left.
    const double before_list =
        timing::LineSeconds(kRequestBytes + kDumpRequestBytes + kIdentityReplyBytes + kvcom::kSystemBlockLength);
    Progress progress(quiet_, "reading the memory list",
                      before_list + timing::LineSeconds(61 * kvcom::image::kFixedLength));
    watch_.Begin();
    progress.Follow([this, before_list] {
        const Received seen = watch_.Seen();
        const double image =
            static_cast<double>(seen.images > 0 ? seen.image_bytes / seen.images : kvcom::image::kFixedLength);
        const int left = seen.images == 0 ? 61 : (seen.last_image > 0 ? seen.last_image : 0);
        Progress::Reading r;
        r.done_s = timing::LineSeconds(kRequestBytes + kDumpRequestBytes + static_cast<std::size_t>(seen.bytes));
        r.step_s = timing::LineSeconds(static_cast<std::size_t>(image));
        r.plan_s = std::max(before_list, r.done_s) + left * r.step_s;
        if (seen.images > 0) r.what = "memory " + std::to_string(seen.last_image);
        return r;
    });
    if (model_.MemRefresh() != 1) NoAnswer("reading the memory list", Exchange::kList, consequence);
    CheckLink();
    progress.Done();
}

std::optional<CDSDATA> Unit::ReadMemory(int m) {
    const std::string what = "reading memory " + std::to_string(m);
    Progress progress(quiet_, what, MemorySeconds());
    CDSDATA program(model_);
    watch_.Begin();
    if (program.FetchMemory(static_cast<unsigned char>(m)) != 1) {
        if (Empty(what)) return std::nullopt;
    }
    CheckLink();
    progress.Done();
    return program;
}

CDSDATA Unit::FetchMemory(int m) {
    auto program = ReadMemory(m);
    if (!program) throw Failure(kExitLine, "memory " + std::to_string(m) + " of the unit on " + name_ + " is empty");
    return *program;
}

void Unit::Recall(int m, Progress* progress) {
    const std::string what = "recalling memory " + std::to_string(m);
    std::unique_ptr<Progress> own;
    if (progress == nullptr)
        own = std::make_unique<Progress>(
            quiet_, what, MemorySeconds() + (timing::kRecallBeforeChangeMs + timing::kRecallAfterChangeMs) / 1000.0);
    watch_.Begin();
    if (model_.MEMRECALLFROMMCU(static_cast<unsigned char>(m)) != 1 && Empty(what))
        throw Failure(kExitLine,
                      "memory " + std::to_string(m) + " of the unit on " + name_ + " is empty; nothing was recalled");
    CheckLink();
    if (own) own->Done();
}

bool Unit::Empty(const std::string& what) {
    CheckLink();
    if (LastReplyDamaged() || watch_.Seen().bytes != 0) NoAnswer(what, Exchange::kMemory);
    // A unit that is not there does not answer this either.
    CDSDATA probe(model_);
    watch_.Begin();
    if (probe.RecallToPC() != 1) NoAnswer(what);
    return true;
}

Session::Session(const Options& options) : options_(options) {}

Unit& Session::unit() {
    if (!unit_) {
        WatchInterruptions();  // before the library's reader thread
        unit_ = std::make_unique<Unit>(Port(), factory_, options_.quiet);
    }
    return *unit_;
}

kvports::PortChoice Session::Port() const {
    if (!options_.port.empty()) {
        const auto port = kvports::ParsePortArgument(options_.port);
        if (!port) throw Failure(kExitUsage, "--port " + options_.port + " names no port (COM1..COM4 or a device)");
        return *port;
    }
    // The port 758 uses: its COM port and the device chosen for it (the
    // library still lets $KVCOM_COM<n> come first).
    const kvports::StoredPorts stored = kvports::ReadStoredPorts(kvports::SettingsFilePath());
    for (int n = 1; n <= kvports::kComPorts; ++n)
        if (!stored.DeviceOf(n).empty()) SetPortDevicePath(n, stored.DeviceOf(n).c_str());
    return kvports::PortChoice{stored.com, ""};
}

void Session::Print(const nlohmann::ordered_json& document, const std::string& text) const {
    if (options_.json)
        std::cout << document.dump(2) << '\n';
    else
        std::cout << text;
    std::cout.flush();
}

void Session::Report(const nlohmann::ordered_json& document, const std::string& text) const {
    if (options_.json || !options_.quiet) Print(document, text);
}

void Session::Note(const std::string& text) const {
    if (!options_.quiet) std::cerr << text << '\n';
}

void Session::Warn(const std::string& text) const { std::cerr << "kvctl: warning: " << text << '\n'; }

void Confirm(const std::string& question, bool yes) {
    if (yes) return;
    if (::isatty(STDIN_FILENO) != 1)
        throw Failure(kExitUsage, question + " Not confirmed: add --yes (there is no terminal to ask on).");
    std::cerr << question << " Go ahead? [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    if (answer != "y" && answer != "Y" && answer != "yes") throw Failure(kExitUsage, "cancelled; nothing was sent");
}

void Session::Confirm(const std::string& question, bool yes) const { kvctl::Confirm(question, yes); }

}  // namespace kvctl
