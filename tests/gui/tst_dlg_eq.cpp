// The EQ editor against the real library, with the bytes on the line.
#include <QAbstractButton>
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

// The values of a filter, in the order the editor shows them (Ui::Texts).
enum class Field { kType, kFreq, kGain, kWidth };

int* PoolValues(CDSDATA& m, Field f) {
    switch (f) {
    case Field::kType: return m.eq_type;
    case Field::kFreq: return m.eq_freq;
    case Field::kGain: return m.eq_gain;
    case Field::kWidth: return m.eq_bw;
    }
    return nullptr;
}

// The input's own copy of the pool values (In A or In B), indexed by row.
int* InputCopy(CDSDATA& m, int chan, Field f) {
    const bool a = chan == CHAN_IN_A;
    switch (f) {
    case Field::kType: return a ? m.ina_eq_type : m.inb_eq_type;
    case Field::kFreq: return a ? m.ina_eq_freq : m.inb_eq_freq;
    case Field::kGain: return a ? m.ina_eq_gain : m.inb_eq_gain;
    case Field::kWidth: return a ? m.ina_eq_bw : m.inb_eq_bw;
    }
    return nullptr;
}

int GraphValue(const kvvalues::EqEntry& e, Field f) {
    switch (f) {
    case Field::kType: return e.type;
    case Field::kFreq: return e.freq_row;
    case Field::kGain: return e.gain_index;
    case Field::kWidth: return e.width_index;
    }
    return -1;
}

bool IsInput(int chan) { return chan == CHAN_IN_A || chan == CHAN_IN_B; }

// One edit of one filter in the editor: the filter placed in a slot (the
// slots below it hold bells on rows 0..slot-1), optionally linked to a twin
// on the partner channel (2 Channel 3 Way, link on); the editor opened on
// it; one press of a button, a text typed with Enter, or a type chosen
// (no widget: only opened). Then the filter's value and its text, the
// messages, the twin and the input copies, the graph.
struct FilterEdit {
    int chan = kOut3;
    int slot = 0;
    int row = 0;
    kvtest::FilterValues filter{kBell, 120, 40, 5};
    int twin_chan = -1;
    int twin_row = -1;
    QString widget{};  // object name: a button, an edit, or the type list
    QString input{};   // typed into the edit, or the type's name
    Field field = Field::kGain;
    int value = 0;    // the filter's field afterwards
    QString shown{};  // its text in the editor afterwards
    QStringList sent{};
    bool locked = false;    // opened at 0 dB: frequency, gain, width, type and Flat off
    bool released = false;  // the slot is empty afterwards (Flat)
};

// Places the case's filters and aims the cursors at its slot.
void Place(CDSDATA& m, const FilterEdit& c) {
    if (c.twin_chan >= 0) Configure(m, 1, 1);
    for (int s = 0; s < c.slot; ++s) WriteAllocatedFilter(m, c.chan, s, s, {kBell, 120, 40, 5});
    WriteAllocatedFilter(m, c.chan, c.slot, c.row, c.filter);
    if (c.twin_chan >= 0) {
        WriteAllocatedFilter(m, c.twin_chan, c.slot, c.twin_row, c.filter);
        m.eq_link[c.row] = c.twin_row;
    }
    Aim(m, c.chan, c.slot, c.row);
}

}  // namespace

