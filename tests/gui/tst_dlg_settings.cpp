// The channel sheet: its pages per configuration and link, the page it opens
// on, page activation, and closing that undoes nothing.
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include "channel/dlg_output.h"
#include "channel/dlg_settings.h"
#include "channel/grid_button.h"
#include "channel_pages.h"
#include "document/my758_doc.h"
#include "editors/dlg_eq.h"
#include "editors/dlg_xover.h"
#include "editors/response_graph.h"
#include "routing/my758_view.h"
#include "shell/main_frame.h"
#include "modal_answerer.h"
#include "private_settings.h"
#include "device_queue.h"
#include "widgets/page_controls.h"

using namespace kvtest::channel_pages;

namespace {

QString Captions(const CDlgSettings& sheet) {
    QStringList out;
    for (int i = 0; i < sheet.Tabs()->count(); ++i) out << sheet.Tabs()->tabText(i);
    return out.join('|');
}

QString PageOutputs(const CDlgSettings& sheet) {
    QStringList out;
    for (int i = 1; i < sheet.Tabs()->count(); ++i)
        out << QString::number(static_cast<CDlgOutput*>(sheet.Tabs()->widget(i))->Output());
    return out.join(' ');
}

}  // namespace

class TestDlgSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void pagesPerConfiguration_data();
    void pagesPerConfiguration();
    void captionAndButtons();
    void opensOnThePageOfTheButton_data();
    void opensOnThePageOfTheButton();
    void switchingTabsShowsTheModelAgain();
    void enterNeverClosesAndClosingUndoesNothing();
    void editorsReachEveryPage();
    void cellsOpenTheEditorDialogs();
    void routingButtonsOpenTheSheet();
};

void TestDlgSettings::pagesPerConfiguration_data() {
    QTest::addColumn<int>("figuration");
    QTest::addColumn<int>("link");
    QTest::addColumn<QString>("captions");
    QTest::addColumn<QString>("outputs");
    const QString six = "In|Out 1|Out 2|Out 3|Out 4|Out 5|Out 6";
    QTest::newRow("Mono") << 0 << 0 << six << "0 1 2 3 4 5";
    QTest::newRow("Mono, link on") << 0 << 1 << six << "0 1 2 3 4 5";
    QTest::newRow("2 Channel 3 Way") << 1 << 0 << six << "0 1 2 3 4 5";
    QTest::newRow("2 Channel 3 Way, linked") << 1 << 1 << "In|Out 1&&2|Out 3&&4|Out 5&&6"
                                             << "0 2 4";
    QTest::newRow("3 Channel 2 Way") << 2 << 0 << six << "0 1 2 3 4 5";
    QTest::newRow("3 Channel 2 Way, linked") << 2 << 1 << "In|Out 1&&3|Out 2|Out 4&&6|Out 5"
                                             << "0 1 3 4";
}

void TestDlgSettings::pagesPerConfiguration() {
    QFETCH(int, figuration);
    QFETCH(int, link);
    QFETCH(QString, captions);
    QFETCH(QString, outputs);
    CDSDATA m;
    Configure(m, figuration, link);
    CDlgSettings sheet(m, -1);
    QCOMPARE(Captions(sheet), captions);
    QCOMPARE(PageOutputs(sheet), outputs);
}

void TestDlgSettings::captionAndButtons() {
    CDSDATA m;
    CDlgSettings sheet(m, 0);
    // The title names the output the page in front edits.
    QCOMPARE(sheet.windowTitle(), QString("KV758 - Out 1"));
    sheet.Tabs()->setCurrentIndex(3);
    QCOMPARE(sheet.windowTitle(), QString("KV758 - Out 3"));
    sheet.Tabs()->setCurrentIndex(0);
    QCOMPARE(sheet.windowTitle(), QString("KV758 - In"));
    Configure(m, 1, 1);
    CDlgSettings linked(m, 3);
    QCOMPARE(linked.windowTitle(), QString("KV758 - Out 3&4"));
    QStringList buttons;
    for (auto* b : sheet.findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) buttons << b->text();
    QCOMPARE(buttons.join('|'), QString("OK|Cancel"));  // no Apply, no Help
}

