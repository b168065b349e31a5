// The link as the window shows it, against the simulated unit on a
// pseudo-terminal in real time: the status-bar pane, a hang-up, the quiet
// reopen when the unit is back, a dead port, and Cancel in the RS232 dialog.
#include <QElapsedTimer>
#include <QLabel>
#include <QRadioButton>
#include <QStatusBar>
#include <QtTest>

#include <kvcom/kvcom.h>

#include "device.h"
#include "scripted_user.h"
#include "pty_pair.h"
#include "pty_server.h"
#include "settings/dlg_rs232.h"
#include "shell/link_watch.h"
#include "modal_answerer.h"
#include "shell_fixture.h"
#include "widgets/link_text.h"

using namespace kvtest;

namespace {

QString Pane(CMainFrame& frame) { return frame.findChild<QLabel*>(QStringLiteral("linkPane"))->text(); }

}  // namespace

class TestLinkRealtime : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(CreateTTYInfo());
        rs232_port = 1;
    }

    void cleanup() {
        CloseConnection();
        qunsetenv("KVCOM_COM1");
        qunsetenv("KVCOM_COM2");
    }

    void paneTexts_data() {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("pane");
        QTest::newRow("connected") << true << ""
                                   << "COM1 /dev/ttyUSB0 connected";
        QTest::newRow("no device") << false << "There is no such device."
                                   << "COM1 /dev/ttyUSB0 not connected: there is no such device";
        QTest::newRow("no reason yet") << false << ""
                                       << "COM1 /dev/ttyUSB0 not connected";
    }
    void paneTexts() {
        QFETCH(bool, connected);
        QFETCH(QString, reason);
        QFETCH(QString, pane);
        QCOMPARE(QString::fromStdString(linktext::PaneText(1, "/dev/ttyUSB0", connected, reason.toStdString())), pane);
    }

    // The pane follows a hang-up within a second; once the unit is back the
    // same port opens again by itself and the status bar says so.
    void paneFollowsHangUpAndTheUnitComingBack() {
        kvsim::Device unit;
        auto server = std::make_unique<kvsim::PtyServer>(unit);
        const QString path = QString::fromStdString(server->Start());
        QVERIFY(!path.isEmpty());
        qputenv("KVCOM_COM1", path.toLocal8Bit());
        QVERIFY(OpenConnection());
        ShellFixture shell;
        QTRY_COMPARE_WITH_TIMEOUT(Pane(shell.frame()), QStringLiteral("COM1 %1 connected").arg(path), 1000);

        QElapsedTimer clock;
        clock.start();
        server->Stop();  // the adapter is pulled
        const QString down = QStringLiteral("COM1 %1 not connected: ").arg(path);
        QTRY_VERIFY_WITH_TIMEOUT(Pane(shell.frame()).startsWith(down), 1000);
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY2(Pane(shell.frame()).size() > down.size(), qPrintable(Pane(shell.frame())));
        QCOMPARE(shell.frame().statusBar()->currentMessage(),
                 QStringLiteral("Unit not connected: edits stay on the PC"));

        // Back, under its new name as a pseudo-terminal gets one.
        server = std::make_unique<kvsim::PtyServer>(unit);
        const QString again = QString::fromStdString(server->Start());
        qputenv("KVCOM_COM1", again.toLocal8Bit());
        clock.restart();
        QTRY_COMPARE_WITH_TIMEOUT(Pane(shell.frame()), QStringLiteral("COM1 %1 connected").arg(again), 3000);
        QVERIFY(clock.elapsed() <= LinkWatch::kReopenMs + 2 * LinkWatch::kPollMs);
        QCOMPARE(shell.frame().statusBar()->currentMessage(), QStringLiteral("Unit connected on COM1 (%1)").arg(again));
        CDSDATA model;
        QCOMPARE(model.MemRefresh(), 1);  // the reopened link carries a whole list
        server->Stop();
    }

    // Store on a port with no device: said at once with the reason, nothing
    // sent, memory 5 not marked used.
    void storeOnADeadPortMarksNothingUsed() {
        qputenv("KVCOM_COM1", "/nonexistent/ttyKV1");
        QCOMPARE(OpenConnection(), 0);
        CDSDATA model;
        model.mem_num = 5;
        CDlgMemory d(model);
        ScriptedUser user;
        user.typed_name = QStringLiteral("GHOST5");
        user.Attach(d);
        QElapsedTimer clock;
        clock.start();
        d.store();
        QVERIFY(clock.elapsed() < 500);
        QCOMPARE(data_memoryb[5], 0);
        QCOMPARE(TableName(5), QStringLiteral("<None>"));
        QCOMPARE(user.told.size(), 1);
        QVERIFY2(user.told.first().contains(QStringLiteral("not connected on COM1 (/nonexistent/ttyKV1): there is no "
                                                           "such device")),
                 qPrintable(user.told.first()));
    }

    // Cancel after a failed OK puts back the port, its setting and the link.
    void rs232CancelAfterAFailedOkRestores() {
        TestSettings settings;
        PtyPair pty;
        QVERIFY(pty.ok());
        pty.AttachAsCom(1);
        rs232_port = 1;
        StorePort(1);
        QVERIFY(OpenConnection());
        qputenv("KVCOM_COM2", "/nonexistent/ttyKV2");
        ModalAnswerer answers;  // the failure box gets its OK
        CDlgRS232 dlg;
        dlg.show();
        dlg.portButton(2)->setChecked(true);
        dlg.accept();
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(rs232_port, 2);
        dlg.reject();
        QCOMPARE(rs232_port, 1);
        QCOMPARE(StoredPort(), 1);
        QCOMPARE(npTTYInfo->connected.load(), 1);
        QCOMPARE(int(npTTYInfo->port_number), 1);
    }
};

QTEST_MAIN(TestLinkRealtime)
#include "tst_link_realtime.moc"
