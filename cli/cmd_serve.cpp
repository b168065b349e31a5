// kvctl serve: the remote-control server for one unit without a display,
// for a rack PC. It takes the port as every command does, never one another
// program holds, serves until SIGINT or SIGTERM, and prints the page's
// address on its first line.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <fstream>
#include <iostream>

#include "commands.h"
#include "failure.h"
#include "kvfiles/atomic_file.h"
#include "kvrack/rack.h"
#include "kvremote/rack_server.h"
#include "kvremote/server.h"
#include "kvremote/unit_host.h"

namespace kvctl {

namespace {

int g_stop_pipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_stop_pipe[1], &byte, 1);
}

// "127.0.0.1:8758", "[::1]:8758", "0.0.0.0:8758" or a port alone.
void ParseHttp(const std::string& text, QHostAddress& address, quint16& port) {
    std::string host = "127.0.0.1", number = text;
    if (const auto colon = text.rfind(':'); colon != std::string::npos) {
        host = text.substr(0, colon);
        number = text.substr(colon + 1);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    }
    bool ok = false;
    const int p = QString::fromStdString(number).toInt(&ok);
    if (!ok || p < 0 || p > 65535 || !address.setAddress(QString::fromStdString(host)))
        throw Failure(kExitUsage, "--http " + text + ": expected ADDRESS:PORT, e.g. 127.0.0.1:8758");
    port = static_cast<quint16>(p);
}

// The token in `path`; a file that is not there gets a new one. The file
// must be the user's alone: the token is a password.
std::string TokenFrom(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) throw Failure(kExitFile, "cannot read " + path + ": " + std::strerror(errno));
        const std::string token = kvremote::NewToken();
        const mode_t old = ::umask(077);
        const auto refused = kvfiles::WriteFileAtomically(path, std::vector<std::uint8_t>(token.begin(), token.end()));
        ::umask(old);
        if (refused) throw Failure(kExitFile, "cannot write " + refused->Message());
        ::chmod(path.c_str(), 0600);
        std::cerr << "kvctl: a new token is in " << path << '\n';
        return token;
    }
    if ((st.st_mode & 077) != 0)
        throw Failure(kExitFile, path + " may be read by others; a token file must be the user's alone (chmod 600 " +
                                     path + ")");
    std::ifstream in(path);
    std::string token;
    std::getline(in, token);
    while (!token.empty() && (token.back() == ' ' || token.back() == '\r')) token.pop_back();
    if (token.size() < 16) throw Failure(kExitFile, path + " holds no token of at least 16 characters");
    return token;
}

