// The output page: typed values, track bars, delay arrows, mute, polarity,
// source, the stereo-linked page, the EQ grid and the crossover cells, with
// the bytes each control sends.
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>
#include <memory>

#include "channel/dlg_output.h"
#include "channel/grid_button.h"
#include "channel_pages.h"
#include "model_builder.h"
#include "device_queue.h"
#include "widgets/page_controls.h"

using namespace kvtest::channel_pages;

namespace {

// One output page on a fresh model, with the line recorded.
struct OutputPage {
    CDSDATA model;
    kvtest::WireRecorder wire;
    std::unique_ptr<CDlgOutput> page;
    RecordingEditors editors;

    void Open(int output) {
        page = std::make_unique<CDlgOutput>(model, output);
        page->SetEditors(&editors);
        page->Activate();
        wire.Clear();
    }
    template <class T>
    T* Get(const char* name) {
        return Child<T>(page.get(), name);
    }
    QString Text(const char* name) { return Get<QLineEdit>(name)->text(); }
    CGridButton* Cell(const char* column, int row) {
        return Child<CGridButton>(page.get(), QStringLiteral("eq_%1_%2").arg(column).arg(row).toLatin1().constData());
    }
};

// Clicks near the left end, where check and radio buttons have their mark.
void Click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2)); }

}  // namespace

class TestDlgOutput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void typedGain_data();
    void typedGain();
    void typedLimitIsBounded();
    void gainTrackBarRunsTopToBottom();
    void typedDelay();
    void typedDelayKeepsInputDelayRoom();
    void delayArrowsStopAtTheRoomLeft();
    void delayEditGreyedWhenTheInputUsesAllDelay();
    void sourceChangeMovesTheSpinRangeOnly();
    void leavingAnEditRestoresItsText();
    void enterElsewhereOnlyShowsTexts();
    void activationShowsTheModel();
    void linkedPageCaptionsAndPartnerMute();
    void partnerSourceAndItsDelayRoom();
    void gainMoveCopiesToThePartner();
    void unlinkedPageHasNoPartnerControls();
    void eqGridRowsAndBellWidth();
    void freeEqRowAndSwitchedOffCrossoverFollowDspBudget();
    void crossoverCellsShowShortNamesAndOut();
    void eqCellClickOpensEditorAndRefreshes();
    void crossoverCellClickSetsSide();
};

void TestDlgOutput::typedGain_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("gain");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("3") << "3" << 15 << "+3.0 dB"
                       << "F0 00 20 18 00 2D 60 62 00 5A F7";
    QTest::newRow("1.99 truncates") << "1.99" << 9 << "+1.8 dB"
                                    << "F0 00 20 18 00 2D 60 62 00 54 F7";
    QTest::newRow("-1.99 truncates toward zero") << "-1.99" << -9 << "-1.8 dB"
                                                 << "F0 00 20 18 00 2D 60 62 00 42 F7";
    QTest::newRow("20 limited") << "20" << 75 << "+15.0 dB"
                                << "F0 00 20 18 00 2D 60 62 00 16 01 F7";
    QTest::newRow("1k reads 1000") << "1k" << 75 << "+15.0 dB"
                                   << "F0 00 20 18 00 2D 60 62 00 16 01 F7";
    QTest::newRow("-15 is the bottom") << "-15" << -75 << "-15.0 dB"
                                       << "F0 00 20 18 00 2D 60 62 00 F7";
    // A word is no value: the edit shows the model's gain again, nothing goes out.
    QTest::newRow("not a number changes nothing") << "loud" << 0 << "+0.0 dB"
                                                  << "";
    QTest::newRow("a word after a sign changes nothing") << "-inf" << 0 << "+0.0 dB"
                                                         << "";
    QTest::newRow("blanks change nothing") << "   " << 0 << "+0.0 dB"
                                           << "";
}

