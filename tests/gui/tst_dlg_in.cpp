// The input page: the three delays with their limits against the outputs,
// the linked behaviour, and the In A and In B grids.
#include <QGroupBox>
#include <QtTest>
#include <memory>

#include "channel/dlg_in.h"
#include "channel/grid_button.h"
#include "channel_pages.h"
#include "model_builder.h"
#include "device_queue.h"
#include "widgets/page_controls.h"

using namespace kvtest::channel_pages;

namespace {

struct InputPage {
    CDSDATA model;
    kvtest::WireRecorder wire;
    std::unique_ptr<CDlgIn> page;
    RecordingEditors editors;

    void Open() {
        page = std::make_unique<CDlgIn>(model);
        page->SetEditors(&editors);
        page->Activate();
        wire.Clear();
    }
    template <class T>
    T* Get(const char* name) {
        return Child<T>(page.get(), name);
    }
    CommitEdit* Edit(const char* input) { return Get<CommitEdit>(QByteArray(input).append("DelayEdit").constData()); }
    SpinButtons* Spin(const char* input) { return Get<SpinButtons>(QByteArray(input).append("DelaySpin").constData()); }
    CGridButton* Cell(const char* grid, const char* column, int row) {
        return Child<CGridButton>(page.get(),
                                  QStringLiteral("%1_%2_%3").arg(grid, column).arg(row).toLatin1().constData());
    }
    bool RowEnabled(const char* grid, int row) {
        bool all = true, any = false;
        for (const char* col : {"type", "freq", "gain"}) {
            all = all && Cell(grid, col, row)->isEnabled();
            any = any || Cell(grid, col, row)->isEnabled();
        }
        if (all != any) qFatal("row %d of %s partly enabled", row, grid);
        return all;
    }
};

void StepUp(SpinButtons* spin) { QTest::mouseClick(Child<QAbstractButton>(spin, "up"), Qt::LeftButton); }

}  // namespace

class TestDlgIn : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void delayLimitsFollowTheOutputsFed();
    void typedDelays();
    void editGreyedWhenAnOutputUsesAllDelay();
    void sumDelayArrows();
    void linkedInputs();
    void linkedInADelayLeavesRoomForInBOutputs();
    void inAGridWithTwoFilters();
    void inBGridShowsItsOwnCopiesAndTheDefaultRow();
    void gridClicksOpenTheEditorForTheInput();
};

void TestDlgIn::delayLimitsFollowTheOutputsFed() {
    InputPage t;
    t.model.out_source[1] = 1;  // Out 2 takes In B
    t.model.out_delay[1] = 30000;
    t.model.out_delay[0] = 2000;
    t.model.out_delay[5] = 2500;  // the largest In A output counts
    t.Open();
    QCOMPARE(t.Spin("ina")->maximum(), 28000);
    QCOMPARE(t.Spin("inb")->maximum(), 500);
    QCOMPARE(t.Spin("sum")->maximum(), 30500);  // no output takes In SUM

    TypeAndEnter(t.Edit("inb"), "20");
    QCOMPARE(t.model.inb_delay, 500);
    QCOMPARE(t.Edit("inb")->text(), QString("10.417 ms"));
    StepUp(t.Spin("inb"));
    QCOMPARE(t.model.inb_delay, 500);
    TypeAndEnter(t.Edit("ina"), "700");
    QCOMPARE(t.model.ina_delay, 28000);
    QCOMPARE(Sent(t.wire), Lines({"F0 00 20 18 00 2D 21 20 00 74 03 F7", "F0 00 20 18 00 2D 21 20 00 74 03 F7",
                                  "F0 00 20 18 00 2D 20 20 00 60 5A 01 F7"}));
}

void TestDlgIn::typedDelays() {
    InputPage t;
    t.Open();
    TypeAndEnter(t.Edit("ina"), "1");
    QCOMPARE(t.model.ina_delay, 48);
    QCOMPARE(t.Edit("ina")->text(), QString("1.000 ms"));
    QCOMPARE(t.Spin("ina")->position(), 48);
    TypeAndEnter(t.Edit("sum"), "635.5");
    QCOMPARE(t.model.sum_delay, 30500);
    QCOMPARE(t.Edit("sum")->text(), QString("635.417 ms"));
    // A word is no delay: the edit shows the model's again and nothing goes out.
    TypeAndEnter(t.Edit("ina"), "abc");
    QCOMPARE(t.model.ina_delay, 48);
    QCOMPARE(t.Edit("ina")->text(), QString("1.000 ms"));
    QCOMPARE(Sent(t.wire), Lines({"F0 00 20 18 00 2D 20 20 00 30 F7", "F0 00 20 18 00 2D 22 20 00 24 6E 01 F7"}));

    // Typing without Enter is dropped when the edit loses the focus.
    QVERIFY(ShowActive(t.page.get()));
    t.wire.Clear();
    t.Edit("ina")->setFocus();
    QTRY_VERIFY(t.Edit("ina")->hasFocus());
    QTest::keyClicks(t.Edit("ina"), "99");
    t.Edit("sum")->setFocus();
    QTRY_COMPARE(t.Edit("ina")->text(), QString("1.000 ms"));
    QCOMPARE(t.model.ina_delay, 48);
    QCOMPARE(Sent(t.wire), QString());
}

