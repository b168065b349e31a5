// View > System response: one non-modal window that follows every change
// of the PC's program (edits, undo, device tasks, a replaced document), the
// sum of the outputs one input feeds, the cursor, drivers' measurements,
// a program file, the exports, and grid lines on whole device pixels.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <kvcom/kvcom.h>

#include "device/device_line.h"
#include "device/device_task.h"
#include "device_queue.h"
#include "file_helpers.h"
#include "kvfiles/program_file.h"
#include "kvresponse/response_table.h"
#include "modal_answerer.h"
#include "response/model_watch.h"
#include "response/response_plot.h"
#include "response/response_window.h"
#include "shell_fixture.h"

using response::ResponseWindow;

namespace {

using Edit = std::function<void(kvtest::ShellFixture&)>;

// Out 1's gain to +6 dB, as its page sends it.
void GainEdit(kvtest::ShellFixture& shell) {
    CDSDATA& m = shell.model();
    m.cur_chan = 0;
    m.out_gain[0] = 30;
    device::SendParam(m, PC_OUT_GAIN);
}

double Out1LevelAt1k(const ResponseWindow* w) {
    const auto& hz = w->frequencies();
    const auto i = static_cast<std::size_t>(std::lower_bound(hz.begin(), hz.end(), 1000.0) - hz.begin());
    const double db = w->curves().outputs[0].db[i];
    return std::isfinite(db) ? std::round(db * 1e6) / 1e6 : db;  // exact to a micro-dB, silent as it is
}

QByteArray Measurement(double db) {
    QByteArray text = "* flat driver\n";
    for (int i = 0; i <= 30; ++i)
        text += QByteArray::number(10 * std::pow(2.0, i / 3.0), 'f', 3) + ' ' + QByteArray::number(db) + " 0\n";
    return text;
}

}  // namespace

Q_DECLARE_METATYPE(Edit)

class TestResponseWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::ShellFixture> shell_;
    ResponseWindow* window_ = nullptr;
    QTemporaryDir dir_;

    CDSDATA& model() { return shell_->model(); }
    QString File(const char* name) const { return QDir(dir_.path()).filePath(QString::fromLatin1(name)); }
    // "2 Channel 3 Way" as the factory sets it up, outputs open, Out 1
    // without crossover filters.
    void ThreeWay() {
        model().figuration = 1;
        model().InitData();
        for (int n = 0; n < KV_OUTPUTS; ++n) model().out_mute[n] = 0;
        model().xo_freq[0][0] = 0;
        model().xo_freq[0][1] = 201;
    }
    ResponseWindow* Open() {
        window_ = response::OpenResponseWindow(shell_->doc(), &shell_->frame());
        return window_;
    }