void TestDlgOutput::typedGain() {
    QFETCH(QString, typed);
    QFETCH(int, gain);
    QFETCH(QString, text);
    QFETCH(QString, message);
    OutputPage t;
    t.Open(0);
    TypeAndEnter(t.Get<CommitEdit>("gainEdit"), typed);
    QCOMPARE(t.model.out_gain[0], gain);
    QCOMPARE(t.Text("gainEdit"), text);
    QCOMPARE(t.Get<QSlider>("gainSlider")->value(), -gain);
    QCOMPARE(Sent(t.wire), message);
}

void TestDlgOutput::typedLimitIsBounded() {
    OutputPage t;
    t.Open(2);
    auto* edit = t.Get<CommitEdit>("limitEdit");
    TypeAndEnter(edit, "-12");  // below -10 dBu
    QCOMPARE(t.model.out_limit[2], -50);
    QCOMPARE(t.Text("limitEdit"), QString("-10.0 dBu"));
    QCOMPARE(t.Get<QSlider>("limitSlider")->value(), 50);
    TypeAndEnter(edit, "7.39");
    QCOMPARE(t.model.out_limit[2], 36);
    QCOMPARE(t.Text("limitEdit"), QString("+7.2 dBu"));
    TypeAndEnter(edit, "2k");
    QCOMPARE(t.model.out_limit[2], 100);
    // The lowest threshold goes out as 0 and so without a data byte.
    QCOMPARE(Sent(t.wire), Lines({"F0 00 20 18 00 2D 62 63 00 F7", "F0 00 20 18 00 2D 62 63 00 56 F7",
                                  "F0 00 20 18 00 2D 62 63 00 16 01 F7"}));
    // A word typed into the limiter keeps the threshold and sends nothing.
    t.wire.Clear();
    TypeAndEnter(edit, "abc");
    QCOMPARE(t.model.out_limit[2], 100);
    QCOMPARE(t.Text("limitEdit"), QString("+20.0 dBu"));
    QCOMPARE(t.Get<QSlider>("limitSlider")->value(), -100);
    QCOMPARE(Sent(t.wire), QString());
}

void TestDlgOutput::gainTrackBarRunsTopToBottom() {
    OutputPage t;
    t.Open(0);
    auto* slider = t.Get<QSlider>("gainSlider");
    // The arrow up moves the thumb up, toward the highest gain.
    QTest::keyClick(slider, Qt::Key_Up);
    QCOMPARE(t.model.out_gain[0], 1);
    QCOMPARE(t.Text("gainEdit"), QString("+0.2 dB"));
    slider->setValue(-75);  // dragged to the top
    QCOMPARE(t.model.out_gain[0], 75);
    QCOMPARE(t.Text("gainEdit"), QString("+15.0 dB"));
    QCOMPARE(Sent(t.wire), Lines({"F0 00 20 18 00 2D 60 62 00 4C F7", "F0 00 20 18 00 2D 60 62 00 16 01 F7"}));

    auto* limit = t.Get<QSlider>("limitSlider");
    limit->setValue(-100);
    QCOMPARE(t.model.out_limit[0], 100);
    QCOMPARE(t.Text("limitEdit"), QString("+20.0 dBu"));
}

void TestDlgOutput::typedDelay() {
    OutputPage t;
    t.Open(0);
    TypeAndEnter(t.Get<CommitEdit>("delayEdit"), "10");
    QCOMPARE(t.model.out_delay[0], 480);
    QCOMPARE(t.Text("delayEdit"), QString("10.000 ms"));
    QCOMPARE(t.Get<SpinButtons>("delaySpin")->position(), 480);
    QCOMPARE(Sent(t.wire), QString("F0 00 20 18 00 2D 60 64 00 60 03 F7"));
    TypeAndEnter(t.Get<CommitEdit>("delayEdit"), "-3");
    QCOMPARE(t.model.out_delay[0], 0);
}