void TestDlgSettings::opensOnThePageOfTheButton_data() {
    QTest::addColumn<int>("figuration");
    QTest::addColumn<int>("link");
    QTest::addColumn<int>("output");
    QTest::addColumn<QString>("page");
    QTest::newRow("input button") << 2 << 1 << -1 << "In";
    QTest::newRow("Mono Out 4") << 0 << 0 << 3 << "Out 4";
    QTest::newRow("row 4, 2 Channel 3 Way") << 1 << 0 << 1 << "Out 2";
    QTest::newRow("row 3, 3 Channel 2 Way linked") << 2 << 1 << 0 << "Out 1&&3";
    QTest::newRow("row 4, 3 Channel 2 Way linked") << 2 << 1 << 3 << "Out 4&&6";
    QTest::newRow("row 6, 3 Channel 2 Way linked") << 2 << 1 << 4 << "Out 5";
    QTest::newRow("second of a pair") << 1 << 1 << 5 << "Out 5&&6";
}

void TestDlgSettings::opensOnThePageOfTheButton() {
    QFETCH(int, figuration);
    QFETCH(int, link);
    QFETCH(int, output);
    QFETCH(QString, page);
    CDSDATA m;
    Configure(m, figuration, link);
    m.cur_chan = 5;
    kvtest::WireRecorder wire;
    CDlgSettings sheet(m, output);
    QVERIFY(QTest::qWaitForWindowExposed((sheet.show(), &sheet)));
    QCOMPARE(sheet.Tabs()->tabText(sheet.Tabs()->currentIndex()), page);
    if (output >= 0) {
        const int shown = static_cast<CDlgOutput*>(sheet.Tabs()->currentWidget())->Output();
        QCOMPARE(m.cur_chan, shown);  // the page was activated
    }
    QCOMPARE(Sent(wire), QString());  // opening sends nothing
}

void TestDlgSettings::switchingTabsShowsTheModelAgain() {
    CDSDATA m;
    kvtest::WireRecorder wire;
    CDlgSettings sheet(m, -1);
    sheet.show();
    m.out_gain[2] = 25;  // changed elsewhere while the sheet is open
    m.ina_delay = 30000;
    sheet.Tabs()->setCurrentIndex(3);
    auto* page = sheet.Tabs()->currentWidget();
    QCOMPARE(m.cur_chan, 2);
    QCOMPARE(Child<CommitEdit>(page, "gainEdit")->text(), QString("+5.0 dB"));
    QCOMPARE(Child<SpinButtons>(page, "delaySpin")->maximum(), 499);
    sheet.Tabs()->setCurrentIndex(1);
    QCOMPARE(m.cur_chan, 0);
    QCOMPARE(Sent(wire), QString());
}

void TestDlgSettings::enterNeverClosesAndClosingUndoesNothing() {
    CDSDATA m;
    kvtest::WireRecorder wire;
    CDlgSettings sheet(m, 0);
    QVERIFY(ShowActive(&sheet));
    auto* page = sheet.Tabs()->currentWidget();
    TypeAndEnter(Child<CommitEdit>(page, "gainEdit"), "3");
    QVERIFY(sheet.isVisible());
    auto* ok = Child<QPushButton>(&sheet, "ok");
    auto* cancel = Child<QPushButton>(&sheet, "cancel");
    QTest::keyClick(ok, Qt::Key_Return);
    QVERIFY(sheet.isVisible());
    QTest::keyClick(Child<QAbstractButton>(page, "mute"), Qt::Key_Enter);
    QVERIFY(sheet.isVisible());
    QTest::keyClick(sheet.Tabs()->tabBar(), Qt::Key_Return);
    QVERIFY(sheet.isVisible());
    QCOMPARE(m.out_gain[0], 15);

    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(!sheet.isVisible());
    QCOMPARE(sheet.result(), int(QDialog::Rejected));
    QCOMPARE(m.out_gain[0], 15);
    QCOMPARE(Sent(wire), QString("F0 00 20 18 00 2D 60 62 00 5A F7"));

    QVERIFY(ShowActive(&sheet));
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!sheet.isVisible());
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QCOMPARE(m.out_gain[0], 15);
    QCOMPARE(int(wire.Messages().size()), 1);
}

