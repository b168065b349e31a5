// The program's device queue as the user meets it: the status bar shows
// pending sends, closing lets every queued edit go out first (behind a
// progress window when that takes a while), and each send's result comes
// back on the window's thread.
#include <QLabel>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QtTest>

#include <chrono>
#include <future>
#include <thread>

#include "device/device_line.h"
#include "modal_answerer.h"
#include "shell_fixture.h"
#include "wire_recorder.h"

class TestDeviceQueue : public QObject {
    Q_OBJECT

private slots:
    void closeLetsEveryQueuedEditGoOut() {
        kvtest::ShellFixture shell;
        shell.frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&shell.frame()));
        kvtest::WireRecorder wire;
        device::DeviceLine& line = device::Line();
        QSignalSpy results(&line, &device::DeviceLine::sendFinished);
        bool results_on_window_thread = true;
        connect(&line, &device::DeviceLine::sendFinished, this,
                [&] { results_on_window_thread &= QThread::currentThread() == thread(); });

        // The line is busy with something long until another thread lets go.
        std::promise<void> let_go;
        CDSDATA busy_model(shell.model());
        line.thread().QueueTask(busy_model, [gone = let_go.get_future().share()](CDSDATA&) {
            gone.wait();
            return 1;
        });

        // A gain drag on Out 1 and mute clicks on Out 2 pile up meanwhile.
        CDSDATA& m = shell.model();
        for (int v = 1; v <= 5; ++v) {
            m.cur_chan = 0;
            m.out_gain[0] = v;
            device::SendParam(m, PC_OUT_GAIN);
            m.cur_chan = 1;
            m.out_mute[1] = v % 2;
            device::SendParam(m, PC_OUT_MUTE);
        }
        auto* indicator = shell.frame().findChild<QLabel*>(QStringLiteral("sendingIndicator"));
        QVERIFY(indicator);
        QTRY_COMPARE(indicator->text(), QStringLiteral("Sending 3"));  // the long job and the two last values
        QVERIFY(indicator->isVisible());

        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            let_go.set_value();
        });
        bool progress_shown = false;
        QTimer look;
        connect(&look, &QTimer::timeout, this, [&] {
            for (auto* d : shell.frame().findChildren<QProgressDialog*>())
                progress_shown |= d->isVisible() && d->labelText().startsWith(QStringLiteral("Sending"));
        });
        look.start(20);
        // The edits changed the program: closing asks whether to save it.
        kvtest::ModalAnswerer answers;
        answers.ThenPress(QStringLiteral("No"));
        const bool closed = shell.frame().close();
        releaser.join();
        look.stop();

        QVERIFY(closed);
        QVERIFY(progress_shown);
        QCOMPARE(line.Pending(), 0);
        // Only the last gain and the last mute went out, in the order asked.
        const std::vector<kvtest::WireEvent> queued = wire.events;
        wire.Clear();
        CDSDATA one_by_one(m);
        one_by_one.cur_chan = 0;
        one_by_one.SendParam(PC_OUT_GAIN);
        one_by_one.cur_chan = 1;
        one_by_one.SendParam(PC_OUT_MUTE);
        QVERIFY2(queued == wire.events, kvtest::Describe(queued).c_str());

        QTRY_COMPARE(results.count(), 2);
        QVERIFY(results_on_window_thread);
        for (const QList<QVariant>& r : results) QCOMPARE(r.at(1).toInt(), 1);
        QTRY_VERIFY(!indicator->isVisible());
    }
};

QTEST_MAIN(TestDeviceQueue)
#include "tst_device_queue.moc"