void TestDlgOutput::typedDelayKeepsInputDelayRoom() {
    OutputPage t;
    t.model.ina_delay = 30000;
    t.model.out_source[0] = 0;
    t.Open(0);
    auto* edit = t.Get<CommitEdit>("delayEdit");
    TypeAndEnter(edit, "10.4");
    QCOMPARE(t.model.out_delay[0], 499);
    TypeAndEnter(edit, "10.418");
    QCOMPARE(t.model.out_delay[0], 500);
    TypeAndEnter(edit, "20");
    QCOMPARE(t.model.out_delay[0], 500);
    QCOMPARE(t.Text("delayEdit"), QString("10.417 ms"));
    QCOMPARE(t.wire.Messages().back(), kvtest::Hex("F0 00 20 18 00 2D 60 64 00 74 03 F7"));
}

void TestDlgOutput::delayArrowsStopAtTheRoomLeft() {
    OutputPage t;
    t.model.ina_delay = 30000;
    t.model.out_delay[0] = 499;
    t.Open(0);
    auto* spin = t.Get<SpinButtons>("delaySpin");
    QCOMPARE(spin->maximum(), 499);  // one below the room, as on every activation
    auto* up = Child<QAbstractButton>(spin, "up");
    Click(up);
    QCOMPARE(t.model.out_delay[0], 500);
    QCOMPARE(spin->maximum(), 500);
    Click(up);
    QCOMPARE(t.model.out_delay[0], 500);
    QCOMPARE(t.Text("delayEdit"), QString("10.417 ms"));

    t.model.ina_delay = 0;
    t.model.out_delay[0] = 0;
    t.page->Activate();
    t.wire.Clear();
    Click(Child<QAbstractButton>(spin, "down"));
    QCOMPARE(t.model.out_delay[0], 0);
    QTest::keyClick(t.Get<CommitEdit>("delayEdit"), Qt::Key_Up);  // the arrow keys step too
    QCOMPARE(t.model.out_delay[0], 1);
    QCOMPARE(t.Text("delayEdit"), QString("0.021 ms"));
    QCOMPARE(Sent(t.wire), Lines({"F0 00 20 18 00 2D 60 64 00 F7", "F0 00 20 18 00 2D 60 64 00 01 F7"}));
}

void TestDlgOutput::delayEditGreyedWhenTheInputUsesAllDelay() {
    OutputPage t;
    t.model.sum_delay = 30500;
    t.model.out_source[3] = 2;
    t.Open(3);
    QVERIFY(!t.Get<CommitEdit>("delayEdit")->isEnabled());
    Click(t.Get<QRadioButton>("source0"));
    QVERIFY(t.Get<CommitEdit>("delayEdit")->isEnabled());
}

void TestDlgOutput::sourceChangeMovesTheSpinRangeOnly() {
    OutputPage t;
    t.model.ina_delay = 30000;
    t.model.inb_delay = 100;
    t.model.out_delay[4] = 400;
    t.Open(4);
    auto* spin = t.Get<SpinButtons>("delaySpin");
    QCOMPARE(spin->maximum(), 499);
    Click(t.Get<QRadioButton>("source1"));
    QCOMPARE(t.model.out_source[4], char(1));
    QCOMPARE(spin->maximum(), 30399);
    QCOMPARE(t.model.out_delay[4], 400);
    Click(t.Get<QRadioButton>("source0"));
    QCOMPARE(spin->maximum(), 499);
    QCOMPARE(t.model.out_delay[4], 400);
    // The source message always carries its data byte, In A included.
    QCOMPARE(Sent(t.wire), Lines({"F0 00 20 18 00 2D 64 61 00 01 F7", "F0 00 20 18 00 2D 64 61 00 00 F7"}));
}

