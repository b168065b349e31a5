// The remote server under show load, on loopback: `kvctl serve` (its own
// process, so its CPU time and memory are its own) on the simulated unit at
// line rate, W WebSocket clients watching while S clients each send R edits
// a second (PATCH of one output's gain) for T seconds. Prints:
//   fan-out   from a PATCH leaving its client to each watcher hearing the
//             change: p50, p99, max;
//   to unit   from a PATCH leaving its client to the unit receiving that
//             value (kvsim's log), p50/p99, beside the line's own time for
//             one message (latest value wins: most values never go out);
//   reached   whether every sender's last value is what the unit and every
//             watcher hold at the end (0 lost);
//   CPU, RSS  of the server process over the run.
//
// Senders send over HTTP (a PATCH each) or over their own WebSocket
// ({"type": "patch"} messages), as --over says. With --host 758 the server
// is 758's own (offscreen, its settings in a folder of the run's), and its
// memory is printed with the server listening before the clients come and
// after the run.
//
//   remote_bench [--seconds T] [--watchers W] [--senders S] [--rate R] [--over http|ws] [--host kvctl|758]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTcpServer>
#include <QThread>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unistd.h>

#include "pty_server.h"

namespace {

using json = nlohmann::json;

std::int64_t NowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

double CpuSeconds(qint64 pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string f;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::stol(f);
        if (i == 15) stime = std::stol(f);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

long RssKiB(qint64 pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * double(v.size())))];
}