void WatchStopSignals(QCoreApplication& qt, QSocketNotifier*& stop) {
    if (::pipe2(g_stop_pipe, O_CLOEXEC) != 0) throw Failure(kExitPort, "cannot watch for Ctrl+C");
    stop = new QSocketNotifier(g_stop_pipe[0], QSocketNotifier::Read, &qt);
    QObject::connect(stop, &QSocketNotifier::activated, &qt, [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

// The whole rack: a front on the given address, and a `kvctl serve` of its
// own for each unit behind it.
void ServeRack(const Session& session, const kvremote::ServerOptions& front) {
    if (!session.options().port.empty())
        throw Failure(kExitUsage, "--port and --rack cannot go together: the rack names the units' ports");
    const auto rack = kvrack::ReadRack(session.options().rack_file);
    if (!rack) Refused(kExitFile, rack.refusal(), "the rack file is refused");
    int argc = 1;
    char arg0[] = "kvctl";
    char* argv[] = {arg0, nullptr};
    QCoreApplication qt(argc, argv);
    kvremote::RackServerOptions options;
    options.front = front;
    options.rack = *rack;
    options.worker_program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    options.worker_options = {QStringLiteral("--quiet")};
    kvremote::RackServer server;
    QString why;
    if (!server.Start(options, &why)) throw Failure(kExitPort, why.toStdString());
    QSocketNotifier* stop = nullptr;
    WatchStopSignals(qt, stop);
    std::cout << server.PageUrl(true).toStdString() << std::endl;
    session.Note("Serving the rack of " + std::to_string(rack->units.size()) + " units on " +
                 server.PageUrl(false).toStdString() +
                 (server.OscPort() ? ", OSC on UDP port " + std::to_string(server.OscPort()) : std::string()) +
                 ". Ctrl+C stops.");
    qt.exec();
    server.Stop();
    session.Note("Stopped.");
}

}  // namespace

void AddServeCommand(CLI::App& app, Session& session) {
    auto* cmd = app.add_subcommand(
        "serve", "Serve the unit to show control: a web page, an HTTP/WebSocket API and OSC, until Ctrl+C");
    struct Args {
        std::string http = "127.0.0.1:8758";
        int osc = 9758;
        std::string token_file, read_only_token_file;
        std::vector<std::string> host_names;
        bool allow_reset = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("--http", args->http, "Address and port of the page and the API (default 127.0.0.1:8758)");
    cmd->add_option("--osc", args->osc, "UDP port for OSC on the same address, 0 for none (default 9758)")
        ->check(CLI::Range(0, 65535));
    cmd->add_option("--token-file", args->token_file,
                    "File with the token that may change the unit (made when missing); needed off the loopback");
    cmd->add_option("--read-only-token-file", args->read_only_token_file,
                    "File with a token that may only watch (made when missing)");
    cmd->add_option("--allow-host", args->host_names,
                    "A name clients may reach this server by besides its addresses (e.g. rackpc.local)");
    cmd->add_flag("--allow-reset", args->allow_reset,
                  "Allow operations that reset or overwrite the unit over the network (configuration, link, "
                  "Download, Store)");
    cmd->callback([&session, args] {
        kvremote::ServerOptions options;
        ParseHttp(args->http, options.address, options.http_port);
        options.osc_port = static_cast<quint16>(args->osc);
        if (!args->token_file.empty()) options.policy.token = TokenFrom(args->token_file);
        if (!args->read_only_token_file.empty()) options.policy.read_only_token = TokenFrom(args->read_only_token_file);
        options.policy.allow_reset = args->allow_reset;
        options.policy.host_names = args->host_names;
        if (!kvremote::IsLoopback(options.address) && options.policy.token.empty())
            throw Failure(kExitUsage, "serving on " + options.address.toString().toStdString() +
                                          " needs --token-file: only the loopback address goes without a token");

        if (!session.options().rack_file.empty()) return ServeRack(session, options);
        const std::string name = AimLibraryAt(session.Port());
        if (CreateTTYInfo() != 1) throw Failure(kExitPort, "cannot set up the link for " + name);
        // A port another program holds is never taken; one that is not there
        // (yet) is tried again while the server runs.
        if (OpenConnection() != 1 && LinkLastError() == EBUSY) throw Failure(kExitPort, OpenProblem());

        int argc = 1;
        char arg0[] = "kvctl";
        char* argv[] = {arg0, nullptr};
        QCoreApplication qt(argc, argv);
        kvremote::UnitHost host(session.factory(), name, LinkDevicePath());
        kvremote::RemoteServer server(host);
        host.program_changed = [&server](kvremote::Source source) { server.ProgramChanged(source); };
        host.unit_changed = [&server] { server.UnitChanged(); };
        host.memories_changed = [&server] { server.MemoriesChanged(); };
        QString why;
        if (!server.Start(options, &why)) throw Failure(kExitPort, why.toStdString());

        QSocketNotifier* stop = nullptr;
        WatchStopSignals(qt, stop);

        std::cout << server.PageUrl(true).toStdString() << std::endl;
        session.Note("Serving the unit on " + name + ": the page and the API on " + server.PageUrl(false).toStdString() +
                     (server.OscPort() ? ", OSC on UDP port " + std::to_string(server.OscPort()) : std::string()) +
                     (args->allow_reset ? "; operations that reset the unit are allowed" : "") +
                     ". Ctrl+C stops.");
        host.Start();
        qt.exec();
        server.Stop();
        host.Drain();
        session.Note("Stopped.");
    });
}

}  // namespace kvctl