void TestDlgOutput::leavingAnEditRestoresItsText() {
    OutputPage t;
    t.model.out_gain[0] = 10;
    t.Open(0);
    QVERIFY(ShowActive(t.page.get()));
    for (const char* name : {"gainEdit", "limitEdit", "delayEdit"}) {
        auto* edit = t.Get<CommitEdit>(name);
        const QString before = edit->text();
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        edit->selectAll();
        QTest::keyClicks(edit, "7");
        QCOMPARE(edit->text(), QString("7"));
        QTest::keyClick(edit, Qt::Key_Tab);
        QTRY_VERIFY(!edit->hasFocus());
        QCOMPARE(edit->text(), before);
    }
    QCOMPARE(t.model.out_gain[0], 10);
    QCOMPARE(t.model.out_limit[0], 20);
    QCOMPARE(t.model.out_delay[0], 0);
    QCOMPARE(Sent(t.wire), QString());
}

void TestDlgOutput::enterElsewhereOnlyShowsTexts() {
    OutputPage t;
    t.Open(1);
    t.Get<CommitEdit>("gainEdit")->setText("9");  // typed, not confirmed
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(t.Get<QCheckBox>("polarity"), &enter);
    QVERIFY(enter.isAccepted());  // consumed by the page: the sheet never sees it
    QCOMPARE(t.Text("gainEdit"), QString("+0.0 dB"));
    QCOMPARE(t.model.out_gain[1], 0);
    QCOMPARE(t.model.out_polarity[1], 0);
    QCOMPARE(Sent(t.wire), QString());
}

void TestDlgOutput::activationShowsTheModel() {
    OutputPage t;
    t.model.cur_chan = 5;
    t.model.out_mute[2] = 0;
    t.model.out_polarity[2] = 1;
    t.model.out_source[2] = 2;
    t.model.out_gain[2] = -30;
    t.model.out_limit[2] = -7;
    t.model.out_delay[2] = 30500;
    t.Open(2);
    QCOMPARE(t.model.cur_chan, 2);
    QVERIFY(!t.Get<QCheckBox>("mute")->isChecked());
    QVERIFY(t.Get<QCheckBox>("polarity")->isChecked());
    QVERIFY(t.Get<QRadioButton>("source2")->isChecked());
    QCOMPARE(t.Get<QSlider>("gainSlider")->value(), 30);
    QCOMPARE(t.Text("gainEdit"), QString("-6.0 dB"));
    QCOMPARE(t.Get<QSlider>("limitSlider")->value(), 7);
    QCOMPARE(t.Text("limitEdit"), QString("-1.4 dBu"));
    QCOMPARE(t.Text("delayEdit"), QString("635.417 ms"));
    QCOMPARE(t.Get<SpinButtons>("delaySpin")->position(), 30500);
    QCOMPARE(Sent(t.wire), QString());

    Click(t.Get<QCheckBox>("mute"));
    Click(t.Get<QCheckBox>("polarity"));
    QCOMPARE(t.model.out_mute[2], 1);
    QCOMPARE(t.model.out_polarity[2], 0);
    QCOMPARE(Sent(t.wire), Lines({"F0 00 20 18 00 2D 62 70 00 01 F7", "F0 00 20 18 00 2D 62 66 00 F7"}));
}

void TestDlgOutput::linkedPageCaptionsAndPartnerMute() {
    OutputPage t;
    Configure(t.model, 1, 1);
    t.Open(0);
    auto* mute2 = t.Get<QCheckBox>("partnerMute");
    QCOMPARE(t.Get<QCheckBox>("mute")->text(), QString("Mute 1"));
    QCOMPARE(mute2->text(), QString("Mute 2"));
    QVERIFY(!mute2->isHidden());
    QVERIFY(mute2->isChecked());
    QCOMPARE(t.Get<QGroupBox>("sourceGroup")->title(), QString("Source[Out 1]"));
    QCOMPARE(t.Get<QGroupBox>("partnerSourceGroup")->title(), QString("Source[Out 2]"));
    QVERIFY(t.Get<QRadioButton>("partnerSource1")->isChecked());  // Out 2 takes In B in this configuration

    Click(mute2);
    QCOMPARE(t.model.out_mute[1], 0);
    QCOMPARE(t.model.out_mute[0], 1);
    QCOMPARE(t.model.cur_chan, 0);
    QCOMPARE(Sent(t.wire), QString("F0 00 20 18 00 2D 61 70 00 F7"));

    // The page's own mute is not repeated to the partner either.
    t.wire.Clear();
    Click(t.Get<QCheckBox>("mute"));
    QCOMPARE(Sent(t.wire), QString("F0 00 20 18 00 2D 60 70 00 F7"));
}