// The gain values a sender steps through, in 0.2 dB steps.
double GainOf(int sender, long n) { return double((n * 7 + sender * 11) % 151 - 75) / 5.0; }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int seconds = 30, watchers = 20, senders = 4, rate = 200;
    bool over_ws = false;
    bool host_758 = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const int v = std::atoi(argv[i + 1]);
        if (a == "--over") over_ws = std::string(argv[i + 1]) == "ws";
        if (a == "--host") host_758 = std::string(argv[i + 1]) == "758";
        if (a == "--seconds") seconds = v;
        if (a == "--watchers") watchers = v;
        if (a == "--senders") senders = std::clamp(v, 1, 6);
        if (a == "--rate") rate = v;
    }
    QTemporaryDir dir;
    kvsim::Device device;
    kvsim::PtyOptions options;
    options.log_path = dir.filePath(QStringLiteral("unit.log")).toStdString();
    options.log_in_words = true;
    kvsim::PtyServer unit(device, options);
    const std::int64_t log_zero = NowUs();
    const std::string pty = unit.Start();

    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    QProcess serve;
    if (host_758) {
#ifdef DESK_PROGRAM
        // 758 takes its port and the server's from its settings file; the
        // run's own folder keeps the user's settings out of it.
        const QString config = dir.filePath(QStringLiteral("config"));
        QDir().mkpath(config + QStringLiteral("/KALVORE"));
        QSettings settings(config + QStringLiteral("/KALVORE/KALVORE.conf"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Settings/RS232Port"), 1);
        settings.setValue(QStringLiteral("Settings/RS232Device1"), QString::fromStdString(pty));
        settings.setValue(QStringLiteral("Remote/Enabled"), true);
        settings.setValue(QStringLiteral("Remote/Address"), QStringLiteral("127.0.0.1"));
        settings.setValue(QStringLiteral("Remote/HttpPort"), port);
        settings.setValue(QStringLiteral("Remote/OscPort"), 0);
        settings.sync();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        serve.setProcessEnvironment(env);
        serve.start(QStringLiteral(DESK_PROGRAM), {});
#else
        std::fprintf(stderr, "remote_bench: built without 758 (the GUI is off)\n");
        return 2;
#endif
    } else {
        serve.start(QStringLiteral(KVCTL_PROGRAM), {QStringLiteral("--port"), QString::fromStdString(pty),
                                                    QStringLiteral("--quiet"), QStringLiteral("serve"),
                                                    QStringLiteral("--http"), QStringLiteral("127.0.0.1:%1").arg(port),
                                                    QStringLiteral("--osc"), QStringLiteral("0")});
        serve.waitForReadyRead(5000);
    }
    serve.waitForStarted();
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    QNetworkAccessManager probe_net;
    auto unit_state = [&] {
        QNetworkReply* r = probe_net.get(QNetworkRequest(QUrl(base + QStringLiteral("/api/v1/unit"))));
        QEventLoop wait;
        QObject::connect(r, &QNetworkReply::finished, &wait, &QEventLoop::quit);
        wait.exec();
        const json j = json::parse(r->readAll().toStdString(), nullptr, false);
        r->deleteLater();
        return j;
    };
    for (int i = 0; i < 100; ++i) {
        const json u = unit_state();
        if (u.is_object() && u.value("connected", false) && u["busy"].is_null()) break;
        QThread::msleep(100);
    }

    const long rss_listening = RssKiB(serve.processId());

    // Every send by (path, value): the times it left, newest last.
    std::map<std::pair<std::string, double>, std::vector<std::int64_t>> sent;
    std::vector<double> fanout_ms;
    std::vector<std::map<std::string, double>> heard(static_cast<std::size_t>(watchers));
    std::vector<std::unique_ptr<QWebSocket>> sockets;
    int connected = 0;
    for (int w = 0; w < watchers; ++w) {
        auto s = std::make_unique<QWebSocket>();
        QObject::connect(s.get(), &QWebSocket::connected, [&connected] { ++connected; });
        QObject::connect(s.get(), &QWebSocket::textMessageReceived, [&, w](const QString& text) {
            const std::int64_t now = NowUs();
            const json m = json::parse(text.toStdString(), nullptr, false);
            if (!m.is_object() || m.value("type", "") != "change" || !m["value"].is_number()) return;
            const std::string path = m["path"];
            const double value = m["value"];
            heard[std::size_t(w)][path] = value;
            auto it = sent.find({path, value});
            if (it == sent.end()) return;
            auto before = std::upper_bound(it->second.begin(), it->second.end(), now);
            if (before != it->second.begin()) fanout_ms.push_back(double(now - *(before - 1)) / 1000.0);
        });
        s->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/ws").arg(port)));
        sockets.push_back(std::move(s));
    }
    QElapsedTimer wait_for_watchers;
    wait_for_watchers.start();
    while (connected < watchers && wait_for_watchers.elapsed() < 10000) app.processEvents(QEventLoop::AllEvents, 50);

    std::vector<std::unique_ptr<QNetworkAccessManager>> nets;
    std::vector<std::unique_ptr<QWebSocket>> sender_sockets;
    std::vector<long> count(static_cast<std::size_t>(senders), 0);
    std::vector<double> last(static_cast<std::size_t>(senders), 0);
    int refused = 0, in_flight = 0;
    const double cpu_before = CpuSeconds(serve.processId());
    QElapsedTimer run;
    run.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        // Each sender keeps its own pace: as many sends as are due by now.
        const long due = long(double(run.elapsed()) * rate / 1000.0);
        for (int k = 0; k < senders; ++k) {
            auto& net = nets[std::size_t(k)];
            while (count[std::size_t(k)] < due) {
                const double v = GainOf(k, count[std::size_t(k)]++);
                last[std::size_t(k)] = v;
                const std::string path = "out" + std::to_string(k + 1) + ".gain";
                QNetworkRequest request(QUrl(base + QStringLiteral("/api/v1/program")));
                request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
                sent[{path, v}].push_back(NowUs());
                if (over_ws) {
                    sender_sockets[std::size_t(k)]->sendTextMessage(QString::fromStdString(
                        json{{"type", "patch"}, {"settings", {{path, v}}}}.dump()));
                    continue;
                }
                ++in_flight;
                QNetworkReply* r = net->sendCustomRequest(request, "PATCH", QByteArray::fromStdString(json{{path, v}}.dump()));
                QObject::connect(r, &QNetworkReply::finished, [r, &refused, &in_flight] {
                    if (r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200) ++refused;
                    --in_flight;
                    r->deleteLater();
                });
            }
        }
        if (run.elapsed() >= seconds * 1000) {
            tick.stop();
            app.quit();
        }
    });
    for (int k = 0; k < senders; ++k) {
        nets.push_back(std::make_unique<QNetworkAccessManager>());
        if (!over_ws) continue;
        auto s = std::make_unique<QWebSocket>();
        QObject::connect(s.get(), &QWebSocket::textMessageReceived, [&refused](const QString& text) {
            const json m = json::parse(text.toStdString(), nullptr, false);
            if (m.is_object() && m.value("type", "") == "reply" && m.value("status", 0) != 200) ++refused;
        });
        s->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/ws").arg(port)));
        QElapsedTimer open;
        open.start();
        while (s->state() != QAbstractSocket::ConnectedState && open.elapsed() < 5000)
            app.processEvents(QEventLoop::AllEvents, 20);
        sender_sockets.push_back(std::move(s));
    }
    tick.start(2);
    app.exec();
    const double wall = double(run.elapsed()) / 1000.0;
    while (in_flight > 0) app.processEvents(QEventLoop::AllEvents, 50);
    // The line catches up, then every watcher has heard the last values.
    for (int i = 0; i < 100; ++i) {
        const json u = unit_state();
        if (u.is_object() && u["busy"].is_null()) break;
        QThread::msleep(100);
    }
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 3000) app.processEvents(QEventLoop::AllEvents, 50);
    const double cpu = CpuSeconds(serve.processId()) - cpu_before;
    const long rss = RssKiB(serve.processId());

    int lost = 0;
    unit.WithDevice([&](kvsim::Device& d) {
        for (int k = 0; k < senders; ++k)
            if (d.Working().out_gain[k] != int(std::lround(last[std::size_t(k)] * 5))) ++lost;
    });
    int unheard = 0;
    for (const auto& h : heard)
        for (int k = 0; k < senders; ++k) {
            const auto it = h.find("out" + std::to_string(k + 1) + ".gain");
            if (it == h.end() || it->second != last[std::size_t(k)]) ++unheard;
        }

    // The unit's log: "<µs> RX Out N gain X dB".
    std::vector<double> to_unit_ms;
    std::ifstream log(options.log_path);
    int received = 0;
    for (std::string line; std::getline(log, line);) {
        long long at = 0;
        int out = 0;
        double db = 0;
        if (std::sscanf(line.c_str(), "%lld RX Out %d gain %lf dB", &at, &out, &db) != 3) continue;
        ++received;
        const auto it = sent.find({"out" + std::to_string(out) + ".gain", db});
        if (it == sent.end()) continue;
        const std::int64_t when = log_zero + at;
        auto before = std::upper_bound(it->second.begin(), it->second.end(), when);
        if (before != it->second.begin()) to_unit_ms.push_back(double(when - *(before - 1)) / 1000.0);
    }
    long total = 0;
    for (long c : count) total += c;

    std::printf("remote_bench: %d watchers, %d senders over %s x %d edits/s for %.1f s = %ld edits (%d refused)\n",
                watchers, senders, over_ws ? "WebSocket" : "HTTP", rate, wall, total, refused);
    std::printf("  fan-out to watchers  p50 %.1f ms  p99 %.1f ms  max %.1f ms  (%zu deliveries)\n",
                Percentile(fanout_ms, 0.5), Percentile(fanout_ms, 0.99), Percentile(fanout_ms, 1.0), fanout_ms.size());
    std::printf("  edit to unit         p50 %.1f ms  p99 %.1f ms  (%d gain messages reached the unit; one message "
                "takes about 17 ms of line time: 13 bytes at 19200 baud and its 10 ms pause)\n",
                Percentile(to_unit_ms, 0.5), Percentile(to_unit_ms, 0.99), received);
    std::printf("  final values         %d of %d lost at the unit, %d of %d watcher values not the last sent\n", lost,
                senders, unheard, watchers * senders);
    std::printf("  server (%s)%s CPU %.1f %% of a core (%.2f s over %.1f s), RSS %ld KiB listening, %ld KiB after\n",
                host_758 ? "758" : "kvctl serve", host_758 ? "       " : "", 100.0 * cpu / wall, cpu, wall,
                rss_listening, rss);
    serve.terminate();
    serve.waitForFinished(10000);
    unit.Stop();
    return lost == 0 && unheard == 0 ? 0 : 1;
}
