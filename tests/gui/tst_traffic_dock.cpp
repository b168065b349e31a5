// View > Traffic: the dock lists what went to and came from the unit in
// words, costs nothing while closed or paused, keeps a bounded list and
// saves it as text.
#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <kvcom/kvcom.h>

#include "device/device_line.h"
#include "device_queue.h"
#include "reception.h"
#include "shell_fixture.h"
#include "traffic/traffic_dock.h"
#include "traffic/traffic_model.h"
#include "wire_recorder.h"

using kvtest::Bytes;
using kvtest::Hex;
using traffic::TrafficDock;
using traffic::TrafficModel;

namespace {

QString Cell(const TrafficModel* m, int row, int column) { return m->index(row, column).data().toString(); }

void Receive(const std::string& hex) {
    const Bytes b = Hex(hex);
    kvcom::HandleChunk(b.data(), b.size());
}

std::vector<traffic::TrafficRecord> Records(int count, qint64 first_us) {
    std::vector<traffic::TrafficRecord> out;
    for (int i = 0; i < count; ++i)
        out.push_back({first_us + i * 1000, TRAFFIC_SENT, QByteArray::fromHex("F0002018000601F7")});
    return out;
}

}  // namespace

class TestTrafficDock : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::ShellFixture> shell_;
    QAction* toggle_ = nullptr;
    TrafficDock* dock_ = nullptr;

private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void init() {
        shell_ = std::make_unique<kvtest::ShellFixture>();
        toggle_ = shell_->frame().findChild<QAction*>(QStringLiteral("viewTraffic"));
        dock_ = shell_->frame().findChild<TrafficDock*>();
        QVERIFY(toggle_ && dock_);
        kvcom::rev_mode.store(kvcom::REV_IDLE);
    }
    void cleanup() { shell_.reset(); }

    void listsASentEditAndAReplyInWords() {
        QVERIFY(!dock_->isVisible());
        QVERIFY(!dock_->Capturing());
        toggle_->trigger();
        QVERIFY(dock_->isVisible());
        QVERIFY(dock_->Capturing());

        kvtest::WireRecorder wire;
        CDSDATA& model = shell_->model();
        model.cur_chan = 2;
        model.out_gain[2] = -12;
        device::SendParam(model, PC_OUT_GAIN);
        Receive("F0 00 20 18 00 06 02 03 00 06 F7");
        dock_->drain();

        const TrafficModel* rows = dock_->model();
        QCOMPARE(rows->rowCount(), 2);
        QCOMPARE(Cell(rows, 0, TrafficModel::kDirection), QStringLiteral("to unit"));
        QCOMPARE(Cell(rows, 0, TrafficModel::kMessage), QStringLiteral("Out 3 gain -2.4 dB"));
        QCOMPARE(Cell(rows, 0, TrafficModel::kBytes), QStringLiteral("F0 00 20 18 00 2D 62 62 00 3F F7"));
        QCOMPARE(Cell(rows, 1, TrafficModel::kDirection), QStringLiteral("from unit"));
        QCOMPARE(Cell(rows, 1, TrafficModel::kMessage), QStringLiteral("identity reply, unit 0"));
        QVERIFY(Cell(rows, 0, TrafficModel::kTime).toDouble() >= 0.0);
        // The bytes are shown on demand only.
        QVERIFY(dock_->table()->isColumnHidden(TrafficModel::kBytes));
        dock_->findChild<QAbstractButton*>(QStringLiteral("showBytes"))->click();
        QVERIFY(!dock_->table()->isColumnHidden(TrafficModel::kBytes));
    }

    void listsNothingWhileClosedOrPaused() {
        toggle_->trigger();
        auto* pause = dock_->findChild<QAbstractButton*>(QStringLiteral("pauseTraffic"));
        kvtest::WireRecorder wire;
        const struct {
            const char* step;
            bool open;
            bool paused;
            int rows_after;
        } steps[] = {
            {"open", true, false, 1},
            {"paused", true, true, 1},
            {"going on", true, false, 2},
            {"closed", false, false, 0},
        };
        for (const auto& s : steps) {
            if (dock_->isVisible() != s.open) toggle_->trigger();
            if (pause->isChecked() != s.paused) pause->click();
            QVERIFY2(dock_->Capturing() == (s.open && !s.paused), s.step);
            Receive("F0 00 20 18 00 06 02 03 00 06 F7");
            dock_->drain();
            QVERIFY2(dock_->model()->rowCount() == s.rows_after || !s.open, s.step);
        }
        // Opened again: a fresh list.
        toggle_->trigger();
        QCOMPARE(dock_->model()->rowCount(), 0);
    }

    void keepsTheNewestRowsOnly_data() {
        QTest::addColumn<QList<int>>("batches");
        QTest::addColumn<int>("first");  // number of the oldest record kept
        QTest::newRow("one batch over the cap") << QList<int>{TrafficModel::kMaxRows + 5} << 5;
        QTest::newRow("a batch pushes the oldest out") << QList<int>{TrafficModel::kMaxRows - 1, 3} << 2;
        QTest::newRow("below the cap") << QList<int>{10, 10} << 0;
    }
    void keepsTheNewestRowsOnly() {
        QFETCH(QList<int>, batches);
        QFETCH(int, first);
        TrafficModel rows;
        rows.SetOrigin(0);
        int total = 0;
        for (int n : batches) {
            rows.Append(Records(n, qint64(total) * 1000));
            total += n;
        }
        QCOMPARE(rows.rowCount(), std::min(total, int(TrafficModel::kMaxRows)));
        QCOMPARE(Cell(&rows, 0, TrafficModel::kTime), QString::number(first) + QStringLiteral(".0"));
        QCOMPARE(Cell(&rows, rows.rowCount() - 1, TrafficModel::kTime),
                 QString::number(total - 1) + QStringLiteral(".0"));
    }

    void savesTheListAsText() {
        toggle_->trigger();
        Receive("F0 00 20 18 00 06 02 03 00 06 F7 C0 04");
        dock_->drain();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("traffic.txt"));
        QString why;
        QVERIFY2(dock_->SaveText(path, &why), qPrintable(why));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].endsWith(QStringLiteral(" ms  from unit  identity reply, unit 0")), qPrintable(lines[0]));
        QVERIFY2(lines[1].endsWith(QStringLiteral("from unit  program change 4, memory 5")), qPrintable(lines[1]));
        QVERIFY(!dock_->SaveText(dir.filePath(QStringLiteral("no/such/folder/t.txt")), &why));
        QVERIFY(!why.isEmpty());
    }
};

QTEST_MAIN(TestTrafficDock)
#include "tst_traffic_dock.moc"