void TestDlgOutput::partnerSourceAndItsDelayRoom() {
    OutputPage t;
    Configure(t.model, 2, 1);  // Out 4 and Out 6 take In A and In B
    t.model.inb_delay = 30000;
    t.Open(3);
    auto* spin = t.Get<SpinButtons>("delaySpin");
    QCOMPARE(spin->maximum(), 499);  // the partner's In B counts
    Click(t.Get<QRadioButton>("partnerSource0"));
    QCOMPARE(t.model.out_source[5], char(0));
    QCOMPARE(t.model.out_source[3], char(0));
    QCOMPARE(spin->maximum(), 30499);
    QCOMPARE(Sent(t.wire), QString("F0 00 20 18 00 2D 65 61 00 00 F7"));
    TypeAndEnter(t.Get<CommitEdit>("delayEdit"), "700");
    QCOMPARE(t.model.out_delay[3], 30500);
    QCOMPARE(t.model.out_delay[5], 30500);
}

void TestDlgOutput::gainMoveCopiesToThePartner() {
    OutputPage t;
    Configure(t.model, 1, 1);
    t.model.out_polarity[0] = 1;
    t.model.out_delay[0] = 100;
    t.model.out_limit[0] = 30;
    t.model.xo_type[0][0] = 3;
    t.model.xo_type[0][1] = 9;
    t.model.xo_freq[0][0] = 10;
    t.model.xo_freq[0][1] = 150;
    t.model.out_mute[1] = 0;
    t.Open(0);
    t.Get<QSlider>("gainSlider")->setValue(-20);
    QCOMPARE(t.model.out_gain[0], 20);
    QCOMPARE(t.model.out_gain[1], 20);
    QCOMPARE(t.model.out_polarity[1], 1);
    QCOMPARE(t.model.out_delay[1], 100);
    QCOMPARE(t.model.out_limit[1], 30);
    QCOMPARE(t.model.xo_type[1][0], 3);
    QCOMPARE(t.model.xo_type[1][1], 9);
    QCOMPARE(t.model.xo_freq[1][0], 10);
    QCOMPARE(t.model.xo_freq[1][1], 150);
    QCOMPARE(int(t.model.out_name[1]), 6 + 3);  // "L Low" -> "R Low"
    QCOMPARE(t.model.out_mute[1], 0);           // mute and source stay the partner's own
    QCOMPARE(t.model.out_source[1], char(1));
    QCOMPARE(Sent(t.wire), Lines({"F0 00 20 18 00 2D 60 62 00 5F F7", "F0 00 20 18 00 2D 61 62 00 5F F7"}));
}

void TestDlgOutput::unlinkedPageHasNoPartnerControls() {
    OutputPage t;
    Configure(t.model, 2, 1);
    t.Open(1);  // Out 2 has no partner in "3 Channel 2 Way"
    QCOMPARE(t.Get<QCheckBox>("mute")->text(), QString("Mute"));
    QVERIFY(t.Get<QCheckBox>("partnerMute")->isHidden());
    QCOMPARE(t.Get<QGroupBox>("sourceGroup")->title(), QString("Source"));
    for (const char* name : {"partnerSource0", "partnerSource1", "partnerSource2"})
        QVERIFY(!t.Get<QRadioButton>(name)->isEnabled());
    t.Get<QSlider>("gainSlider")->setValue(-5);
    QCOMPARE(t.model.out_gain[0], 0);
    QCOMPARE(t.model.out_gain[2], 0);
    QCOMPARE(Sent(t.wire), QString("F0 00 20 18 00 2D 61 62 00 50 F7"));
}

