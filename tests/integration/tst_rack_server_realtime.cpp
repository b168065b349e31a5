// The remote server over a rack: `kvctl --rack FILE serve` with a worker of
// its own for each of three simulated units. A group's mute reaches exactly
// the units of the group, one unit's route reaches that unit only, OSC by
// group works, the front's WebSocket hears each unit's changes under its
// alias, and a worker that ends is started again.
#include <signal.h>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QWebSocket>
#include <QtTest>
#include <fstream>
#include <nlohmann/json.hpp>

#include "kvremote/osc_codec.h"
#include "loopback_ports.h"
#include "pty_server.h"

namespace {

using json = nlohmann::json;

struct Unit {
    Unit() : server(device, Options()) {}
    static kvsim::PtyOptions Options() {
        kvsim::PtyOptions o;
        o.line_rate = false;
        return o;
    }
    kvsim::Device device;
    kvsim::PtyServer server;
    std::string path;
    int Muted() {
        int muted = 0;
        server.WithDevice([&](kvsim::Device& d) {
            for (int n = 0; n < KV_OUTPUTS; ++n) muted += d.Working().out_mute[n];
        });
        return muted;
    }
};

}  // namespace

class TestRackServerRealtime : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    Unit units_[3];
    QProcess serve_;
    QString base_;
    quint16 osc_port_ = 0;
    QNetworkAccessManager net_;
    QWebSocket ws_;
    std::vector<json> heard_;

    std::pair<int, json> Send(const QByteArray& method, const QString& path, const QByteArray& body = {}) {
        QNetworkReply* reply = net_.sendCustomRequest(QNetworkRequest(QUrl(base_ + path)), method, body);
        QSignalSpy done(reply, &QNetworkReply::finished);
        if (!reply->isFinished()) done.wait(20000);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const json b = json::parse(reply->readAll().toStdString(), nullptr, false);
        reply->deleteLater();
        return {status, b};
    }

    bool AllConnected() {
        const json units = Send("GET", QStringLiteral("/api/v1/units")).second;
        if (!units.is_object()) return false;
        for (const json& u : units["units"])
            if (!u["unit"].value("connected", false) || !u["unit"]["busy"].is_null()) return false;
        return true;
    }

