// Upload and Download against the simulated processor on a pseudo-terminal,
// in real time: the program's model follows the device and back, and the
// window keeps handling events while the device is busy.
#include <QAction>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <kvcom/kvcom.h>

#include "device.h"
#include "document/my758_doc.h"
#include "memory/dlg_memory_no.h"
#include "pty_server.h"
#include "routing/my758_view.h"
#include "shell/main_frame.h"
#include "modal_answerer.h"
#include "shell_fixture.h"
#include "device/device_task.h"
#include "widgets/string_table.h"

#include <QLineEdit>
#include <QPushButton>
#include <QProgressDialog>

class TestViewDevice : public QObject {
    Q_OBJECT

private:
    kvsim::Device device_;
    std::unique_ptr<kvsim::PtyServer> server_;
    std::unique_ptr<kvtest::ShellFixture> shell_;
    CMy758Doc* doc_ = nullptr;
    CMainFrame* frame_ = nullptr;

private slots:
    void initTestCase() {
        RegisterProgramStrings();
        server_ = std::make_unique<kvsim::PtyServer>(device_);
        const std::string path = server_->Start();
        QVERIFY(!path.empty());
        qputenv("KVCOM_COM1", QByteArray::fromStdString(path));
        CreateTTYInfo();
        rs232_port = 1;
        QVERIFY(OpenConnection() != 0);
    }

    void cleanupTestCase() {
        CloseConnection();
        server_->Stop();
        qunsetenv("KVCOM_COM1");
    }

    void init() {
        shell_ = std::make_unique<kvtest::ShellFixture>();
        doc_ = &shell_->doc();
        frame_ = &shell_->frame();
    }

    void cleanup() { shell_.reset(); }

    void uploadTakesTheDevicesProgram() {
        CDSDATA program;
        program.figuration = 2;
        program.link_on = 1;
        program.InitData();
        program.out_gain[4] = -20;
        program.out_delay[1] = 4800;
        std::strcpy(program.prog_name, "ONAIR");
        server_->WithDevice([&program](kvsim::Device& d) { d.SetWorking(program); });

        // The event loop runs on while the device answers.
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(10);
        kvtest::ModalAnswerer answers;
        frame_->action(CMainFrame::ID_UPLOAD)->trigger();
        ticker.stop();

        QVERIFY(answers.seen.isEmpty());  // no failure message
        const CDSDATA& m = doc_->Model();
        QCOMPARE(int(m.figuration), 2);
        QCOMPARE(m.link_on, 1);
        QCOMPARE(m.out_gain[4], -20);
        QCOMPARE(m.out_delay[1], 4800);
        QCOMPARE(QByteArray(m.prog_name).trimmed(), QByteArray("ONAIR"));
        QCOMPARE(int(m.mem_num), 1);
        // The view was re-initialised for the fetched configuration.
        QVERIFY(frame_->view()->button(1156)->isVisibleTo(frame_->view()));
        QVERIFY2(ticks >= 5, qPrintable(QStringLiteral("%1 ticks").arg(ticks)));
        // What was done, and how long it took.
        const QString said = frame_->statusBar()->currentMessage();
        QVERIFY2(QRegularExpression(QStringLiteral(R"(^Uploaded the unit's working program into the PC in \d+\.\d s$)"))
                     .match(said)
                     .hasMatch(),
                 qPrintable(said));
    }

    void downloadSendsTheModelWithItsName() {
        CDSDATA& m = doc_->Model();
        m.figuration = 1;
        m.link_on = 0;
        m.InitData();
        m.out_gain[0] = 15;
        m.out_limit[3] = -5;
        kvtest::ModalAnswerer answers;
        answers.Then([](QWidget* w) {
            auto* dlg = qobject_cast<CDlgMemoryNo*>(w);
            QVERIFY(dlg);
            dlg->nameEdit()->setText(QStringLiteral("DOWN"));
            dlg->accept();
        });
        frame_->action(CMainFrame::ID_DOWNLOAD)->trigger();
        QCOMPARE(answers.pending(), 0);

        // The device has taken the program once its line has caught up.
        QTRY_VERIFY_WITH_TIMEOUT(
            [this] {
                bool same = false;
                server_->WithDevice([&same](kvsim::Device& d) {
                    const CDSDATA& w = d.Working();
                    same = w.figuration == 1 && w.out_gain[0] == 15 && w.out_limit[3] == -5;
                });
                return same;
            }(),
            3000);
        server_->WithDevice([](kvsim::Device& d) {
            QCOMPARE(int(d.Working().figuration), 1);
            QCOMPARE(d.Working().out_mute[2], 1);  // every output went muted
        });
    }

    void onlyOneDeviceOperationAtOnce() {
        CDSDATA& m = doc_->Model();
        int inner_result = -1;
        bool inner_ran = false;
        QTimer::singleShot(50, this, [&] {
            QVERIFY(DeviceTaskRunning());
            inner_result = RunDeviceTask(frame_, QStringLiteral("second"), m, [&inner_ran](CDSDATA&) {
                inner_ran = true;
                return 1;
            });
        });
        const int outer = RunDeviceTask(frame_, QStringLiteral("first"), m, [](CDSDATA& copy) {
            QThread::msleep(300);
            copy.out_gain[5] = 7;
            return 1;
        });
        QCOMPARE(outer, 1);
        QCOMPARE(inner_result, 0);
        QVERIFY(!inner_ran);
        QVERIFY(!DeviceTaskRunning());
        QCOMPARE(m.out_gain[5], 7);  // the copy came back
    }

    void progressShowsWhileTheDeviceIsBusy() {
        bool shown_early = true;
        bool shown_later = false;
        auto progress_visible = [] {
            auto* d = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            return d != nullptr && d->isVisible() && d->labelText() == QStringLiteral("busy");
        };
        QTimer::singleShot(50, this, [&] { shown_early = progress_visible(); });
        QTimer::singleShot(500, this, [&] { shown_later = progress_visible(); });
        RunDeviceTask(frame_, QStringLiteral("busy"), doc_->Model(), [](CDSDATA&) {
            QThread::msleep(700);
            return 1;
        });
        QVERIFY(!shown_early);  // a quick operation does not flash a window
        QVERIFY(shown_later);
        QVERIFY(!progress_visible());
    }

    void windowStaysOpenWhileTheDeviceIsBusy() {
        bool closed = true;
        QTimer::singleShot(50, this, [&] { closed = frame_->close(); });
        RunDeviceTask(frame_, QStringLiteral("busy"), doc_->Model(), [](CDSDATA&) {
            QThread::msleep(200);
            return 1;
        });
        QVERIFY(!closed);
        QVERIFY(frame_->isVisible());
    }
};

QTEST_MAIN(TestViewDevice)
#include "tst_view_device.moc"