void TestDlgSettings::editorsReachEveryPage() {
    CDSDATA m;
    RecordingEditors editors;
    CDlgSettings sheet(m, -1);
    sheet.SetEditors(&editors);
    sheet.show();
    QTest::mouseClick(Child<CGridButton>(sheet.Tabs()->widget(0), "ina_type_0"), Qt::LeftButton);
    sheet.Tabs()->setCurrentIndex(6);
    QTest::mouseClick(Child<CGridButton>(sheet.Tabs()->widget(6), "xoHpType"), Qt::LeftButton);
    QCOMPARE(int(editors.calls.size()), 2);
    QCOMPARE(editors.calls[0].cur_chan, CHAN_IN_A);
    QCOMPARE(editors.calls[1].cur_chan, 5);
    QVERIFY(!editors.calls[1].eq);
}

void TestDlgSettings::cellsOpenTheEditorDialogs() {
    CDSDATA m;
    kvtest::WireRecorder wire;
    CDlgSettings sheet(m, -1);
    QVERIFY(ShowActive(&sheet));
    QStringList opened;
    kvtest::ModalAnswerer answer;
    for (int i = 0; i < 3; ++i) {
        answer.Then([&](QWidget* w) {
            if (auto* eq = qobject_cast<CDlgEQ*>(w))
                opened << QStringLiteral("EQ hide=%1").arg(eq->Graph()->HideCrossover());
            else if (qobject_cast<CDlgXover*>(w))
                opened << QStringLiteral("Xover side=%1").arg(m.xo_side);
            else
                opened << QString::fromLatin1(w->metaObject()->className());
            static_cast<QDialog*>(w)->reject();
        });
    }
    QTest::mouseClick(Child<CGridButton>(sheet.Tabs()->widget(0), "inb_gain_0"), Qt::LeftButton);
    sheet.Tabs()->setCurrentIndex(2);
    QTest::mouseClick(Child<CGridButton>(sheet.Tabs()->widget(2), "eq_type_0"), Qt::LeftButton);
    QTest::mouseClick(Child<CGridButton>(sheet.Tabs()->widget(2), "xoLpFreq"), Qt::LeftButton);
    QCOMPARE(opened.join('|'), QString("EQ hide=1|EQ hide=0|Xover side=1"));
    QVERIFY(sheet.isVisible());
}

void TestDlgSettings::routingButtonsOpenTheSheet() {
    kvtest::TestSettings settings;
    CMy758Doc doc;
    Configure(doc.Model(), 2, 1);
    CMainFrame frame(&doc);
    frame.show();
    QStringList opened;
    kvtest::ModalAnswerer answer;
    for (int i = 0; i < 2; ++i) {
        answer.Then([&](QWidget* w) {
            auto* sheet = qobject_cast<CDlgSettings*>(w);
            opened << (sheet ? sheet->Tabs()->tabText(sheet->Tabs()->currentIndex()) : QString("?"));
            static_cast<QDialog*>(w)->reject();
        });
    }
    frame.view()->button(1005)->click();  // row 4 Gain: Out 6, edited on the page of Out 4
    frame.view()->button(1156)->click();  // InSUM A+B
    QCOMPARE(opened.join('|'), QString("Out 4&&6|In"));
}

QTEST_MAIN(TestDlgSettings)
#include "tst_dlg_settings.moc"
