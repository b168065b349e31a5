// The crossover editor against the real library, with the bytes on the line.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "channel/dlg_output.h"
#include "channel/grid_button.h"
#include "editor_dialogs.h"
#include "editors/dlg_xover.h"
#include "editors/response_graph.h"
#include "model_builder.h"
#include "device_queue.h"
#include "wire_recorder.h"

namespace {

using namespace kvtest::editor_dialogs;

constexpr int kOut1 = 0, kOut2 = 1, kOut6 = 5;
constexpr int kLowFreq = 0, kHighFreq = 1;  // high-pass side, low-pass side

struct Ui {
    explicit Ui(CDlgXover& d)
        : low(d.findChild<QRadioButton*>("lowFreqRadio")),
          high(d.findChild<QRadioButton*>("highFreqRadio")),
          types(d.findChild<QListWidget*>("typeList")),
          freq(d.findChild<QLineEdit*>("freqEdit")),
          scroll(d.findChild<QScrollBar*>("freqScroll")),
          left(d.findChild<QLabel*>("leftLabel")),
          right(d.findChild<QLabel*>("rightLabel")) {}
    QRadioButton *low, *high;
    QListWidget* types;
    QLineEdit* freq;
    QScrollBar* scroll;
    QLabel *left, *right;
};

}  // namespace