void TestDlgOutput::eqGridRowsAndBellWidth() {
    OutputPage t;
    CDSDATA& m = t.model;
    m.out_eq_slot[0][0] = 4;
    m.out_eq_slot[0][1] = 7;
    m.eq_owner[4] = m.eq_owner[7] = 0;
    m.eq_dsp[4] = m.eq_dsp[7] = 0;
    m.eq_type[4] = 2;
    m.eq_freq[4] = 120;
    m.eq_gain[4] = 31;
    m.eq_bw[4] = 9;
    m.eq_type[7] = 4;
    m.eq_freq[7] = 0;
    m.eq_gain[7] = 0;
    m.eq_bw[7] = 59;
    t.Open(0);
    QCOMPARE(t.Cell("type", 0)->text(), QString("Bell"));
    QCOMPARE(t.Cell("freq", 0)->text(), QString("1.00k Hz"));
    QCOMPARE(t.Cell("gain", 0)->text(), QString("0.5 dB"));
    QCOMPARE(t.Cell("width", 0)->text(), QString("0.50 Oct"));
    QVERIFY(t.Cell("width", 0)->isEnabled());
    QCOMPARE(t.Cell("type", 1)->text(), QString("High 12"));
    QCOMPARE(t.Cell("gain", 1)->text(), QString("-15.0 dB"));
    QCOMPARE(t.Cell("width", 1)->text(), QString("3.00 Oct"));
    QVERIFY(t.Cell("type", 1)->isEnabled());
    QVERIFY(!t.Cell("width", 1)->isEnabled());  // only a Bell has a width
    for (const char* col : {"type", "freq", "gain", "width"}) {
        QVERIFY(t.Cell(col, 2)->isEnabled());  // first free row
        for (int row = 3; row < 12; ++row) QVERIFY(!t.Cell(col, row)->isEnabled());
    }
    // Empty rows show the default filter.
    QCOMPARE(t.Cell("type", 5)->text(), QString("Bell"));
    QCOMPARE(t.Cell("freq", 5)->text(), QString("1.00k Hz"));
    QCOMPARE(t.Cell("gain", 5)->text(), QString("0.0 dB"));
    QCOMPARE(t.Cell("width", 5)->text(), QString("0.30 Oct"));
}

void TestDlgOutput::freeEqRowAndSwitchedOffCrossoverFollowDspBudget() {
    OutputPage t;
    CDSDATA& m = t.model;  // Mono: Out 1's high-pass is off, DSP 1 carries 6 units, DSP 2 14
    kvtest::OccupyRows(m, 0, 11, 0, 0);
    QCOMPARE(m.CalDSP1(), 17);
    t.Open(0);
    QVERIFY(t.Cell("type", 0)->isEnabled());
    QVERIFY(t.Get<CGridButton>("xoHpFreq")->isEnabled());

    kvtest::OccupyRows(m, 0, 12, 0, 0);
    QCOMPARE(m.CalDSP1(), 18);
    t.page->Activate();
    for (const char* col : {"type", "freq", "gain", "width"}) QVERIFY(!t.Cell(col, 0)->isEnabled());
    QVERIFY(!t.Get<CGridButton>("xoHpFreq")->isEnabled());
    QVERIFY(!t.Get<CGridButton>("xoHpType")->isEnabled());
    QVERIFY(t.Get<CGridButton>("xoLpFreq")->isEnabled());  // a working filter can always be edited
    QVERIFY(t.Get<CGridButton>("xoLpType")->isEnabled());

    // Out 4 counts both DSPs together: 18 + 14 leaves room below 38.
    t.Open(3);
    QVERIFY(t.Cell("type", 0)->isEnabled());
    kvtest::OccupyRows(m, 20, 5, 0, 1);
    QCOMPARE(m.CalDSP1() + m.CalDSP2(), 37);
    t.page->Activate();
    QVERIFY(t.Cell("type", 0)->isEnabled());
    kvtest::OccupyRows(m, 20, 6, 0, 1);
    t.page->Activate();
    QVERIFY(!t.Cell("type", 0)->isEnabled());

    // A switched-off filter of Out 6 needs room on the second DSP alone.
    QCOMPARE(m.CalDSP2(), 20);
    t.Open(5);
    QVERIFY(!t.Get<CGridButton>("xoLpFreq")->isEnabled());
    kvtest::OccupyRows(m, 25, 1, 0, -1);
    t.page->Activate();
    QVERIFY(t.Get<CGridButton>("xoLpFreq")->isEnabled());
    QVERIFY(t.Get<CGridButton>("xoLpType")->isEnabled());
}