private slots:
    void initTestCase() {
        json list = json::array();
        const char* aliases[] = {"main-l", "main-r", "sub"};
        for (int i = 0; i < 3; ++i) {
            units_[i].path = units_[i].server.Start();
            QVERIFY(!units_[i].path.empty());
            list.push_back({{"alias", aliases[i]}, {"port", units_[i].path}, {"groups", {i < 2 ? "mains" : "subs"}}});
        }
        const QString rack = dir_.filePath(QStringLiteral("rack.json"));
        std::ofstream(rack.toStdString()) << json{{"units", list}}.dump();
        const quint16 http = FreeTcpPort();
        osc_port_ = FreeUdpPort();
        serve_.start(QStringLiteral(KVCTL_BIN), {QStringLiteral("--rack"), rack, QStringLiteral("serve"), QStringLiteral("--http"),
                                                 QStringLiteral("127.0.0.1:%1").arg(http), QStringLiteral("--osc"),
                                                 QString::number(osc_port_)});
        QVERIFY(serve_.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(serve_.canReadLine(), 5000);
        base_ = QString::fromUtf8(serve_.readLine()).trimmed();
        base_.chop(1);
        QTRY_VERIFY_WITH_TIMEOUT(AllConnected(), 10000);
        connect(&ws_, &QWebSocket::textMessageReceived, this,
                [this](const QString& t) { heard_.push_back(json::parse(t.toStdString())); });
        ws_.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/ws").arg(http)));
        QTRY_VERIFY_WITH_TIMEOUT(!heard_.empty(), 5000);
        QCOMPARE(heard_.front()["type"], "snapshot");
        QCOMPARE(heard_.front()["units"].size(), 3u);
    }

    void groupMuteReachesTheGroupOnly() {
        // Every output starts muted, as the unit does.
        QCOMPARE(units_[2].Muted(), 6);
        const auto [status, body] = Send("POST", QStringLiteral("/api/v1/groups/mains/unmute-all"));
        QCOMPARE(status, 200);
        QCOMPARE(body["units"].size(), 2u);
        QTRY_COMPARE_WITH_TIMEOUT(units_[0].Muted() + units_[1].Muted(), 0, 3000);
        QCOMPARE(units_[2].Muted(), 6);
        // The front's WebSocket hears each unit's change under its alias.
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(heard_.begin(), heard_.end(),
                                             [](const json& m) {
                                                 return m.value("type", "") == "change" && m.value("alias", "") == "main-r" &&
                                                        m["path"] == "out6.mute";
                                             }),
                                 3000);
    }

    void aLaterClientStartsFromTheProgramAsItIs() {
        // The mains were opened after the front's snapshot of them: a page
        // that connects now sees them open, and the sub still muted.
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(heard_.begin(), heard_.end(),
                                             [](const json& m) {
                                                 return m.value("type", "") == "change" && m.value("alias", "") == "main-l" &&
                                                        m["path"] == "out6.mute";
                                             }),
                                 3000);
        QWebSocket later;
        std::vector<json> got;
        connect(&later, &QWebSocket::textMessageReceived, this,
                [&got](const QString& t) { got.push_back(json::parse(t.toStdString())); });
        later.open(QUrl(QStringLiteral("ws") + base_.mid(4) + QStringLiteral("/api/v1/ws")));
        QTRY_VERIFY_WITH_TIMEOUT(!got.empty(), 5000);
        const json& units = got.front()["units"];
        for (const char* alias : {"main-l", "main-r", "sub"})
            for (int n = 1; n <= KV_OUTPUTS; ++n)
                QCOMPARE(units[alias]["program"]["out" + std::to_string(n)]["mute"].get<bool>(), std::string(alias) == "sub");
        later.close();
    }

    void oneUnitsRouteAndOscByGroup() {
        QCOMPARE(Send("PATCH", QStringLiteral("/api/v1/units/sub/program"), R"({"out2.gain": -3})").first, 200);
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     int gain = 0;
                                     units_[2].server.WithDevice([&](kvsim::Device& d) { gain = d.Working().out_gain[1]; });
                                     return gain == -15;
                                 }()),
                                 3000);
        QCOMPARE(Send("GET", QStringLiteral("/api/v1/units/nobody/unit")).first, 404);

        QUdpSocket osc;
        const std::string packet = kvremote::EncodeOscMessage("/kv/mains/mute_all", {});
        osc.writeDatagram(packet.data(), qint64(packet.size()), QHostAddress::LocalHost, osc_port_);
        QTRY_COMPARE_WITH_TIMEOUT(units_[0].Muted() + units_[1].Muted(), 12, 3000);
    }

    void aWorkerThatEndsIsStartedAgain() {
        const json units = Send("GET", QStringLiteral("/api/v1/units")).second;
        QCOMPARE(units["units"][2]["alias"], "sub");
        // The worker of sub: the kvctl process serving its port.
        QProcess find;
        find.start(QStringLiteral("pgrep"), {QStringLiteral("-f"), QStringLiteral("port %1 ").arg(QString::fromStdString(units_[2].path))});
        QVERIFY(find.waitForFinished());
        const qint64 worker = QString::fromUtf8(find.readAllStandardOutput()).split(QLatin1Char('\n')).first().toLongLong();
        QVERIFY(worker > 0);
        ::kill(pid_t(worker), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!Send("GET", QStringLiteral("/api/v1/units")).second["units"][2]["unit"].value("connected", true),
                                 3000);
        QCOMPARE(Send("PATCH", QStringLiteral("/api/v1/units/sub/program"), R"({"out2.gain": 0})").first, 503);
        // The front's clients hear that its server is away, and then its
        // snapshot when it is back.
        auto heard = [this](const char* type, const char* server) {
            return std::any_of(heard_.begin(), heard_.end(), [&](const json& m) {
                return m.value("type", "") == type && m.value("alias", "") == "sub" && m.value("server", "") == server;
            });
        };
        QVERIFY(heard("unit", "starting"));
        heard_.clear();
        QTRY_VERIFY_WITH_TIMEOUT(AllConnected(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(heard("snapshot", "running"), 3000);
    }

    void cleanupTestCase() {
        ws_.close();
        serve_.terminate();
        QVERIFY(serve_.waitForFinished(15000));
        QCOMPARE(serve_.exitCode(), 0);
        for (auto& u : units_) u.server.Stop();
    }
};

QTEST_GUILESS_MAIN(TestRackServerRealtime)
#include "tst_rack_server_realtime.moc"
