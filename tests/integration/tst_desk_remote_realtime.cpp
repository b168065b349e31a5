// 758 serving its document to remote clients, against the simulated unit on
// a pseudo-terminal at the line's own pace: a WebSocket client sees an edit
// made in 758's windows, a PATCH over HTTP and an OSC message change 758's
// model (the open page shows it, the undo history names who sent it) and
// reach the unit, and a recall asked over HTTP runs as a device task. The
// server listens on 127.0.0.1 only, on ports the kernel had free.
#include <lo/lo.h>

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTcpServer>
#include <QUdpSocket>
#include <QWebSocket>
#include <QtTest>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>

#include <kvcom/kvcom.h>

#include "channel/dlg_settings.h"
#include "device.h"
#include "kvprog/setting_json.h"
#include "kvvalues/text_conversions.h"
#include "loopback_ports.h"
#include "pty_server.h"
#include "device/device_line.h"
#include "remote/desk_host.h"
#include "remote/remote_control.h"
#include "shell_fixture.h"

using nlohmann::json;

namespace {

constexpr int kLineMs = 3000;  // long enough for a few messages at the line's pace

// A page's WebSocket: every message it was sent, in order.
class WatchingClient {
public:
    bool Open(quint16 port) {
        QObject::connect(&socket_, &QWebSocket::textMessageReceived,
                         [this](const QString& text) { messages_.push_back(json::parse(text.toStdString())); });
        socket_.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/ws").arg(port)));
        return QTest::qWaitFor([this] { return !messages_.empty(); }, kLineMs) &&
               messages_.front()["type"] == "snapshot";
    }
    // Waits for the first change of `path` after `from`; null when none came.
    json ChangeOf(const std::string& path, std::size_t from = 0, int timeout_ms = kLineMs) {
        json found;
        (void)QTest::qWaitFor(
            [&] {
                for (std::size_t i = from; i < messages_.size(); ++i)
                    if (messages_[i]["type"] == "change" && messages_[i]["path"] == path) {
                        found = messages_[i];
                        return true;
                    }
                return false;
            },
            timeout_ms);
        return found;
    }
    std::size_t Count() const { return messages_.size(); }

private:
    QWebSocket socket_;
    std::vector<json> messages_;
};

// One OSC message as show-control software sends it, coded by liblo.
QByteArray OscMessage(const char* address, int value) {
    lo_message m = lo_message_new();
    lo_message_add_int32(m, value);
    std::size_t size = 0;
    void* data = lo_message_serialise(m, address, nullptr, &size);
    QByteArray packet(static_cast<const char*>(data), static_cast<qsizetype>(size));
    std::free(data);
    lo_message_free(m);
    return packet;
}

}  // namespace

class TestDeskRemoteRealtime : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvsim::Device> unit_;
    std::unique_ptr<kvsim::PtyServer> line_;
    std::unique_ptr<kvtest::ShellFixture> shell_;
    remote::RemoteSettings settings_;
    QNetworkAccessManager http_;

    CDSDATA& model() { return shell_->model(); }
    CMainFrame& frame() { return shell_->frame(); }
    QString Undo() { return frame().action(CMainFrame::ID_EDIT_UNDO)->text(); }

    // What the unit holds, read under the simulator's lock.
    bool UnitHas(const std::function<bool(const CDSDATA&)>& check) {
        return QTest::qWaitFor(
            [&] {
                bool ok = false;
                line_->WithDevice([&](kvsim::Device& d) { ok = check(d.Working()); });
                return ok;
            },
            kLineMs);
    }

    // The channel sheet on Out 3, open at the desk.
    std::unique_ptr<CDlgSettings> OpenOut3() {
        auto sheet = std::make_unique<CDlgSettings>(model(), 2, &frame());
        sheet->show();
        return QTest::qWaitForWindowExposed(sheet.get()) ? std::move(sheet) : nullptr;
    }

    QNetworkReply* Send(const QByteArray& method, const QString& path, const QByteArray& body) {
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(settings_.http_port).arg(path)));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        request.setRawHeader("X-KV-Client", "web");
        QNetworkReply* reply = http_.sendCustomRequest(request, method, body);
        // An answer that did not come in time fails the caller's check of it.
        (void)QTest::qWaitFor([reply] { return reply->isFinished(); }, 3 * kLineMs);
        return reply;
    }