void TestDlgOutput::crossoverCellsShowShortNamesAndOut() {
    OutputPage t;
    t.model.xo_type[1][0] = 0;
    t.model.xo_freq[1][0] = 120;
    t.model.xo_type[1][1] = 9;
    t.model.xo_freq[1][1] = 201;
    t.Open(1);
    QCOMPARE(t.Get<CGridButton>("xoHpFreq")->text(), QString("1.00k Hz"));
    QCOMPARE(t.Get<CGridButton>("xoHpType")->text(), QString("But 6"));
    QCOMPARE(t.Get<CGridButton>("xoLpFreq")->text(), QString("Out"));
    QCOMPARE(t.Get<CGridButton>("xoLpType")->text(), QString("L-R 48"));
}

void TestDlgOutput::eqCellClickOpensEditorAndRefreshes() {
    OutputPage t;
    CDSDATA& m = t.model;
    m.out_eq_slot[2][0] = 3;
    m.eq_owner[3] = 2;
    t.Open(2);
    // The "editor" opens a filter in the clicked slot, as the EQ editor would.
    t.editors.edit = [](CDSDATA& d) {
        d.out_eq_slot[d.cur_chan][d.cur_slot] = 8;
        d.eq_owner[8] = d.cur_chan;
        d.eq_type[8] = 0;
    };
    m.cur_chan = 0;  // another page was active meanwhile
    Click(t.Cell("gain", 1));
    QCOMPARE(int(t.editors.calls.size()), 1);
    const auto& call = t.editors.calls[0];
    QVERIFY(call.eq);
    QVERIFY(!call.hide_crossover);
    QCOMPARE(call.cur_chan, 2);
    QCOMPARE(call.cur_slot, 1);
    QCOMPARE(call.cur_eq, -1);
    QCOMPARE(t.Cell("type", 1)->text(), QString("Low 6"));
    QVERIFY(t.Cell("freq", 2)->isEnabled());  // the next free row

    t.editors.edit = nullptr;
    Click(t.Cell("type", 0));
    QCOMPARE(t.editors.calls.back().cur_slot, 0);
    QCOMPARE(t.editors.calls.back().cur_eq, 3);
    // Greyed rows cannot be clicked.
    Click(t.Cell("type", 5));
    QCOMPARE(int(t.editors.calls.size()), 2);
    QCOMPARE(Sent(t.wire), QString());
}

void TestDlgOutput::crossoverCellClickSetsSide() {
    OutputPage t;
    t.Open(4);
    t.editors.edit = [](CDSDATA& d) { d.xo_freq[d.cur_chan][d.xo_side] = d.xo_side ? 201 : 0; };
    Click(t.Get<CGridButton>("xoLpType"));
    QCOMPARE(t.editors.calls.back().xo_side, 1);
    QCOMPARE(t.editors.calls.back().cur_chan, 4);
    QVERIFY(!t.editors.calls.back().eq);
    QCOMPARE(t.Get<CGridButton>("xoLpFreq")->text(), QString("Out"));
    Click(t.Get<CGridButton>("xoHpFreq"));
    QCOMPARE(t.editors.calls.back().xo_side, 0);
    QCOMPARE(t.Get<CGridButton>("xoHpFreq")->text(), QString("Out"));
}

QTEST_MAIN(TestDlgOutput)
#include "tst_dlg_output.moc"
