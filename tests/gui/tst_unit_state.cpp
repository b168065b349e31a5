// Whether the PC's program is the unit's, as the status bar, the channel
// sheet and Compare show it, against the simulated unit on the recording
// line: read when the link opens without recalling anything, kept true
// after Upload and edits, and the edits made while the unit was away
// offered again when it is back.
#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <kvcom/kvcom.h>

#include "channel/dlg_settings.h"
#include "compare/dlg_compare.h"
#include "device.h"
#include "device/device_line.h"
#include "device/unit_state.h"
#include "device_queue.h"
#include "modal_answerer.h"
#include "reception.h"
#include "scripted_user.h"
#include "shell_fixture.h"
#include "wire_recorder.h"

class TestUnitState : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::ShellFixture> shell_;
    std::unique_ptr<kvsim::Device> unit_;
    std::unique_ptr<kvtest::WireRecorder> wire_;

    CDSDATA& model() { return shell_->model(); }
    CMainFrame& frame() { return shell_->frame(); }
    device::UnitState& state() { return *frame().unitState(); }
    QLabel* pane() { return frame().statusBar()->findChild<QLabel*>(QStringLiteral("unitPane")); }
    // The pane's words without its links.
    QString PaneWords() {
        QTextDocument doc;
        doc.setHtml(pane()->text());
        return doc.toPlainText();
    }
    // The unit is plugged in or pulled, as the frame's link watch finds it.
    void Plug(bool up) {
        wire_->up = up;
        state().LinkChanged();
    }
    void EditGain(int output, int gain) {
        model().cur_chan = output;
        model().out_gain[output] = gain;
        device::SendParam(model(), PC_OUT_GAIN);
    }
    // The messages the unit got that would have made it play something else.
    int RecallsSent() const {
        const auto messages = wire_->Messages();
        return static_cast<int>(std::count_if(messages.begin(), messages.end(),
                                              [](const kvtest::Bytes& m) { return !m.empty() && m[0] == 0xC0; }));
    }

private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void init() {
        shell_ = std::make_unique<kvtest::ShellFixture>();
        unit_ = std::make_unique<kvsim::Device>();
        wire_ = std::make_unique<kvtest::WireRecorder>();
        wire_->on_write = [this](const kvtest::Bytes& message) {
            const kvtest::Bytes reply = unit_->Feed(message.data(), message.size());
            if (!reply.empty()) kvcom::HandleChunk(reply.data(), reply.size());
        };
        wire_->up = false;
        state().SetReadsUnitOnLink(true);
        state().LinkChanged();
    }
    void cleanup() {
        QTRY_COMPARE(device::Line().Pending(), 0);
        wire_.reset();
        shell_.reset();
        unit_.reset();
        kvtest::ResetReception();
    }

    // Started while the unit plays another program: the unit is read when
    // the link opens (nothing recalled) and the status bar says how far
    // they differ, with Upload, Download and Compare; Upload brings them
    // together, and edits sent keep them so.
    void theStatusBarSaysWhetherPcAndUnitAgree() {
        CDSDATA other(model());
        other.figuration = 1;
        other.InitData();
        unit_->SetWorking(other);
        QVERIFY(!pane()->isVisible());  // no link: the link pane says it all

        Plug(true);
        QTRY_VERIFY2(PaneWords().startsWith(QStringLiteral("PC differs from the unit: ")), qPrintable(PaneWords()));
        QVERIFY2(PaneWords().endsWith(QStringLiteral(" settings — Upload, Download or Compare")), qPrintable(PaneWords()));
        for (const char* link : {"upload", "download", "compare"})
            QVERIFY(pane()->text().contains(QStringLiteral("href=\"%1\"").arg(QLatin1String(link))));
        QCOMPARE(RecallsSent(), 0);
        QCOMPARE(int(model().figuration), 0);  // the PC's program is left as it is

        frame().action(CMainFrame::ID_UPLOAD)->trigger();
        QTRY_COMPARE(PaneWords(), QStringLiteral("PC and unit agree"));
        EditGain(3, -10);
        QTest::qWait(20);
        QCOMPARE(PaneWords(), QStringLiteral("PC and unit agree"));
        QCOMPARE(unit_->Working().out_gain[3], -10);

        // The channel sheet, which hides the status bar, says it too.
        CDlgSettings sheet(model(), 3);
        auto* line = sheet.findChild<QLabel*>(QStringLiteral("unitStateLine"));
        QVERIFY(line);
        QVERIFY2(line->text().endsWith(QStringLiteral("PC and unit agree")), qPrintable(line->text()));

        // A change on the PC alone (as Take or Import make it) shows at once.
        model().out_delay[1] = 96;
        device::NotifyModelChanged(model());
        QTRY_COMPARE(PaneWords(), QStringLiteral("PC differs from the unit: 1 setting — Upload, Download or Compare"));
        QTRY_VERIFY2(line->text().endsWith(QStringLiteral("PC differs from the unit: 1 setting")),
                     qPrintable(line->text()));
    }

    // Edits made while the unit was away stay on the PC; when it is back,
    // the status bar says so, and Compare opens on them selected.
    void editsMadeWithoutTheUnitAreOfferedAgain() {
        Plug(true);
        QTRY_COMPARE(PaneWords(), QStringLiteral("PC and unit agree"));
        Plug(false);
        EditGain(0, 20);
        EditGain(4, -30);
        QVERIFY(!unit_->Working().out_gain[0]);
        QTRY_VERIFY(!pane()->isVisible());

        Plug(true);
        QTRY_COMPARE(PaneWords(), QStringLiteral("PC differs from the unit: 2 settings, edited while the unit was away — "
                                                 "Upload, Download or Compare"));
        QVERIFY2(frame().statusBar()->currentMessage().contains(QStringLiteral("2 settings edited while it was away")),
                 qPrintable(frame().statusBar()->currentMessage()));

        emit pane()->linkActivated(QStringLiteral("compare"));
        auto* compare = frame().findChild<CDlgCompare*>();
        QVERIFY(compare);
        const std::vector<kvprog::SettingRef> selected = compare->selectedSettings();
        QCOMPARE(selected.size(), std::size_t(2));
        QCOMPARE(kvprog::PathOf(selected[0]), std::string("out1.gain"));
        QCOMPARE(kvprog::PathOf(selected[1]), std::string("out5.gain"));
        compare->sendSelected();
        QCOMPARE(unit_->Working().out_gain[4], -30);
        QTRY_COMPARE(PaneWords(), QStringLiteral("PC and unit agree"));
        compare->close();
    }
};

QTEST_MAIN(TestUnitState)
#include "tst_unit_state.moc"
