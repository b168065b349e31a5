// 758 as the remote-control server's host, without a network: a remote
// edit takes the path of an edit at the desk (model, line, undo history
// marked with its source), open pages show it at once and keep the user's
// typing and cursors, the server answers busy or not connected without
// touching anything, a configuration from the network resets as Figuration
// does, and whether the program served is the unit's.
#include <QAction>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

#include <nlohmann/json.hpp>

#include "channel/dlg_settings.h"
#include "device/device_line.h"
#include "device/device_task.h"
#include "device_queue.h"
#include "kvhistory/model_fields.h"
#include "kvremote/request.h"
#include "kvremote/server.h"
#include "kvvalues/text_conversions.h"
#include "remote/desk_host.h"
#include "remote/remote_control.h"
#include "shell_fixture.h"
#include "wire_recorder.h"

using nlohmann::json;

namespace {

kvremote::Source SourceNamed(const QString& name) {
    if (name == QLatin1String("osc")) return kvremote::Source::kOsc;
    if (name == QLatin1String("api")) return kvremote::Source::kApi;
    return kvremote::Source::kWeb;
}

QString Status(const kvremote::Response& r) {
    return QStringLiteral("%1 %2").arg(r.status).arg(QString::fromStdString(r.body).trimmed());
}

}  // namespace

class TestRemoteHost : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::ShellFixture> shell_;
    CDSDATA& model() { return shell_->model(); }
    CMainFrame& frame() { return shell_->frame(); }
    kvremote::RequestHandler& handler() { return frame().remoteControl()->server().handler(); }
    remote::DeskHost& host() { return frame().remoteControl()->host(); }
    QAction* undo() { return frame().action(CMainFrame::ID_EDIT_UNDO); }

    // The channel sheet open on the page of `output`, as the desk has it.
    std::unique_ptr<CDlgSettings> OpenSheet(int output) {
        auto sheet = std::make_unique<CDlgSettings>(model(), output, &frame());
        sheet->show();
        if (!QTest::qWaitForWindowExposed(sheet.get())) return nullptr;
        return sheet;
    }

