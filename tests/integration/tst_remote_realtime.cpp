// The remote server as show control meets it: the real `kvctl serve` on a
// simulated unit, reached over loopback with HTTP, a WebSocket and OSC.
// An edit over HTTP or OSC reaches the unit, every client hears of it with
// its source, a pulled line is answered 503, and requests from elsewhere or
// too long are refused over the real connection.
#include <lo/lo_lowlevel.h>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QWebSocket>
#include <QtTest>
#include <nlohmann/json.hpp>

#include "loopback_ports.h"
#include "pty_server.h"

namespace {

using json = nlohmann::json;

QByteArray OscPacket(const char* address, const char* types = "", int value = 0) {
    lo_message m = lo_message_new();
    if (types[0] == 'i') lo_message_add_int32(m, value);
    std::size_t size = 0;
    void* bytes = lo_message_serialise(m, address, nullptr, &size);
    QByteArray out(static_cast<const char*>(bytes), qsizetype(size));
    std::free(bytes);
    lo_message_free(m);
    return out;
}

struct Reply {
    int status = 0;
    json body;
};

}  // namespace

class TestRemoteRealtime : public QObject {
    Q_OBJECT

    kvsim::Device device_;
    std::unique_ptr<kvsim::PtyServer> unit_;
    QProcess serve_;
    QString base_;
    quint16 osc_port_ = 0;
    QNetworkAccessManager net_;
    QWebSocket ws_;
    std::vector<json> heard_;

    Reply Send(const QByteArray& method, const QString& path, const QByteArray& body = {}) {
        QNetworkRequest request(QUrl(base_ + path));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        QNetworkReply* reply = net_.sendCustomRequest(request, method, body);
        QSignalSpy done(reply, &QNetworkReply::finished);
        if (!reply->isFinished()) done.wait(20000);
        Reply r;
        r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        r.body = json::parse(reply->readAll().toStdString(), nullptr, false);
        reply->deleteLater();
        return r;
    }