class TestDlgXover : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void opensOnTheChosenSide() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        m.cur_chan = 3;  // Out 4 in Mono: 100 .. 134
        m.xo_side = kHighFreq;
        CDlgXover dlg(m);
        Ui ui(dlg);
        QCOMPARE(dlg.windowTitle(), QString("Xover"));
        QVERIFY(ui.high->isChecked());
        QCOMPARE(ui.types->count(), 10);
        QCOMPARE(ui.types->item(0)->text(), QString(" 6dB Butterworth"));
        QCOMPARE(ui.types->item(9)->text(), QString("48dB Linkwitz-Riley"));
        QCOMPARE(ui.types->currentRow(), 7);
        QCOMPARE(ui.freq->text(), QString("1.62k Hz"));
        QCOMPARE(ui.scroll->value(), 134);
        QCOMPARE(ui.left->text(), QString("500.0 Hz"));
        // The graph shows this output's crossover and its filters.
        QVERIFY(dlg.Graph()->ShowsSetB());
        QCOMPARE(dlg.Graph()->Crossover().hp_row, 100);
        QCOMPARE(dlg.Graph()->Crossover().lp_type, 7);
        QVERIFY(rec.events.empty());
    }

    void boundsAndLabels() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        m.cur_chan = kOut1;
        m.xo_freq[kOut1][0] = 1;
        m.xo_freq[kOut1][1] = 201;
        m.xo_side = kHighFreq;
        CDlgXover dlg(m);
        Ui ui(dlg);
        QCOMPARE(ui.left->text(), QString(" 15.0 Hz"));
        QCOMPARE(ui.right->text(), QString("Out"));
        QCOMPARE(ui.scroll->minimum(), 1);
        QCOMPARE(ui.scroll->maximum(), 201);

        // A switched-out high-pass still bounds the low-pass at row 1.
        m.xo_freq[kOut1][0] = 0;
        ui.high->click();
        QCOMPARE(dlg.LowerBound(), 1);
        QCOMPARE(ui.scroll->minimum(), 1);

        // The high-pass may reach 16 kHz under a switched-out low-pass, not "Out".
        ui.low->click();
        QCOMPARE(m.xo_side, kLowFreq);
        QCOMPARE(dlg.UpperBound(), 200);
        QCOMPARE(ui.left->text(), QString("Out"));
        QCOMPARE(ui.right->text(), QString("16.0k Hz"));
        QCOMPARE(ui.scroll->minimum(), 0);
        QCOMPARE(ui.scroll->maximum(), 200);
        QCOMPARE(ui.freq->text(), QString("Out"));
        QVERIFY(rec.events.empty());
    }

    void typedFrequencies() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        m.figuration = 1;
        m.InitData();  // Out 1: 2 .. 54
        m.cur_chan = kOut1;
        m.xo_side = kLowFreq;
        CDlgXover dlg(m);
        Ui ui(dlg);
        ShowActive(dlg);
        TypeAndEnter(ui.freq, "5");
        QCOMPARE(m.xo_freq[kOut1][0], 0);
        QCOMPARE(ui.freq->text(), QString("Out"));
        QCOMPARE(ui.scroll->value(), 0);
        TypeAndEnter(ui.freq, "20000");  // limited to the low-pass row
        QCOMPARE(m.xo_freq[kOut1][0], 54);
        QCOMPARE(ui.freq->text(), QString("101.0 Hz"));
        QCOMPARE(Sent(rec), (QStringList{P("60 68 00"), P("60 68 00 36")}));
        QCOMPARE(dlg.Graph()->Crossover().hp_row, 54);
        QVERIFY(dlg.isVisible());

        // Unconfirmed typing is dropped when the edit loses the focus.
        rec.Clear();
        ui.freq->setText("1k");
        ui.scroll->setFocus();
        QCOMPARE(ui.freq->text(), QString("101.0 Hz"));
        QTest::keyClick(ui.types, Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QVERIFY(rec.events.empty());
    }

    void enterOnOut() {
        kvtest::WireRecorder rec;
        CDSDATA m;  // Mono, Out 6: 167 .. Out
        m.cur_chan = kOut6;
        m.xo_side = kHighFreq;
        {
            CDlgXover dlg(m);
            Ui ui(dlg);
            ShowActive(dlg);
            QCOMPARE(ui.freq->text(), QString("Out"));
            ui.freq->setFocus();
            QTest::keyClick(ui.freq, Qt::Key_Return);  // "Out" reads 0 Hz: down to the high-pass
            QCOMPARE(m.xo_freq[kOut6][1], 167);
            QCOMPARE(ui.freq->text(), QString("5.09k Hz"));
            QCOMPARE(Sent(rec), QStringList{P("65 6A 00 27 01")});
        }
        rec.Clear();
        m.cur_chan = kOut1;  // high-pass at "Out"
        m.xo_side = kLowFreq;
        CDlgXover dlg(m);
        Ui ui(dlg);
        ShowActive(dlg);
        ui.freq->setFocus();
        QTest::keyClick(ui.freq, Qt::Key_Return);
        QCOMPARE(m.xo_freq[kOut1][0], 0);
        QCOMPARE(ui.freq->text(), QString("Out"));
        QCOMPARE(Sent(rec), QStringList{P("60 68 00")});
    }

    void scrollSteps() {
        kvtest::WireRecorder rec;
        CDSDATA m;  // Mono, Out 1: Out .. 34
        m.cur_chan = kOut1;
        m.xo_side = kHighFreq;
        CDlgXover dlg(m);
        Ui ui(dlg);
        ShowActive(dlg);
        ui.scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(m.xo_freq[kOut1][1], 39);
        ui.scroll->setFocus();
        QTest::keyClick(ui.scroll, Qt::Key_End);  // one row, not to the end
        QCOMPARE(m.xo_freq[kOut1][1], 40);
        QCOMPARE(ui.scroll->value(), 40);
        QCOMPARE(ui.freq->text(), QString(" 62.5 Hz"));
        QTest::keyClick(ui.scroll, Qt::Key_Home);  // five rows back
        QCOMPARE(m.xo_freq[kOut1][1], 35);
        ui.scroll->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(m.xo_freq[kOut1][1], 34);
        ui.scroll->setSliderPosition(150);  // the thumb
        QCOMPARE(m.xo_freq[kOut1][1], 150);
        QCOMPARE(Sent(rec), (QStringList{P("60 6A 00 27"), P("60 6A 00 28"), P("60 6A 00 23"), P("60 6A 00 22"),
                                         P("60 6A 00 16 01")}));
        QCOMPARE(dlg.Graph()->Crossover().lp_row, 150);
        QCOMPARE(dlg.focusWidget(), ui.scroll);

        // The low-pass stops at "Out".
        rec.Clear();
        ui.scroll->setSliderPosition(199);
        ui.scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(m.xo_freq[kOut1][1], 201);
        QCOMPARE(ui.freq->text(), QString("Out"));
        QCOMPARE(Sent(rec), (QStringList{P("60 6A 00 47 01"), P("60 6A 00 49 01")}));
    }

    void highPassStopsAtTheLowPass() {
        kvtest::WireRecorder rec;
        CDSDATA m;  // Mono, Out 2: 34 .. 67
        m.cur_chan = kOut2;
        m.xo_side = kLowFreq;
        CDlgXover dlg(m);
        Ui ui(dlg);
        ui.scroll->setSliderPosition(65);
        ui.scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(m.xo_freq[kOut2][0], 67);
        ui.scroll->setSliderPosition(2);
        ui.scroll->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(m.xo_freq[kOut2][0], 0);
        QCOMPARE(ui.freq->text(), QString("Out"));
    }

    void changesFollowTheLinkedPartner() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        m.figuration = 1;
        m.InitData();
        m.link_on = 1;
        m.cur_chan = kOut1;
        m.xo_side = kHighFreq;
        CDlgXover dlg(m);
        Ui ui(dlg);
        ui.scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(m.xo_freq[kOut1][1], 55);
        QCOMPARE(m.xo_freq[kOut2][1], 55);
        ui.types->setCurrentRow(3);
        QCOMPARE(m.xo_type[kOut1][1], 3);
        QCOMPARE(m.xo_type[kOut2][1], 3);
        QCOMPARE(Sent(rec), (QStringList{P("60 6A 00 37"), P("61 6A 00 37"), P("60 69 00 03"), P("61 69 00 03")}));
        QCOMPARE(dlg.Graph()->Crossover().lp_type, 3);
    }

    void typesNeedTheBudget() {
        kvtest::WireRecorder rec;
        CDSDATA m;  // Mono: Out 1 has 2 units (low-pass at 34), Out 2 four
        kvtest::LoadDspUntil(m, 0, 18, kvtest::FromRow::kBottom);
        m.cur_chan = kOut1;
        m.xo_side = kHighFreq;
        CDlgXover dlg(m);
        Ui ui(dlg);
        ui.types->setCurrentRow(8);  // 48 dB Butterworth: no room
        QCOMPARE(ui.types->currentRow(), 7);
        QCOMPARE(m.xo_type[kOut1][1], 7);
        QVERIFY(rec.events.empty());
        ui.types->setCurrentRow(5);  // 24 dB costs no more
        QCOMPARE(m.xo_type[kOut1][1], 5);
        QCOMPARE(Sent(rec), QStringList{P("60 69 00 05")});

        // A switched-out high-pass needs room for any type, and to be
        // switched in.
        rec.Clear();
        ui.low->click();
        ui.types->setCurrentRow(0);
        QCOMPARE(ui.types->currentRow(), 7);
        ui.scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(m.xo_freq[kOut1][0], 0);
        QCOMPARE(ui.scroll->value(), 0);
        QCOMPARE(ui.freq->text(), QString("Out"));
        QVERIFY(rec.events.empty());

        // Out 3 to Out 6 count both DSPs together: 18 + 14 < 38.
        m.cur_chan = 2;
        m.xo_side = kHighFreq;
        CDlgXover out3(m);
        Ui(out3).types->setCurrentRow(9);
        QCOMPARE(m.xo_type[2][1], 9);
    }

    void outputPageCellOpensTheEditorAndShowsItsWork() {
        kvtest::WireRecorder rec;
        CDSDATA m;  // Mono, Out 1: Out .. 34
        CDlgOutput page(m, kOut1);
        page.Activate();
        ShowActive(page);
        auto cell = [&page](const char* name) { return page.findChild<CGridButton*>(name); };

        // Inside the editor: five rows up, 24 dB Butterworth, close.
        QString seen;
        QTimer::singleShot(0, [&] {
            auto* editor = qobject_cast<CDlgXover*>(QApplication::activeModalWidget());
            if (!editor) {
                seen = QStringLiteral("no crossover editor");
                if (QWidget* w = QApplication::activeModalWidget()) w->close();
                return;
            }
            Ui ui(*editor);
            seen = ui.high->isChecked() ? QStringLiteral("High Freq") : QStringLiteral("Low Freq");
            ui.scroll->triggerAction(QAbstractSlider::SliderPageStepAdd);
            ui.types->setCurrentRow(5);
            editor->findChild<QPushButton*>("exitButton")->click();
        });
        QTest::mouseClick(cell("xoLpType"), Qt::LeftButton);
        QCOMPARE(seen, QString("High Freq"));
        QCOMPARE(Sent(rec), (QStringList{P("60 6A 00 27"), P("60 69 00 05")}));
        QCOMPARE(cell("xoLpFreq")->text(), QString(" 60.3 Hz"));
        QCOMPARE(cell("xoLpType")->text(), QString("But 24"));
    }
};

QTEST_MAIN(TestDlgXover)
#include "tst_dlg_xover.moc"
