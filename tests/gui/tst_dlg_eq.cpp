// The EQ editor against the real library, with the bytes on the line.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <QApplication>
#include <QTimer>

#include "channel/dlg_output.h"
#include "channel/grid_button.h"
#include "editor_dialogs.h"
#include "editors/dlg_eq.h"
#include "editors/response_graph.h"
#include "model_builder.h"
#include "device_queue.h"
#include "wire_recorder.h"

namespace {

using namespace kvtest::editor_dialogs;
using kvtest::FromRow;
using kvtest::LoadDspUntil;
using kvtest::WriteAllocatedFilter;

constexpr int kOut1 = 0, kOut2 = 1, kOut3 = 2;
constexpr int kLow6 = 0, kBell = 2;

// Points the cursors at a slot, as an opener does.
void Aim(CDSDATA& m, int chan, int slot, int eq) {
    m.cur_chan = chan;
    m.cur_slot = slot;
    m.cur_eq = eq;
}

// The factory setting of a configuration, with the stereo link on or off.
void Configure(CDSDATA& m, int figuration, int link) {
    m.figuration = static_cast<char>(figuration);
    m.InitData();
    m.link_on = link;
}

struct Ui {
    explicit Ui(CDlgEQ& d)
        : type(d.findChild<QComboBox*>("typeList")),
          freq(d.findChild<QLineEdit*>("freqEdit")),
          gain(d.findChild<QLineEdit*>("gainEdit")),
          width(d.findChild<QLineEdit*>("widthEdit")),
          caption(d.findChild<QLineEdit*>("slotCaption")),
          freq_up(d.findChild<QToolButton*>("freqUp")),
          gain_up(d.findChild<QToolButton*>("gainUp")),
          gain_down(d.findChild<QToolButton*>("gainDown")),
          width_up(d.findChild<QToolButton*>("widthUp")),
          add(d.findChild<QPushButton*>("addButton")),
          flat(d.findChild<QPushButton*>("flatButton")),
          prev(d.findChild<QPushButton*>("prevButton")),
          next(d.findChild<QPushButton*>("nextButton")),
          exit(d.findChild<QPushButton*>("exitButton")) {}
    QComboBox* type;
    QLineEdit *freq, *gain, *width, *caption;
    QToolButton *freq_up, *gain_up, *gain_down, *width_up;
    QPushButton *add, *flat, *prev, *next, *exit;

    QStringList Texts() const { return {type->currentText(), freq->text(), gain->text(), width->text()}; }
};

}  // namespace