    // The first change the WebSocket heard of `path`, waiting for it (null
    // when none came).
    json Heard(const std::string& path) {
        json found;
        (void)QTest::qWaitFor(
            [&] {
                for (const json& m : heard_)
                    if (m.value("type", "") == "change" && m.value("path", "") == path) {
                        found = m;
                        return true;
                    }
                return false;
            },
            3000);
        return found;
    }

private slots:
    void initTestCase() {
        kvsim::PtyOptions options;
        options.line_rate = false;
        unit_ = std::make_unique<kvsim::PtyServer>(device_, options);
        const std::string pty = unit_->Start();
        QVERIFY(!pty.empty());
        const quint16 http = FreeTcpPort();
        osc_port_ = FreeUdpPort();
        serve_.start(QStringLiteral(KVCTL_BIN),
                     {QStringLiteral("--port"), QString::fromStdString(pty), QStringLiteral("serve"),
                      QStringLiteral("--http"), QStringLiteral("127.0.0.1:%1").arg(http), QStringLiteral("--osc"),
                      QString::number(osc_port_)});
        QVERIFY(serve_.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(serve_.canReadLine(), 5000);
        base_ = QString::fromUtf8(serve_.readLine()).trimmed();
        QCOMPARE(base_, QStringLiteral("http://127.0.0.1:%1/").arg(http));
        base_.chop(1);
        // The server reads the unit's working program first, and takes no
        // edit until it has.
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     const json unit = Send("GET", "/api/v1/unit").body;
                                     return unit.value("connected", false) && unit["busy"].is_null();
                                 }()),
                                 5000);

        connect(&ws_, &QWebSocket::textMessageReceived, this,
                [this](const QString& text) { heard_.push_back(json::parse(text.toStdString())); });
        ws_.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/ws").arg(http)));
        QTRY_VERIFY_WITH_TIMEOUT(!heard_.empty(), 5000);
        QCOMPARE(heard_.front()["type"], "snapshot");
        QCOMPARE(heard_.front()["program"]["format"], "kalvore-program");
    }

    void patchReachesTheUnitAndEveryClientHearsIt() {
        const Reply r = Send("PATCH", "/api/v1/program", R"({"out3.gain": -2.39, "ina.delay": "1.5ms"})");
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body["out3.gain"], -2.4);  // as the unit holds it
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     int gain = 0, delay = 0;
                                     unit_->WithDevice([&](kvsim::Device& d) {
                                         gain = d.Working().out_gain[2];
                                         delay = d.Working().ina_delay;
                                     });
                                     return gain == -12 && delay == 72;
                                 }()),
                                 3000);
        const json change = Heard("out3.gain");
        QCOMPARE(change["value"], -2.4);
        QCOMPARE(change["source"], "api");
    }

    void patchOverTheWebSocket() {
        ws_.sendTextMessage(QStringLiteral(R"({"type": "patch", "id": 3, "settings": {"out2.gain": 1.2}})"));
        ws_.sendTextMessage(QStringLiteral(R"({"type": "patch", "id": 4, "settings": {"out2.gain": 99}})"));
        json replies[2];
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     for (const json& m : heard_)
                                         if (m.value("type", "") == "reply") replies[m["id"].get<int>() - 3] = m;
                                     return !replies[0].is_null() && !replies[1].is_null();
                                 }()),
                                 3000);
        QCOMPARE(replies[0]["status"], 200);
        QCOMPARE(replies[0]["body"]["out2.gain"], 1.2);
        QCOMPARE(replies[1]["status"], 400);
        QCOMPARE(replies[1]["body"]["error"]["path"], "out2.gain");
        QCOMPARE(Heard("out2.gain")["source"], "api");
    }

    void oscSetsAnswersAndIsHeard() {
        QUdpSocket osc;
        QVERIFY(osc.bind(QHostAddress::LocalHost, 0));
        osc.writeDatagram(OscPacket("/kv/out/5/mute", "i", 0), QHostAddress::LocalHost, osc_port_);
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     int mute = 1;
                                     unit_->WithDevice([&](kvsim::Device& d) { mute = d.Working().out_mute[4]; });
                                     return mute == 0;
                                 }()),
                                 3000);
        QCOMPARE(Heard("out5.mute")["source"], "osc");

        // A query is answered to the sender at the same address.
        osc.writeDatagram(OscPacket("/kv/out/5/mute"), QHostAddress::LocalHost, osc_port_);
        QTRY_VERIFY_WITH_TIMEOUT(osc.hasPendingDatagrams(), 3000);
        QByteArray answer(qsizetype(osc.pendingDatagramSize()), '\0');
        osc.readDatagram(answer.data(), answer.size());
        int result = 0;
        lo_message m = lo_message_deserialise(answer.data(), std::size_t(answer.size()), &result);
        QVERIFY(m != nullptr);
        QCOMPARE(QByteArray(answer.constData()), QByteArray("/kv/out/5/mute"));
        QCOMPARE(QByteArray(lo_message_get_types(m)), QByteArray("i"));
        QCOMPARE(lo_message_get_argv(m)[0]->i, 0);
        lo_message_free(m);

        // A packet with the wrong type is answered at /kv/error and changes nothing.
        osc.writeDatagram(OscPacket("/kv/out/5/gain", "i", 99), QHostAddress::LocalHost, osc_port_);
        QTRY_VERIFY_WITH_TIMEOUT(osc.hasPendingDatagrams(), 3000);
        answer.resize(qsizetype(osc.pendingDatagramSize()));
        osc.readDatagram(answer.data(), answer.size());
        QCOMPARE(QByteArray(answer.constData()), QByteArray("/kv/error"));
    }

    void refusedOverTheRealConnection() {
        // Another Host (a page of another site reaching loopback through
        // the user's browser).
        QTcpSocket raw;
        raw.connectToHost(QHostAddress::LocalHost, QUrl(base_).port());
        QVERIFY(raw.waitForConnected(3000));
        raw.write("GET /api/v1/unit HTTP/1.1\r\nHost: evil.example\r\n\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(raw.bytesAvailable() > 0 || !raw.waitForReadyRead(100), 3000);
        QVERIFY(raw.readAll().startsWith("HTTP/1.1 403"));
        raw.close();

        // A body without end is answered 413 and the connection closed
        // before it is read whole.
        QTcpSocket big;
        big.connectToHost(QHostAddress::LocalHost, QUrl(base_).port());
        QVERIFY(big.waitForConnected(3000));
        big.write("PATCH /api/v1/program HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 10000000\r\n\r\n");
        QByteArray got;
        for (int i = 0; i < 200 && big.state() == QAbstractSocket::ConnectedState; ++i) {
            big.write(QByteArray(64 * 1024, ' '));
            big.waitForBytesWritten(100);
            big.waitForReadyRead(20);
            got += big.readAll();
        }
        got += big.readAll();
        QVERIFY2(got.startsWith("HTTP/1.1 413"), got.left(100).constData());

        QCOMPARE(Send("PATCH", "/api/v1/program", R"({"config": "Mono"})").status, 403);
        QCOMPARE(Send("POST", "/api/v1/memories/5/store", R"({"name": "X"})").status, 403);
    }

    void pulledLineIsAnswered503() {
        unit_->Stop();
        QTRY_VERIFY_WITH_TIMEOUT(!Send("GET", "/api/v1/unit").body.value("connected", true), 5000);
        const Reply r = Send("PATCH", "/api/v1/program", R"({"out1.mute": true})");
        QCOMPARE(r.status, 503);
        QVERIFY(r.body["error"]["reason"].get<std::string>().find("not connected") != std::string::npos);
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     for (const json& m : heard_)
                                         if (m.value("type", "") == "unit" && !m["unit"]["connected"].get<bool>())
                                             return true;
                                     return false;
                                 }()),
                                 3000);
    }

    void cleanupTestCase() {
        ws_.close();
        serve_.terminate();  // SIGTERM: the server stops and says so
        QVERIFY(serve_.waitForFinished(10000));
        QCOMPARE(serve_.exitStatus(), QProcess::NormalExit);
        QCOMPARE(serve_.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestRemoteRealtime)
#include "tst_remote_realtime.moc"
