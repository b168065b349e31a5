#include "session.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "failure.h"
#include "kvports/port_problem.h"
#include "progress.h"

namespace kvctl {

namespace {

// The working program at line rate: identity exchange and one image.
constexpr double kFetchSeconds = 0.4;

std::string DevicePath(int com) {
    char path[4096] = {0};
    PortDevicePath(com, path, sizeof path);
    return path;
}

}  // namespace

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

void Unit::NoAnswer(const std::string& what) const {
    CheckLink();
    if (LastReplyDamaged())
        throw Failure(kExitLine,
                      "the unit on " + name_ + " sent a damaged program image (" + what + "); nothing was taken");
    throw Failure(kExitLine, "the unit on " + name_ + " did not answer (" + what + ")");
}

void Unit::Sent(int result, const std::string& what) const {
    CheckLink();
    if (result != 1) throw Failure(kExitLine, what + " did not reach the unit on " + name_);
}

void Unit::FetchWorking() {
    Progress progress(quiet_, "fetching the working program", kFetchSeconds);
    if (model_.RecallToPC() != 1) NoAnswer("fetching the working program");
    CheckLink();
}

void Unit::ListMemories() {
    Progress progress(quiet_, "reading the memory list", 0);
    if (model_.MemRefresh() != 1) NoAnswer("reading the memory list");
    CheckLink();
}

Session::Session(const Options& options) : options_(options) {}

Unit& Session::unit() {
    if (!unit_) {
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