class TestDlgEq : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void emptySlotShowsTheDefaultRow() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        Aim(m, kOut3, 0, -1);
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        QCOMPARE(dlg.windowTitle(), QString("EQ"));
        QCOMPARE(ui.Texts(), (QStringList{"Bell", "1.00k Hz", "0.0 dB", "0.30 Oct"}));
        QCOMPARE(m.cur_eq, KV_DEFAULT_ROW);
        for (QWidget* w :
             {static_cast<QWidget*>(ui.type), static_cast<QWidget*>(ui.freq), static_cast<QWidget*>(ui.gain),
              static_cast<QWidget*>(ui.width), static_cast<QWidget*>(ui.flat), static_cast<QWidget*>(ui.gain_up)})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(ui.add->isEnabled());
        QVERIFY(!ui.prev->isEnabled());
        QVERIFY(!ui.next->isEnabled());
        QCOMPARE(ui.caption->text(), QString("Out3 EQ1"));
        // The graph shows the output's crossover with a flat EQ.
        QVERIFY(!dlg.Graph()->HideCrossover());
        QCOMPARE(dlg.Graph()->Crossover().hp_row, m.xo_freq[kOut3][0]);
        QCOMPARE(dlg.Graph()->Crossover().lp_row, m.xo_freq[kOut3][1]);
        QCOMPARE(dlg.Graph()->EqSetA()[0].gain_index, 30);
        // The arrows of an empty slot never write the default row.
        ui.gain_up->click();
        QCOMPARE(m.eq_gain[KV_DEFAULT_ROW], 30);
        QVERIFY(rec.events.empty());
    }

    void addEqFollowsTheBudget() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        LoadDspUntil(m, 0, 18, FromRow::kTop);
        QCOMPARE(m.CalDSP1(), 18);
        Aim(m, kOut1, 0, -1);  // first DSP only: no room at 18
        {
            CDlgEQ dlg(m, false);
            QVERIFY(!Ui(dlg).add->isEnabled());
        }
        m.cur_chan = kOut3;  // both DSPs: 18 + 14 < 38
        {
            CDlgEQ dlg(m, false);
            QVERIFY(Ui(dlg).add->isEnabled());
        }
        m.cur_chan = CHAN_IN_A;
        {
            CDlgEQ dlg(m, true);
            QVERIFY(!Ui(dlg).add->isEnabled());
            QVERIFY(dlg.Graph()->HideCrossover());
        }
        QVERIFY(rec.events.empty());
    }

    void addEqOpensAFilterAndShowsIt() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        Aim(m, kOut3, 0, -1);
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        ui.add->click();
        QCOMPARE(Sent(rec), (QStringList{P("62 1A 01"), P("62 17 01"), P("62 6C 00 02 02"), P("62 6D 00 78 02"),
                                         P("62 6E 00 1F 02"), P("62 1A 01"), P("62 6F 00 05 02")}));
        QCOMPARE(m.out_eq_slot[kOut3][0], 0);
        QCOMPARE(m.cur_eq, 0);
        QCOMPARE(ui.Texts(), (QStringList{"Bell", "1.00k Hz", "0.5 dB", "0.30 Oct"}));
        QVERIFY(!ui.add->isEnabled());
        QVERIFY(ui.flat->isEnabled() && ui.freq->isEnabled() && ui.width->isEnabled());
        QVERIFY(ui.next->isEnabled());
        QCOMPARE(dlg.Graph()->EqSetA()[0].gain_index, 31);
    }

    void gainSkipsZeroDb() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        WriteAllocatedFilter(m, kOut3, 0, 0, {kBell, 120, 29, 5});
        Aim(m, kOut3, 0, 0);
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        QCOMPARE(ui.gain->text(), QString("-0.5 dB"));
        ui.gain_up->click();
        QCOMPARE(m.eq_gain[0], 31);
        QCOMPARE(ui.gain->text(), QString("0.5 dB"));
        QCOMPARE(dlg.Graph()->EqSetA()[0].gain_index, 31);
        ui.gain_down->click();
        QCOMPARE(m.eq_gain[0], 29);
        QCOMPARE(Sent(rec), (QStringList{P("62 6E 00 1F 02"), P("62 1A 01"), P("62 6E 00 1D 02"), P("62 1A 01")}));

        // Typing 0 dB gives -0.5 dB; the ends of the range hold.
        ShowActive(dlg);
        m.eq_gain[0] = 35;
        TypeAndEnter(ui.gain, "0");
        QCOMPARE(m.eq_gain[0], 29);
        QCOMPARE(ui.gain->text(), QString("-0.5 dB"));
        TypeAndEnter(ui.gain, "40");
        QCOMPARE(m.eq_gain[0], 60);
        ui.gain_up->click();
        QCOMPARE(m.eq_gain[0], 60);
        QCOMPARE(ui.gain->text(), QString("15.0 dB"));
        QVERIFY(dlg.isVisible());  // Enter never closes
    }

    void filterAtZeroDbIsLockedButItsGainSpinMovesIt() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        WriteAllocatedFilter(m, kOut2, 0, 5, {kBell, 120, 30, 5});
        Aim(m, kOut2, 0, 5);
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        QVERIFY(!ui.freq->isEnabled() && !ui.gain->isEnabled() && !ui.type->isEnabled() && !ui.flat->isEnabled());
        QVERIFY(!ui.add->isEnabled());
        ui.gain_up->click();
        QCOMPARE(m.eq_gain[5], 31);
        QVERIFY(ui.freq->isEnabled() && ui.gain->isEnabled() && ui.type->isEnabled() && ui.flat->isEnabled());
        QCOMPARE(Sent(rec), (QStringList{P("61 6E 00 1F 02"), P("61 1A 01")}));
    }

    void typedFrequenciesAndFocus() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        WriteAllocatedFilter(m, kOut3, 0, 3, {kBell, 120, 40, 5});
        Aim(m, kOut3, 0, 3);
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        ShowActive(dlg);
        TypeAndEnter(ui.freq, "20");
        QCOMPARE(ui.freq->text(), QString(" 20.6 Hz"));
        QCOMPARE(m.eq_freq[3], 8);
        TypeAndEnter(ui.freq, "20000");
        QCOMPARE(ui.freq->text(), QString("16.0k Hz"));
        QCOMPARE(m.eq_freq[3], 200);
        ui.freq_up->click();  // already at the top row
        QCOMPARE(m.eq_freq[3], 200);
        QCOMPARE(Sent(rec), (QStringList{P("62 6D 00 08 02"), P("62 6D 00 48 03"), P("62 6D 00 48 03")}));
        QCOMPARE(dlg.Graph()->EqSetA()[0].freq_row, 200);

        // Leaving an edit without Enter drops the typing; nothing is sent.
        rec.Clear();
        ui.freq->setFocus();
        ui.freq->setText("500");
        ui.gain->setFocus();
        QCOMPARE(ui.freq->text(), QString("16.0k Hz"));
        // Enter elsewhere sends nothing and leaves the dialog open.
        ui.type->setFocus();
        QTest::keyClick(ui.type, Qt::Key_Return);
        QTest::keyClick(ui.add, Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QVERIFY(rec.events.empty());
        // The arrow keys of an edit work its spin.
        QTest::keyClick(ui.gain, Qt::Key_Up);
        QCOMPARE(m.eq_gain[3], 41);
    }

    void typeAndWidth() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        WriteAllocatedFilter(m, kOut3, 1, 2, {kBell, 120, 40, 5});
        WriteAllocatedFilter(m, kOut3, 0, 0, {kBell, 120, 40, 5});
        Aim(m, kOut3, 1, 2);
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        QVERIFY(ui.width->isEnabled());
        ui.type->activated(kLow6);
        QCOMPARE(m.eq_type[2], kLow6);
        QVERIFY(!ui.width->isEnabled());
        ShowActive(dlg);
        ui.type->activated(kBell);
        QVERIFY(ui.width->isEnabled());
        TypeAndEnter(ui.width, "0.5");
        QCOMPARE(ui.width->text(), QString("0.50 Oct"));
        ui.width_up->click();
        QCOMPARE(ui.width->text(), QString("0.55 Oct"));
        // Slot 1 is 4 on the wire; the type goes out even when it is 0.
        QCOMPARE(Sent(rec),
                 (QStringList{P("62 6C 00 00 04"), P("62 6C 00 02 04"), P("62 6F 00 09 04"), P("62 6F 00 0A 04")}));
        QCOMPARE(dlg.Graph()->EqSetA()[1].width_index, 10);  // row 2 is the second of Out 3
    }

    void slotCaptions_data() {
        QTest::addColumn<int>("figuration");
        QTest::addColumn<int>("link");
        QTest::addColumn<int>("chan");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Out 3 linked to Out 4") << 1 << 1 << kOut3 << 1 << "Out3&4 EQ2";
        QTest::newRow("Out 3 unlinked") << 1 << 0 << kOut3 << 1 << "Out3 EQ2";
        QTest::newRow("Out 2 has no partner") << 2 << 1 << kOut2 << 0 << "Out2 EQ1";
        QTest::newRow("Out 6 linked to Out 4") << 2 << 1 << 5 << 0 << "Out6&4 EQ1";
        QTest::newRow("In A linked") << 1 << 1 << CHAN_IN_A << 0 << "InA&B EQ1";
        QTest::newRow("In A") << 0 << 0 << CHAN_IN_A << 2 << "InA EQ3";
        QTest::newRow("In B") << 0 << 1 << CHAN_IN_B << 0 << "InB EQ1";
    }
    void slotCaptions() {
        QFETCH(int, figuration);
        QFETCH(int, link);
        QFETCH(int, chan);
        QFETCH(int, slot);
        QFETCH(QString, caption);
        kvtest::WireRecorder rec;
        CDSDATA m;
        Configure(m, figuration, link);
        Aim(m, chan, slot, -1);
        CDlgEQ dlg(m, false);
        QCOMPARE(Ui(dlg).caption->text(), caption);
    }

    void steppingThroughSlots() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        for (int s = 0; s < 12; ++s) WriteAllocatedFilter(m, kOut1, s, s, {kBell, 120, 31 + s, 5});
        Aim(m, kOut1, 11, 11);
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        QVERIFY(!ui.next->isEnabled());  // the last of the 12 slots
        QVERIFY(ui.prev->isEnabled());
        ui.prev->click();
        QCOMPARE(m.cur_slot, 10);
        QCOMPARE(m.cur_eq, 10);
        QCOMPARE(ui.caption->text(), QString("Out1 EQ11"));
        QCOMPARE(ui.gain->text(), QString("5.5 dB"));
        for (int i = 0; i < 10; ++i) ui.prev->click();
        QCOMPARE(m.cur_slot, 0);
        QVERIFY(!ui.prev->isEnabled());
        ui.prev->click();  // nothing happens on slot 0
        QCOMPARE(m.cur_slot, 0);
        QVERIFY(rec.events.empty());
    }

    void nextReachesTheFirstEmptySlotWithinTheBudget() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        WriteAllocatedFilter(m, kOut1, 0, 0, {kBell, 120, 40, 5});
        WriteAllocatedFilter(m, kOut1, 1, 1, {kBell, 120, 41, 5});
        Aim(m, kOut1, 0, 0);
        {
            CDlgEQ dlg(m, false);
            Ui ui(dlg);
            ui.next->click();
            ui.next->click();
            QCOMPARE(m.cur_slot, 2);
            QCOMPARE(m.cur_eq, KV_DEFAULT_ROW);
            QVERIFY(ui.add->isEnabled());
            QVERIFY(!ui.next->isEnabled());  // nothing beyond an empty slot
            ui.next->click();
            QCOMPARE(m.cur_slot, 2);
        }
        // With the first DSP full, slot 1 is the end of the road.
        LoadDspUntil(m, 0, 18, FromRow::kTop);
        QCOMPARE(m.CalDSP1(), 18);
        Aim(m, kOut1, 0, 0);
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        QVERIFY(ui.next->isEnabled());
        ui.next->click();
        QCOMPARE(m.cur_slot, 1);
        QVERIFY(!ui.next->isEnabled());
        QVERIFY(!ui.add->isEnabled());
        QVERIFY(rec.events.empty());
    }

    void flatReleasesTheFilter() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        WriteAllocatedFilter(m, kOut3, 0, 0, {kLow6, 150, 40, 20});
        Aim(m, kOut3, 0, 0);
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        ui.flat->click();
        QCOMPARE(Sent(rec), (QStringList{P("62 6E 00 1E 02"), P("62 1A 01")}));
        QCOMPARE(m.eq_owner[0], -1);
        QCOMPARE(m.out_eq_slot[kOut3][0], -1);
        QCOMPARE(m.cur_eq, KV_DEFAULT_ROW);
        QCOMPARE(ui.Texts(), (QStringList{"Bell", "1.00k Hz", "0.0 dB", "0.30 Oct"}));
        QVERIFY(ui.add->isEnabled());
        QVERIFY(!ui.flat->isEnabled());
        QCOMPARE(dlg.Graph()->EqSetA()[0].gain_index, 30);
    }

    void inputFilterKeepsCopiesAndTwinInStep() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        Configure(m, 1, 1);
        WriteAllocatedFilter(m, CHAN_IN_A, 0, 3, {kBell, 120, 40, 5});
        WriteAllocatedFilter(m, CHAN_IN_B, 0, 4, {kBell, 120, 40, 5});
        m.eq_link[3] = 4;
        Aim(m, CHAN_IN_A, 0, 3);
        CDlgEQ dlg(m, true);
        Ui ui(dlg);
        ui.width_up->click();
        QCOMPARE(m.eq_bw[3], 6);
        QCOMPARE(m.ina_eq_bw[3], 6);
        QCOMPARE(m.eq_bw[4], 6);  // the link repeat changed In B's filter too
        QCOMPARE(m.inb_eq_bw[4], 6);
        QCOMPARE(Sent(rec), (QStringList{P("20 2D 00 06 02"), P("21 2D 00 06 02")}));
        rec.Clear();
        ui.type->activated(kLow6);
        QCOMPARE(m.ina_eq_type[3], kLow6);
        QCOMPARE(m.inb_eq_type[4], kLow6);
        QCOMPARE(Sent(rec), (QStringList{P("20 2A 00 00 02"), P("21 2A 00 00 02")}));
        QCOMPARE(m.eq_bw[KV_DEFAULT_ROW], 5);
    }

    void linkedOutputFilterMovesItsTwin() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        Configure(m, 1, 1);
        WriteAllocatedFilter(m, kOut1, 0, 0, {kBell, 120, 40, 5});
        WriteAllocatedFilter(m, kOut2, 0, 1, {kBell, 120, 40, 5});
        m.eq_link[0] = 1;
        Aim(m, kOut1, 0, 0);
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        ui.freq_up->click();
        QCOMPARE(m.eq_freq[0], 121);
        QCOMPARE(m.eq_freq[1], 121);
        QCOMPARE(Sent(rec), (QStringList{P("60 6D 00 79 02"), P("61 6D 00 79 02")}));
        // The graph holds Out 1's filter only.
        QCOMPARE(dlg.Graph()->EqSetA()[0].freq_row, 121);
        QCOMPARE(dlg.Graph()->EqSetA()[1].gain_index, 30);
    }

    void outputPageCellOpensTheEditorAndShowsItsWork() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        CDlgOutput page(m, kOut3);
        page.Activate();
        ShowActive(page);
        auto cell = [&page](const char* name) { return page.findChild<CGridButton*>(name); };
        QVERIFY(!cell("eq_gain_1")->isEnabled());

        // Inside the editor: add a filter, raise its gain, close.
        QString seen;
        QTimer::singleShot(0, [&] {
            auto* editor = qobject_cast<CDlgEQ*>(QApplication::activeModalWidget());
            if (!editor) {
                seen = QStringLiteral("no EQ editor");
                if (QWidget* w = QApplication::activeModalWidget()) w->close();
                return;
            }
            Ui ui(*editor);
            seen = ui.caption->text();
            ui.add->click();
            ui.gain_up->click();
            ui.exit->click();
        });
        QTest::mouseClick(cell("eq_type_0"), Qt::LeftButton);
        QCOMPARE(seen, QString("Out3 EQ1"));
        QCOMPARE(m.eq_gain[0], 32);
        QCOMPARE(Sent(rec).mid(6), (QStringList{P("62 6F 00 05 02"), P("62 6E 00 20 02"), P("62 1A 01")}));
        // The page shows the new filter and opens the next row.
        QCOMPARE(cell("eq_gain_0")->text(), QString("1.0 dB"));
        QCOMPARE(cell("eq_freq_0")->text(), QString("1.00k Hz"));
        QVERIFY(cell("eq_gain_1")->isEnabled());
    }
};

QTEST_MAIN(TestDlgEq)
#include "tst_dlg_eq.moc"