private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void init() {
        shell_ = std::make_unique<kvtest::ShellFixture>();
        ThreeWay();
    }
    void cleanup() {
        delete window_;
        window_ = nullptr;
        shell_.reset();
    }

    void viewMenuOpensOneNonModalWindow() {
        QAction* command = shell_->frame().action(CMainFrame::ID_SYSTEM_RESPONSE);
        QVERIFY(command);
        command->trigger();
        command->trigger();
        const auto windows = shell_->frame().findChildren<ResponseWindow*>();
        QCOMPARE(windows.size(), 1);
        window_ = windows.front();
        QVERIFY(window_->isVisible());
        QVERIFY(!window_->isModal());
        QVERIFY(shell_->frame().isEnabled());
    }

    void defaultSumIsWhatOneInputFeeds_data() {
        QTest::addColumn<int>("figuration");
        QTest::addColumn<QList<int>>("outputs");
        QTest::newRow("Mono") << 0 << QList<int>{0, 1, 2, 3, 4, 5};
        QTest::newRow("2 Channel 3 Way") << 1 << QList<int>{0, 2, 4};
        QTest::newRow("3 Channel 2 Way") << 2 << QList<int>{0, 3};
    }
    void defaultSumIsWhatOneInputFeeds() {
        QFETCH(int, figuration);
        QFETCH(QList<int>, outputs);
        model().figuration = static_cast<char>(figuration);
        model().InitData();
        Open();
        const std::vector<int> sum = window_->sumOutputs();
        QCOMPARE(QList<int>(sum.begin(), sum.end()), outputs);
        for (int n = 0; n < KV_OUTPUTS; ++n) QCOMPARE(window_->showBox(n)->isChecked(), outputs.contains(n));
    }

    void followsEveryChange_data() {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<double>("db");
        QTest::newRow("an edit") << Edit(GainEdit) << 6.0;
        QTest::newRow("undo") << Edit([](kvtest::ShellFixture& shell) {
            GainEdit(shell);
            shell.frame().action(CMainFrame::ID_EDIT_UNDO)->trigger();
        }) << 0.0;
        QTest::newRow("a device task") << Edit([](kvtest::ShellFixture& shell) {
            RunDeviceTask(&shell.frame(), QStringLiteral("test"), shell.model(), [](CDSDATA& m) {
                m.out_gain[0] = -15;
                return 1;
            });
        }) << -3.0;
        QTest::newRow("a replaced document") << Edit([](kvtest::ShellFixture& shell) {
            shell.model().out_mute[0] = 1;
            emit shell.doc().documentReset();
        }) << -std::numeric_limits<double>::infinity();
    }
    void followsEveryChange() {
        QFETCH(Edit, edit);
        QFETCH(double, db);
        Open();
        QCOMPARE(Out1LevelAt1k(window_), 0.0);
        const int paints = window_->plot()->paintCount();
        edit(*shell_);
        QTRY_COMPARE_WITH_TIMEOUT(Out1LevelAt1k(window_), db, 1000);
        QTRY_VERIFY_WITH_TIMEOUT(window_->plot()->paintCount() > paints, 1000);
    }

    void aBurstOfEditsComputesOnce() {
        Open();
        QTest::qWait(50);
        const int before = window_->computeCount();
        for (int step = 0; step < 25; ++step) {
            model().cur_chan = 2;
            model().out_gain[2] = step;
            device::SendParam(model(), PC_OUT_GAIN);
        }
        QTRY_COMPARE_WITH_TIMEOUT(window_->computeCount(), before + 1, 1000);
        QTest::qWait(3 * response::ModelWatch::kLookMs);  // the slow look finds nothing new
        QCOMPARE(window_->computeCount(), before + 1);
    }

    void boxesChooseTheSum() {
        Open();
        window_->sumBox(4)->setChecked(false);  // Out 5 out: Out 1 + Out 3
        QCOMPARE(window_->sumChoice()->currentText(), QStringLiteral("Outputs ticked below"));
        const auto& c = window_->curves();
        for (std::size_t i = 0; i < window_->frequencies().size(); i += 97) {
            const double out1 = std::pow(10.0, c.outputs[0].db[i] / 20), out3 = std::pow(10.0, c.outputs[2].db[i] / 20);
            QVERIFY(c.sums[0].db[i] <= 20 * std::log10(out1 + out3) + 1e-9);  // no more than both in phase
        }
        window_->sumChoice()->setCurrentIndex(1);
        emit window_->sumChoice()->activated(1);
        const std::vector<int> sum = window_->sumOutputs();
        QCOMPARE(QList<int>(sum.begin(), sum.end()), (QList<int>{1, 3, 5}));
    }

    void cursorReadsEveryCurve() {
        Open();
        response::ResponsePlot* plot = window_->plot();
        plot->setCursorIndex(400);
        plot->setFocus();
        QTest::keyClick(plot, Qt::Key_Right);
        QCOMPARE(plot->cursorIndex(), 401);
        const auto& c = window_->curves();
        for (int row : {0, 2, ResponseWindow::kSumRow}) {
            const auto& curve = row == ResponseWindow::kSumRow ? c.sums[0] : c.outputs[row];
            QCOMPARE(window_->readout(row),
                     (QStringList{QString::fromStdString(kvresponse::FixedText(curve.db[401], 2)),
                                  QString::fromStdString(kvresponse::FixedText(curve.deg[401], 1)),
                                  QString::fromStdString(kvresponse::FixedText(curve.gd_ms[401], 3))}));
        }
        QCOMPARE(window_->readout(1), (QStringList{"-", "-", "-"}));  // Out 2 is not shown
    }

    void measuredDriverOrRefusal() {
        Open();
        kvtest::WriteAll(File("woofer.txt"), Measurement(6));
        QVERIFY(window_->loadMeasurement(0, File("woofer.txt")));
        QCOMPARE(Out1LevelAt1k(window_), 6.0);
        QCOMPARE(window_->driverText(0), QStringLiteral("woofer.txt: 31 points, 10 Hz - 10.2 kHz"));
        QVERIFY(std::isnan(window_->curves().outputs[0].db.back()));  // not measured up there

        kvtest::WriteAll(File("bad.txt"), "100 0 0\n200 0 0\n400 abc 0\n");
        kvtest::ModalAnswerer answers;
        QVERIFY(!window_->loadMeasurement(0, File("bad.txt")));
        QCOMPARE(answers.seen.size(), 1);
        QVERIFY2(answers.seen[0].text.contains(QStringLiteral("bad.txt, line 3: 'abc' is not a number")),
                 qPrintable(answers.seen[0].text));
        QCOMPARE(Out1LevelAt1k(window_), 6.0);  // the driver loaded before stays
        QByteArray ultrasonic;
        for (int i = 0; i < 12; ++i) ultrasonic += QByteArray::number(30000 + 1000 * i) + " 0 0\n";
        kvtest::WriteAll(File("ultrasonic.txt"), ultrasonic);
        QVERIFY(!window_->loadMeasurement(0, File("ultrasonic.txt")));
        QVERIFY2(answers.seen.last().text.contains(QStringLiteral("nothing between 10 Hz and 20 kHz")),
                 qPrintable(answers.seen.last().text));
        QCOMPARE(Out1LevelAt1k(window_), 6.0);
        window_->clearMeasurement(0);
        QCOMPARE(Out1LevelAt1k(window_), 0.0);
    }

    void showsAProgramFileWithoutTheUnit() {
        CDSDATA file_program(model());
        file_program.out_gain[0] = -30;  // -6 dB
        const auto bytes = kvfiles::EncodeProgramFile(file_program);
        kvtest::WriteAll(File("show.syx"), QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        Open();
        QString why;
        QVERIFY2(window_->showProgramFile(File("show.syx"), &why), qPrintable(why));
        QCOMPARE(Out1LevelAt1k(window_), -6.0);
        const int computes = window_->computeCount();
        GainEdit(*shell_);  // the PC's program, not the file's
        QTest::qWait(50);
        QCOMPARE(window_->computeCount(), computes);
        window_->showPcProgram();
        QCOMPARE(Out1LevelAt1k(window_), 6.0);
        QVERIFY(!window_->showProgramFile(File("missing.syx"), &why));
        QVERIFY(window_->showsPcProgram());
    }

    void exportsPictureAndTable() {
        Open();
        QString why;
        QVERIFY2(window_->exportPicture(File("r.png"), 2, &why), qPrintable(why));
        const QImage png(File("r.png"));
        const QSize logical = window_->plot()->size().expandedTo(window_->plot()->sizeHint());
        QCOMPARE(png.size(), logical * 2);
        QVERIFY2(window_->exportPicture(File("r.svg"), 1, &why), qPrintable(why));
        const QByteArray svg = kvtest::ReadAll(File("r.svg"));
        QVERIFY(svg.contains("<svg") && svg.contains("System response"));
        QVERIFY2(window_->exportCsv(File("r.csv"), &why), qPrintable(why));
        const QList<QByteArray> lines = kvtest::ReadAll(File("r.csv")).trimmed().split('\n');
        QCOMPARE(lines.size(), ResponseWindow::kPoints + 1);
        QCOMPARE(lines[0], QByteArray("hz,out1_db,out1_deg,out1_gd_ms,out3_db,out3_deg,out3_gd_ms,out5_db,out5_deg,"
                                      "out5_gd_ms,sum_db,sum_deg,sum_gd_ms"));
        QVERIFY(lines[1].startsWith("10.000,0.000,0.00,0.0000,"));
        QVERIFY(!window_->exportCsv(File("no/such/folder/r.csv"), &why));
    }

    // Grid lines and frames are one device pixel wide in a colour of their
    // own: no line smeared over two pixels rows at any scale.
    void gridLinesOnWholeDevicePixels_data() {
        QTest::addColumn<double>("scale");
        QTest::newRow("1") << 1.0;
        QTest::newRow("1.5") << 1.5;
        QTest::newRow("2") << 2.0;
    }
    void gridLinesOnWholeDevicePixels() {
        QFETCH(double, scale);
        response::ResponsePlot plot;
        plot.resize(700, 500);
        plot.setCurves(kvresponse::LogGrid(10, 20000, 50), {});
        QImage image(QSize(700, 500) * scale, QImage::Format_RGB32);
        image.setDevicePixelRatio(scale);
        QPainter painter(&image);
        plot.render(painter, QRectF(0, 0, 700, 500));
        painter.end();
        // A column between the 3 kHz and 4 kHz lines, clear of every label.
        const QColor lines[] = {QColor(226, 226, 226), QColor(196, 196, 196), QColor(120, 120, 120)};
        const int x = static_cast<int>(image.width() * 0.78);
        int found = 0;
        for (int y = 1; y + 1 < image.height(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c == Qt::white) continue;
            ++found;
            QVERIFY2(std::find(std::begin(lines), std::end(lines), c) != std::end(lines),
                     qPrintable(QStringLiteral("row %1: %2").arg(y).arg(c.name())));
            QCOMPARE(image.pixelColor(x, y + 1), QColor(Qt::white));
        }
        QCOMPARE(found, 18);  // 7 level, 5 phase and 6 delay lines, the frames among them
    }
};

QTEST_MAIN(TestResponseWindow)
#include "tst_response_window.moc"