Q_DECLARE_METATYPE(FilterEdit)

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

    void oneEditOfAFilter_data() {
        QTest::addColumn<FilterEdit>("edit");
        const kvtest::FilterValues bell{kBell, 120, 40, 5};
        auto row = [](const char* name, FilterEdit c) { QTest::newRow(name) << c; };
        // clang-format off
        // The gain skips 0 dB both ways and through typing; its ends hold.
        row("opened at -0.5 dB, nothing sent",
            {.filter = {kBell, 120, 29, 5}, .field = Field::kGain, .value = 29, .shown = "-0.5 dB"});
        row("gain up from -0.5 dB skips 0 dB",
            {.filter = {kBell, 120, 29, 5}, .widget = "gainUp", .field = Field::kGain, .value = 31, .shown = "0.5 dB",
             .sent = {P("62 6E 00 1F 02"), P("62 1A 01")}});
        row("gain down from 0.5 dB skips 0 dB",
            {.filter = {kBell, 120, 31, 5}, .widget = "gainDown", .field = Field::kGain, .value = 29, .shown = "-0.5 dB",
             .sent = {P("62 6E 00 1D 02"), P("62 1A 01")}});
        row("typed 0 dB gives -0.5 dB",
            {.filter = {kBell, 120, 35, 5}, .widget = "gainEdit", .input = "0", .field = Field::kGain, .value = 29,
             .shown = "-0.5 dB", .sent = {P("62 6E 00 1D 02"), P("62 1A 01")}});
        row("typed 40 dB stops at 15 dB",
            {.filter = {kBell, 120, 29, 5}, .widget = "gainEdit", .input = "40", .field = Field::kGain, .value = 60,
             .shown = "15.0 dB", .sent = {P("62 6E 00 3C 02"), P("62 1A 01")}});
        row("gain up at 15 dB holds",
            {.filter = {kBell, 120, 60, 5}, .widget = "gainUp", .field = Field::kGain, .value = 60, .shown = "15.0 dB",
             .sent = {P("62 6E 00 3C 02"), P("62 1A 01")}});
        row("a filter at 0 dB is locked; its gain spin moves it",
            {.chan = kOut2, .row = 5, .filter = {kBell, 120, 30, 5}, .widget = "gainUp", .field = Field::kGain,
             .value = 31, .shown = "0.5 dB", .sent = {P("61 6E 00 1F 02"), P("61 1A 01")}, .locked = true});
        // Typed frequencies take the nearest row; the top row holds.
        row("typed 20 Hz is row 8",
            {.row = 3, .filter = bell, .widget = "freqEdit", .input = "20", .field = Field::kFreq, .value = 8,
             .shown = " 20.6 Hz", .sent = {P("62 6D 00 08 02")}});
        row("typed 20000 Hz is the top row",
            {.row = 3, .filter = {kBell, 8, 40, 5}, .widget = "freqEdit", .input = "20000", .field = Field::kFreq,
             .value = 200, .shown = "16.0k Hz", .sent = {P("62 6D 00 48 03")}});
        row("frequency up on the top row sends it again",
            {.row = 3, .filter = {kBell, 200, 40, 5}, .widget = "freqUp", .field = Field::kFreq, .value = 200,
             .shown = "16.0k Hz", .sent = {P("62 6D 00 48 03")}});
        // Slot 1 is 4 on the wire; the type goes out even when it is 0, and
        // only the bell has a width.
        row("type Low 6 in slot 1",
            {.slot = 1, .row = 2, .filter = bell, .widget = "typeList", .input = "Low 6", .field = Field::kType,
             .value = kLow6, .shown = "Low 6", .sent = {P("62 6C 00 00 04")}});
        row("type Bell in slot 1",
            {.slot = 1, .row = 2, .filter = {kLow6, 120, 40, 5}, .widget = "typeList", .input = "Bell",
             .field = Field::kType, .value = kBell, .shown = "Bell", .sent = {P("62 6C 00 02 04")}});
        row("typed width 0.5 Oct in slot 1",
            {.slot = 1, .row = 2, .filter = bell, .widget = "widthEdit", .input = "0.5", .field = Field::kWidth,
             .value = 9, .shown = "0.50 Oct", .sent = {P("62 6F 00 09 04")}});
        row("width up in slot 1",
            {.slot = 1, .row = 2, .filter = {kBell, 120, 40, 9}, .widget = "widthUp", .field = Field::kWidth,
             .value = 10, .shown = "0.55 Oct", .sent = {P("62 6F 00 0A 04")}});
        row("Flat releases the filter",
            {.filter = {kLow6, 150, 40, 20}, .widget = "flatButton", .field = Field::kGain, .value = 30,
             .shown = "0.0 dB", .sent = {P("62 6E 00 1E 02"), P("62 1A 01")}, .released = true});
        // A linked filter moves its twin, with one message each; an input's
        // copies keep in step.
        row("In A width moves In B's twin",
            {.chan = CHAN_IN_A, .row = 3, .filter = bell, .twin_chan = CHAN_IN_B, .twin_row = 4, .widget = "widthUp",
             .field = Field::kWidth, .value = 6, .shown = "0.35 Oct",
             .sent = {P("20 2D 00 06 02"), P("21 2D 00 06 02")}});
        row("In A type moves In B's twin",
            {.chan = CHAN_IN_A, .row = 3, .filter = bell, .twin_chan = CHAN_IN_B, .twin_row = 4, .widget = "typeList",
             .input = "Low 6", .field = Field::kType, .value = kLow6, .shown = "Low 6",
             .sent = {P("20 2A 00 00 02"), P("21 2A 00 00 02")}});
        row("Out 1 frequency moves Out 2's twin",
            {.chan = kOut1, .row = 0, .filter = bell, .twin_chan = kOut2, .twin_row = 1, .widget = "freqUp",
             .field = Field::kFreq, .value = 121, .shown = "1.03k Hz",
             .sent = {P("60 6D 00 79 02"), P("61 6D 00 79 02")}});
        // clang-format on
    }
    void oneEditOfAFilter() {
        QFETCH(FilterEdit, edit);
        const FilterEdit& c = edit;
        kvtest::WireRecorder rec;
        CDSDATA m;
        Place(m, c);
        CDlgEQ dlg(m, IsInput(c.chan));
        Ui ui(dlg);
        ShowActive(dlg);
        auto editable = [&ui] {
            return ui.freq->isEnabled() && ui.gain->isEnabled() && ui.type->isEnabled() && ui.flat->isEnabled();
        };
        QCOMPARE(editable(), !c.locked);
        QVERIFY(!ui.add->isEnabled());
        QCOMPARE(ui.width->isEnabled(), !c.locked && c.filter.type == kBell);  // only the bell has a width

        if (c.widget == ui.type->objectName()) {
            const int index = ui.type->findText(c.input);
            QVERIFY2(index >= 0, qPrintable(c.input));
            ui.type->setCurrentIndex(index);  // as a choice in the list does
            ui.type->activated(index);
        } else if (!c.widget.isEmpty()) {
            if (auto* edit_box = dlg.findChild<QLineEdit*>(c.widget)) {
                TypeAndEnter(edit_box, c.input);
            } else {
                auto* button = dlg.findChild<QAbstractButton*>(c.widget);
                QVERIFY2(button, qPrintable(c.widget));
                button->click();
            }
        }

        QCOMPARE(PoolValues(m, c.field)[c.row], c.value);
        QCOMPARE(ui.Texts()[int(c.field)], c.shown);
        QCOMPARE(Sent(rec), c.sent);
        if (c.twin_chan >= 0) QCOMPARE(PoolValues(m, c.field)[c.twin_row], c.value);
        if (IsInput(c.chan)) QCOMPARE(InputCopy(m, c.chan, c.field)[c.row], c.value);
        if (IsInput(c.twin_chan)) QCOMPARE(InputCopy(m, c.twin_chan, c.field)[c.twin_row], c.value);
        // The graph holds the channel's own filters, never the twin.
        QCOMPARE(GraphValue(dlg.Graph()->EqSetA()[c.slot], c.field), c.value);
        QCOMPARE(dlg.Graph()->EqSetA()[c.slot + 1].gain_index, 30);
        // The default row stays the flat bell at 1 kHz.
        QCOMPARE((QList<int>{m.eq_type[KV_DEFAULT_ROW], m.eq_freq[KV_DEFAULT_ROW], m.eq_gain[KV_DEFAULT_ROW],
                             m.eq_bw[KV_DEFAULT_ROW]}),
                 (QList<int>{kBell, 120, 30, 5}));
        QVERIFY(dlg.isVisible());  // Enter never closes
        QCOMPARE(editable(), !c.released);
        QCOMPARE(ui.add->isEnabled(), c.released);
        QCOMPARE(ui.width->isEnabled(), !c.released && m.eq_type[c.row] == kBell);
        if (c.released) {
            QCOMPARE(m.eq_owner[c.row], -1);
            QCOMPARE(m.out_eq_slot[c.chan][c.slot], -1);
            QCOMPARE(m.cur_eq, KV_DEFAULT_ROW);
            QCOMPARE(ui.Texts(), (QStringList{"Bell", "1.00k Hz", "0.0 dB", "0.30 Oct"}));
        }
    }

    // Leaving an edit without Enter drops the typing; Enter elsewhere sends
    // nothing and leaves the dialog open; the arrow keys of an edit work its
    // spin.
    void typingCountsOnlyWithEnter() {
        kvtest::WireRecorder rec;
        CDSDATA m;
        Place(m, {.row = 3, .filter = {kBell, 200, 40, 5}});
        CDlgEQ dlg(m, false);
        Ui ui(dlg);
        ShowActive(dlg);
        ui.freq->setFocus();
        ui.freq->setText("500");
        ui.gain->setFocus();
        QCOMPARE(ui.freq->text(), QString("16.0k Hz"));
        ui.type->setFocus();
        QTest::keyClick(ui.type, Qt::Key_Return);
        QTest::keyClick(ui.add, Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QVERIFY(rec.events.empty());
        QTest::keyClick(ui.gain, Qt::Key_Up);
        QCOMPARE(m.eq_gain[3], 41);
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