void TestDlgIn::editGreyedWhenAnOutputUsesAllDelay() {
    InputPage t;
    t.model.out_delay[2] = 30500;  // Out 3 on In A uses the whole delay
    t.Open();
    QVERIFY(!t.Edit("ina")->isEnabled());
    QVERIFY(!t.Spin("ina")->isEnabled());
    QVERIFY(t.Edit("inb")->isEnabled());
    QVERIFY(t.Edit("sum")->isEnabled());
    t.model.out_delay[2] = 30499;
    t.page->Activate();
    QVERIFY(t.Edit("ina")->isEnabled());
    QCOMPARE(t.Spin("ina")->maximum(), 1);
}

void TestDlgIn::sumDelayArrows() {
    InputPage t;
    t.model.cur_chan = 4;
    t.Open();
    QTest::mouseClick(Child<QAbstractButton>(t.Spin("sum"), "down"), Qt::LeftButton);
    QCOMPARE(t.model.sum_delay, 0);
    StepUp(t.Spin("sum"));
    StepUp(t.Spin("sum"));
    QCOMPARE(t.model.sum_delay, 2);
    QCOMPARE(t.Edit("sum")->text(), QString("0.042 ms"));
    QCOMPARE(t.model.cur_chan, 4);  // the input delays leave the channel cursor alone
    QCOMPARE(Sent(t.wire), Lines({"F0 00 20 18 00 2D 22 20 00 F7", "F0 00 20 18 00 2D 22 20 00 01 F7",
                                  "F0 00 20 18 00 2D 22 20 00 02 F7"}));
}

void TestDlgIn::linkedInputs() {
    InputPage t;
    Configure(t.model, 1, 1);
    t.model.inb_eq_slot[0] = 1;
    t.model.eq_owner[1] = CHAN_IN_B;
    t.model.eq_dsp[1] = 0;
    t.Open();
    QCOMPARE(t.Get<QGroupBox>("inaGroup")->title(), QString("InA&&B"));  // shows as InA&B
    QCOMPARE(t.Get<QGroupBox>("inbGroup")->title(), QString());
    QVERIFY(!t.Edit("inb")->isEnabled());
    QVERIFY(!t.Spin("inb")->isEnabled());
    for (int row = 0; row < 12; ++row) QVERIFY(!t.RowEnabled("inb", row));
    QVERIFY(t.RowEnabled("ina", 0));

    TypeAndEnter(t.Edit("ina"), "2");
    QCOMPARE(t.model.ina_delay, 96);
    QCOMPARE(t.model.inb_delay, 96);
    QCOMPARE(t.Edit("inb")->text(), QString("2.000 ms"));
    StepUp(t.Spin("ina"));
    QCOMPARE(t.model.ina_delay, 97);
    QCOMPARE(t.model.inb_delay, 97);
    QCOMPARE(t.Edit("inb")->text(), QString("2.021 ms"));
    // While linked the In A delay also reaches In B.
    QCOMPARE(Sent(t.wire), Lines({"F0 00 20 18 00 2D 20 20 00 60 F7", "F0 00 20 18 00 2D 21 20 00 60 F7",
                                  "F0 00 20 18 00 2D 20 20 00 61 F7", "F0 00 20 18 00 2D 21 20 00 61 F7"}));

    t.model.link_on = 0;
    t.page->Activate();
    QCOMPARE(t.Get<QGroupBox>("inaGroup")->title(), QString("InA"));
    QCOMPARE(t.Get<QGroupBox>("inbGroup")->title(), QString("InB"));
    QVERIFY(t.Edit("inb")->isEnabled());
    QVERIFY(t.RowEnabled("inb", 0));
}

void TestDlgIn::linkedInADelayLeavesRoomForInBOutputs() {
    InputPage t;
    Configure(t.model, 1, 1);
    t.model.out_delay[1] = 30000;  // Out 2 on In B
    t.Open();
    QCOMPARE(t.Spin("ina")->maximum(), 500);
    TypeAndEnter(t.Edit("ina"), "100");
    QCOMPARE(t.model.ina_delay, 500);
    QCOMPARE(t.model.inb_delay, 500);
    QVERIFY(t.model.inb_delay + t.model.out_delay[1] <= KV_MAX_DELAY);
}