private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void init() { shell_ = std::make_unique<kvtest::ShellFixture>(); }
    void cleanup() { shell_.reset(); }

    // One request is one step of the history, named after its first setting
    // and marked with who sent it; undo at the desk sends the old values.
    void aRemoteEditIsAnEditOfTheDesk_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("undo_text");
        QTest::addColumn<int>("messages");
        QTest::newRow("a gain from a phone") << "web"
                                             << R"({"out3.gain": -2.4})"
                                             << "Out 3 gain (web)" << 1;
        QTest::newRow("two mutes over OSC") << "osc"
                                            << R"({"out1.mute": false, "out2.mute": false})"
                                            << "Out 1 mute and 1 more (osc)" << 2;
        QTest::newRow("an input delay from a script") << "api"
                                                      << R"({"ina.delay": "1.5ms"})"
                                                      << "In A delay (api)" << 1;
        QTest::newRow("a crossover: type and frequency") << "web"
                                                         << R"({"out2.hp": "120Hz lr24"})"
                                                         << "Out 2 high-pass (web)" << 2;
    }
    void aRemoteEditIsAnEditOfTheDesk() {
        QFETCH(QString, source);
        QFETCH(QString, body);
        QFETCH(QString, undo_text);
        QFETCH(int, messages);
        kvtest::WireRecorder wire;
        const std::vector<int> before = history::Flatten(model());
        const kvremote::Response r = handler().Patch(json::parse(body.toStdString()), SourceNamed(source));
        QCOMPARE(r.status, 200);
        QVERIFY(history::Flatten(model()) != before);
        QCOMPARE(int(wire.Messages().size()), messages);
        QCOMPARE(undo()->text(), QStringLiteral("&Undo ") + undo_text);

        wire.Clear();
        undo()->trigger();
        QVERIFY(history::Flatten(model()) == before);
        QCOMPARE(int(wire.Messages().size()), messages);
        QVERIFY(!undo()->isEnabled());
    }

    // The open page shows a remote edit at once; the cursors the open
    // windows set stay where they were.
    void theOpenPageShowsARemoteEdit() {
        kvtest::WireRecorder wire;
        auto sheet = OpenSheet(2);
        QVERIFY(sheet);
        auto* page = sheet->Tabs()->currentWidget();
        auto* gain = page->findChild<QLineEdit*>(QStringLiteral("gainEdit"));
        auto* slider = page->findChild<QSlider*>(QStringLiteral("gainSlider"));
        QVERIFY(gain && slider);
        model().cur_chan = 2;
        model().cur_slot = 3;
        model().xo_side = 1;

        QCOMPARE(handler().Patch(json{{"out3.gain", -2.4}}, kvremote::Source::kWeb).status, 200);
        QCOMPARE(model().out_gain[2], -12);
        const QString shown = QString::fromStdString(kvvalues::FormatLevel(-12));
        QTRY_COMPARE_WITH_TIMEOUT(gain->text(), shown, 500);
        QCOMPARE(slider->value(), 12);
        QCOMPARE(model().cur_chan, 2);
        QCOMPARE(model().cur_slot, 3);
        QCOMPARE(model().xo_side, 1);
    }

    // What the user is typing stays while another setting changes under it;
    // Enter then sends what was typed.
    void typingInProgressIsKept() {
        kvtest::WireRecorder wire;
        auto sheet = OpenSheet(2);
        QVERIFY(sheet);
        auto* page = sheet->Tabs()->currentWidget();
        auto* gain = page->findChild<QLineEdit*>(QStringLiteral("gainEdit"));
        auto* limit = page->findChild<QLineEdit*>(QStringLiteral("limitEdit"));
        gain->setFocus();
        QTRY_VERIFY(gain->hasFocus());
        gain->selectAll();
        QTest::keyClicks(gain, QStringLiteral("-6"));

        QCOMPARE(handler().Patch(json{{"out3.limit", 4}}, kvremote::Source::kOsc).status, 200);
        const QString limit_shown = QString::fromStdString(kvvalues::FormatLimit(model().out_limit[2]));
        QTRY_COMPARE_WITH_TIMEOUT(limit->text(), limit_shown, 500);
        QCOMPARE(gain->text(), QStringLiteral("-6"));
        QTest::keyClick(gain, Qt::Key_Return);
        QCOMPARE(model().out_gain[2], -30);
    }

    // Refused requests change nothing and send nothing.
    void busyOrUnplugged_data() {
        QTest::addColumn<bool>("desk_busy");
        QTest::addColumn<bool>("line_up");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::newRow("the memory manager is open") << true << true << 409 << "The memory manager at the desk";
        QTest::newRow("the unit is unplugged") << false << false << 503 << "not connected";
    }
    void busyOrUnplugged() {
        QFETCH(bool, desk_busy);
        QFETCH(bool, line_up);
        QFETCH(int, status);
        QFETCH(QString, reason);
        kvtest::WireRecorder wire;
        wire.up = line_up;
        std::optional<DeskOperation> busy;
        if (desk_busy) busy.emplace(QStringLiteral("The memory manager"));
        const std::vector<int> before = history::Flatten(model());
        const kvremote::Response r = handler().Patch(json{{"out1.mute", false}}, kvremote::Source::kWeb);
        QCOMPARE(r.status, status);
        QVERIFY2(Status(r).contains(reason), qPrintable(Status(r)));
        QVERIFY(history::Flatten(model()) == before);
        QVERIFY(wire.Messages().empty());
        QVERIFY(!undo()->isEnabled());
        QCOMPARE(QString::fromStdString(host().Unit().busy).isEmpty(), !desk_busy);
    }

    // A configuration from the network resets the PC's program as Figuration
    // does: the sheet made for the old one closes, a new history starts, and
    // the unit gets the configuration as one device task.
    void aConfigurationFromTheNetworkResetsAsFigurationDoes() {
        kvtest::WireRecorder wire;
        model().out_gain[0] = 20;
        handler().SetPolicy(kvremote::AccessPolicy{.allow_reset = true});
        auto sheet = OpenSheet(0);
        QVERIFY(sheet);
        model().cur_chan = 0;
        model().out_mute[0] = 0;
        device::SendParam(model(), PC_OUT_MUTE);
        QVERIFY(undo()->isEnabled());
        wire.Clear();

        QCOMPARE(handler().Patch(json{{"config", "2 Channel 3 Way"}}, kvremote::Source::kWeb).status, 200);
        QCOMPARE(int(model().figuration), 1);
        QCOMPARE(model().out_gain[0], 0);  // the factory values
        QVERIFY(!undo()->isEnabled());
        QCOMPARE(host().Unit().busy, std::string("a Figuration"));
        QTRY_VERIFY_WITH_TIMEOUT(!sheet->isVisible(), 500);
        QTRY_VERIFY_WITH_TIMEOUT(host().Unit().busy.empty(), 2000);
        QVERIFY2(!wire.Messages().empty() && wire.Messages().front() == kvtest::Hex("F0 00 20 18 00 2D 01 12 01 01 F7"),
                 wire.Describe().c_str());
    }

    // The host hears of the desk's news through the line and the document.
    void theHostFollowsTheDesk() {
        kvtest::WireRecorder wire;
        host().LinkChanged();
        QVERIFY(host().differs().find("has not read") != std::string::npos);
        device::NotifyProgramMatchesUnit(model(), true);  // an Upload
        QTRY_VERIFY_WITH_TIMEOUT(host().differs().empty(), 500);
        model().cur_chan = 0;
        model().out_mute[0] = !model().out_mute[0];
        device::SendParam(model(), PC_OUT_MUTE);
        QTest::qWait(10);
        QVERIFY(host().differs().empty());
        model().ina_delay += 10;  // as Take in Compare does
        emit shell_->doc().documentReset();
        QTRY_VERIFY_WITH_TIMEOUT(host().differs().find("in 1 setting") != std::string::npos, 500);
    }
};

QTEST_MAIN(TestRemoteHost)
#include "tst_remote_host.moc"