private slots:
    void initTestCase() {
        QVERIFY(CreateTTYInfo());
        rs232_port = 1;
    }

    void init() {
        unit_ = std::make_unique<kvsim::Device>();
        line_ = std::make_unique<kvsim::PtyServer>(*unit_);
        const std::string path = line_->Start();
        QVERIFY(!path.empty());
        qputenv("KVCOM_COM1", QByteArray::fromStdString(path));
        QVERIFY(OpenConnection());
        shell_ = std::make_unique<kvtest::ShellFixture>();
        model().InitData();
        settings_ = {};
        settings_.enabled = true;
        settings_.http_port = FreeTcpPort();
        settings_.osc_port = FreeUdpPort();
        QString why;
        QVERIFY2(frame().remoteControl()->Apply(settings_, &why), qPrintable(why));
    }

    void cleanup() {
        shell_.reset();
        CloseConnection();
        line_->Stop();
        line_.reset();
        unit_.reset();
        qunsetenv("KVCOM_COM1");
    }

    // An edit on Out 3's page at the desk: every page watching hears of it
    // at once, as made at the desk, and the unit gets it.
    void aPageSeesAnEditMadeAtTheDesk() {
        WatchingClient page;
        QVERIFY(page.Open(settings_.http_port));
        auto* pane = frame().statusBar()->findChild<QLabel*>(QStringLiteral("remotePane"));
        QTRY_COMPARE_WITH_TIMEOUT(pane->text(), QStringLiteral("Remote: 1 client"), 1000);
        auto sheet = OpenOut3();
        QVERIFY(sheet);
        auto* gain = sheet->Tabs()->currentWidget()->findChild<QLineEdit*>(QStringLiteral("gainEdit"));
        const std::size_t before = page.Count();
        QElapsedTimer took;
        took.start();
        gain->setFocus();
        gain->setText(QStringLiteral("-3"));
        QTest::keyClick(gain, Qt::Key_Return);
        QCOMPARE(model().out_gain[2], -15);

        const json change = page.ChangeOf("out3.gain", before);
        const qint64 ms = took.elapsed();
        QVERIFY2(!change.is_null(), "no change reached the page");
        QCOMPARE(QString::fromStdString(change["source"].get<std::string>()), QStringLiteral("desk"));
        QVERIFY(change["value"] == kvprog::SettingValue(model(), {kvprog::Field::Gain, 2}));
        qInfo("edit at the desk to the page: %lld ms", ms);
        QVERIFY2(ms <= 100, qPrintable(QStringLiteral("%1 ms").arg(ms)));
        QVERIFY(UnitHas([](const CDSDATA& u) { return u.out_gain[2] == -15; }));
    }

    // A PATCH from a browser: 758's model, the open page, the undo history
    // marked "web", every page watching, and the unit.
    void aPatchOverHttpIsAnEditOf758() {
        WatchingClient page;
        QVERIFY(page.Open(settings_.http_port));
        auto sheet = OpenOut3();
        QVERIFY(sheet);
        auto* gain = sheet->Tabs()->currentWidget()->findChild<QLineEdit*>(QStringLiteral("gainEdit"));
        const std::size_t before = page.Count();

        std::unique_ptr<QNetworkReply> reply(
            Send("PATCH", QStringLiteral("/api/v1/program"), R"({"out3.gain": -2.4})"));
        QVERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(model().out_gain[2], -12);
        QTRY_COMPARE_WITH_TIMEOUT(gain->text(), QString::fromStdString(kvvalues::FormatLevel(-12)), 1000);
        QCOMPARE(Undo(), QStringLiteral("&Undo Out 3 gain (web)"));
        const json change = page.ChangeOf("out3.gain", before);
        QVERIFY(!change.is_null());
        QCOMPARE(QString::fromStdString(change["source"].get<std::string>()), QStringLiteral("web"));
        QVERIFY(UnitHas([](const CDSDATA& u) { return u.out_gain[2] == -12; }));
    }

    // An OSC message from show-control software reaches the model and the
    // unit, and every page watching hears of it as OSC's.
    void anOscMessageReachesTheModelAndThePages() {
        WatchingClient page;
        QVERIFY(page.Open(settings_.http_port));
        const int muted = model().out_mute[2] ? 0 : 1;
        const std::size_t before = page.Count();
        QUdpSocket sender;
        QCOMPARE(sender.writeDatagram(OscMessage("/kv/out/3/mute", muted), QHostAddress::LocalHost, settings_.osc_port),
                 qint64(OscMessage("/kv/out/3/mute", muted).size()));
        QTRY_COMPARE_WITH_TIMEOUT(model().out_mute[2], muted, kLineMs);
        const json change = page.ChangeOf("out3.mute", before);
        QVERIFY(!change.is_null());
        QCOMPARE(QString::fromStdString(change["source"].get<std::string>()), QStringLiteral("osc"));
        QVERIFY(change["value"] == (muted == 1));
        QCOMPARE(Undo(), QStringLiteral("&Undo Out 3 mute (osc)"));
        QVERIFY(UnitHas([muted](const CDSDATA& u) { return u.out_mute[2] == muted; }));
    }

    // A recall asked over HTTP runs as a device task at the desk: 758's
    // program becomes the memory's, a new history starts, the pages hear of
    // it, and the answer comes once it is done.
    void aRecallOverHttpReplacesTheProgram() {
        CDSDATA stored(model());
        stored.out_gain[4] = 33;
        stored.ina_delay = 480;
        line_->WithDevice([&](kvsim::Device& d) { d.StoreMemory(7, stored, "SHOW7"); });
        WatchingClient page;
        QVERIFY(page.Open(settings_.http_port));
        model().cur_chan = 0;
        model().out_mute[0] = model().out_mute[0] ? 0 : 1;
        device::SendParam(model(), PC_OUT_MUTE);
        QVERIFY(frame().action(CMainFrame::ID_EDIT_UNDO)->isEnabled());
        const std::size_t before = page.Count();

        std::unique_ptr<QNetworkReply> reply(Send("POST", QStringLiteral("/api/v1/memories/7/recall"), QByteArray()));
        QVERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(model().out_gain[4], 33);
        QCOMPARE(model().ina_delay, 480);
        QVERIFY(!frame().action(CMainFrame::ID_EDIT_UNDO)->isEnabled());
        const json change = page.ChangeOf("out5.gain", before);
        QVERIFY(!change.is_null());
        QCOMPARE(QString::fromStdString(change["source"].get<std::string>()), QStringLiteral("unit"));
        QCOMPARE(frame().remoteControl()->host().Memories().current, 7);
        QCOMPARE(QString::fromStdString(frame().remoteControl()->host().differs()), QString());
    }
};

QTEST_MAIN(TestDeskRemoteRealtime)
#include "tst_desk_remote_realtime.moc"