void TestDlgIn::inAGridWithTwoFilters() {
    InputPage t;
    CDSDATA& m = t.model;
    m.ina_eq_slot[0] = 6;
    m.ina_eq_slot[1] = 2;
    for (int r : {6, 2}) {
        m.eq_owner[r] = CHAN_IN_A;
        m.eq_dsp[r] = 0;
    }
    m.ina_eq_type[6] = 3;
    m.ina_eq_freq[6] = 1;
    m.ina_eq_gain[6] = 60;
    m.ina_eq_bw[6] = 0;
    m.eq_type[6] = 0;  // the grid shows In A's own copies
    t.Open();
    QCOMPARE(t.Cell("ina", "type", 0)->text(), QString("High 6"));
    QCOMPARE(t.Cell("ina", "freq", 0)->text(), QString(" 15.0 Hz"));
    QCOMPARE(t.Cell("ina", "gain", 0)->text(), QString("15.0 dB"));
    QCOMPARE(t.Cell("ina", "width", 0)->text(), QString("0.05 Oct"));
    QVERIFY(!t.Cell("ina", "width", 0)->isEnabled());
    QCOMPARE(t.Cell("ina", "type", 1)->text(), QString("Bell"));
    QVERIFY(t.Cell("ina", "width", 1)->isEnabled());
    QVERIFY(t.RowEnabled("ina", 0));
    QVERIFY(t.RowEnabled("ina", 1));
    QVERIFY(t.RowEnabled("ina", 2));  // room for one more
    for (int row = 3; row < 12; ++row) QVERIFY(!t.RowEnabled("ina", row));
    QVERIFY(t.RowEnabled("inb", 0));

    kvtest::OccupyRows(m, 20, 10, 0, 0);  // 6 + 2 + 10 units on the first DSP
    QCOMPARE(m.CalDSP1(), 18);
    t.page->Activate();
    QVERIFY(!t.RowEnabled("ina", 2));
    QVERIFY(!t.RowEnabled("inb", 0));
    QVERIFY(t.RowEnabled("ina", 1));
}

void TestDlgIn::inBGridShowsItsOwnCopiesAndTheDefaultRow() {
    InputPage t;
    CDSDATA& m = t.model;
    m.inb_eq_slot[0] = 12;
    m.eq_owner[12] = CHAN_IN_B;
    m.inb_eq_type[12] = 4;
    m.inb_eq_freq[12] = 200;
    m.inb_eq_gain[12] = 10;
    t.Open();
    QCOMPARE(t.Cell("inb", "type", 0)->text(), QString("High 12"));
    QCOMPARE(t.Cell("inb", "freq", 0)->text(), QString("16.0k Hz"));
    QCOMPARE(t.Cell("inb", "gain", 0)->text(), QString("-10.0 dB"));
    // Empty rows never show another filter's values (here pool row 12's).
    for (int row = 1; row < 12; ++row) {
        QCOMPARE(t.Cell("inb", "type", row)->text(), QString("Bell"));
        QCOMPARE(t.Cell("inb", "freq", row)->text(), QString("1.00k Hz"));
        QCOMPARE(t.Cell("inb", "gain", row)->text(), QString("0.0 dB"));
        QCOMPARE(t.Cell("inb", "width", row)->text(), QString("0.30 Oct"));
    }
}

void TestDlgIn::gridClicksOpenTheEditorForTheInput() {
    InputPage t;
    CDSDATA& m = t.model;
    m.ina_eq_slot[0] = 0;
    m.ina_eq_slot[1] = 1;
    m.eq_owner[0] = m.eq_owner[1] = CHAN_IN_A;
    m.inb_eq_slot[0] = 5;
    m.eq_owner[5] = CHAN_IN_B;
    t.Open();
    t.editors.edit = [](CDSDATA& d) {  // opens a filter in the clicked slot
        d.ina_eq_slot[d.cur_slot] = 9;
        d.eq_owner[9] = CHAN_IN_A;
        d.ina_eq_type[9] = 1;
    };
    QTest::mouseClick(t.Cell("ina", "freq", 2), Qt::LeftButton);
    QCOMPARE(int(t.editors.calls.size()), 1);
    auto call = t.editors.calls.back();
    QVERIFY(call.eq);
    QVERIFY(call.hide_crossover);
    QCOMPARE(call.cur_chan, CHAN_IN_A);
    QCOMPARE(call.cur_slot, 2);
    QCOMPARE(call.cur_eq, -1);
    QCOMPARE(t.Cell("ina", "type", 2)->text(), QString("Low 12"));
    QVERIFY(t.RowEnabled("ina", 3));

    t.editors.edit = nullptr;
    QTest::mouseClick(t.Cell("inb", "type", 0), Qt::LeftButton);
    call = t.editors.calls.back();
    QCOMPARE(call.cur_chan, CHAN_IN_B);
    QCOMPARE(call.cur_slot, 0);
    QCOMPARE(call.cur_eq, 5);
    QVERIFY(call.hide_crossover);
    QCOMPARE(Sent(t.wire), QString());
}

QTEST_MAIN(TestDlgIn)
#include "tst_dlg_in.moc"
