// The routing view's picture: button places, row labels, where InB stands,
// the line groups for each configuration, the page each button opens, and
// the colours actually painted.
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <kvcom/kvcom.h>

#include "document/my758_doc.h"
#include "routing/my758_view.h"
#include "routing/routing_layout.h"
#include "private_settings.h"
#include "device_queue.h"
#include "widgets/dialog_units.h"

class TestViewRouting : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CMy758Doc> doc_;
    std::unique_ptr<CMy758View> view_;

    void SetConfiguration(int figuration, int link_on) {
        doc_->Model().figuration = static_cast<char>(figuration);
        doc_->Model().link_on = link_on;
        view_->reinitialise();
    }
    QRect Rect(int id) const { return view_->button(id)->geometry(); }
    bool Shown(int id) const { return view_->button(id)->isVisibleTo(view_.get()); }

private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void init() {
        doc_ = std::make_unique<CMy758Doc>();
        view_ = std::make_unique<CMy758View>(doc_.get());
        view_->resize(view_->minimumSize());
        view_->show();
    }
    void cleanup() {
        view_.reset();
        doc_.reset();
    }

    void buttonsStandWhereTheLayoutSays() {
        const DialogUnits du(DialogUnits::DialogFont());
        QCOMPARE(Rect(1002), du.rect(85, 22, 45, 13));
        QCOMPARE(Rect(1152), du.rect(285, 111, 45, 13));
        QCOMPARE(Rect(1017), du.rect(185, 76, 45, 13));
        QCOMPARE(Rect(1140), du.rect(8, 22, 45, 13));
        QCOMPARE(Rect(1156), du.rect(7, 94, 45, 13));
        QCOMPARE(view_->button(1141)->text(), QStringLiteral("Delay"));
        QCOMPARE(view_->button(1156)->text(), QStringLiteral("InSUM A+B"));
        // At least the form, and wide enough for the labels.
        QVERIFY(view_->minimumWidth() >= du.x(346));
        QCOMPARE(view_->minimumHeight(), du.y(192));
        QVERIFY(view_->minimumWidth() >= view_->lineGeometry().xe + 40);
        // 30 row buttons with distinct ids.
        int found = 0;
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 5; ++c) found += view_->button(routing::kRowButtonId[r][c]) != nullptr;
        QCOMPARE(found, 30);
    }

    // Tab walks the buttons as they stand, row by row, an input button
    // before the row it stands in, also where InB has moved.
    void tabFollowsTheRows_data() {
        QTest::addColumn<int>("figuration");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("before");  // the Limit button of the row above
        QTest::addColumn<int>("after");   // the Gain button of its own row
        QTest::newRow("Mono, InA") << 0 << 1140 << -1 << 1002;
        QTest::newRow("2 Channel 3 Way, InB in row 4") << 1 << 1155 << 1143 << 1005;
        QTest::newRow("3 Channel 2 Way, InB in row 3") << 2 << 1155 << 1139 << 1004;
        QTest::newRow("3 Channel 2 Way, InSUM in row 5") << 2 << 1156 << 1146 << 1006;
    }
    void tabFollowsTheRows() {
        QFETCH(int, figuration);
        QFETCH(int, input);
        QFETCH(int, before);
        QFETCH(int, after);
        SetConfiguration(figuration, 0);
        QVERIFY(QTest::qWaitForWindowActive(view_.get()));
        QApplication::processEvents();
        QList<QWidget*> order;
        view_->button(1140)->setFocus();
        QTRY_VERIFY(view_->button(1140)->hasFocus());
        for (int i = 0; i < 33 && !order.contains(QApplication::focusWidget()); ++i) {
            order.append(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        const int at = order.indexOf(view_->button(input));
        QVERIFY(at >= 0);
        QCOMPARE(order.value(at + 1), view_->button(after));
        if (before > 0) QCOMPARE(order.value(at - 1), view_->button(before));
        QCOMPARE(order.value(1), view_->button(1002));
        QCOMPARE(order.value(5), view_->button(1136));  // the first row, left to right
    }

    void labelsAndInputsPerConfiguration_data() {
        QTest::addColumn<int>("figuration");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<bool>("inb");
        QTest::addColumn<bool>("sum");
        QTest::addColumn<int>("inbRowGain");
        QTest::newRow("Mono") << 0 << QStringList{"Out 1", "Out 2", "Out 3", "Out 4", "Out 5", "Out 6"} << false
                              << false << 0;
        QTest::newRow("2 Channel 3 Way") << 1 << QStringList{"Out 1", "Out 3", "Out 5", "Out 2", "Out 4", "Out 6"}
                                         << true << false << 1005;
        QTest::newRow("3 Channel 2 Way") << 2 << QStringList{"Out 1", "Out 4", "Out 3", "Out 6", "Out 2", "Out 5"}
                                         << true << true << 1004;
    }

    void labelsAndInputsPerConfiguration() {
        QFETCH(int, figuration);
        QFETCH(QStringList, labels);
        QFETCH(bool, inb);
        QFETCH(bool, sum);
        QFETCH(int, inbRowGain);
        SetConfiguration(figuration, 0);
        QCOMPARE(view_->rowLabels(), labels);
        QVERIFY(Shown(1140));
        QCOMPARE(Shown(1155), inb);
        QCOMPARE(Shown(1156), sum);
        if (inbRowGain != 0) {
            // InB takes the columns of InSUM A+B and the height of its row.
            const QRect b = Rect(1155);
            QCOMPARE(b.left(), Rect(1156).left());
            QCOMPARE(b.width(), Rect(1156).width());
            QCOMPARE(b.top(), Rect(inbRowGain).top());
            QCOMPARE(b.height(), Rect(inbRowGain).height());
        }
    }

    void inbKeepsItsPlaceWhenHidden() {
        SetConfiguration(1, 0);
        const QRect moved = Rect(1155);
        SetConfiguration(0, 0);
        view_->grab();
        QCOMPARE(Rect(1155), moved);
    }

    void unknownConfigurationChangesNothing() {
        SetConfiguration(2, 0);
        SetConfiguration(7, 0);
        QVERIFY(Shown(1155));
        QVERIFY(Shown(1156));
        QVERIFY(view_->routingLines().isEmpty());
        QVERIFY(view_->rowLabels().isEmpty());
        view_->grab();  // paints without a line or label
    }

    void lineGeometryFromTheButtons() {
        const CMy758View::LineGeometry g = view_->lineGeometry();
        QCOMPARE(g.xs, Rect(1140).x() + Rect(1140).width());
        QCOMPARE(g.xm, (Rect(1156).x() + Rect(1156).width() + Rect(1002).x()) / 2);
        QCOMPARE(g.xe, Rect(1139).x() + Rect(1139).width() + 20);
        const int y1 = (2 * Rect(1002).y() + Rect(1002).height()) / 2;
        const int y2 = (2 * Rect(1139).y() + Rect(1139).height()) / 2;
        QCOMPARE(g.row_y[0], y1);
        QCOMPARE(g.row_y[1], y2);
        // Every row's line passes through that row's buttons.
        for (int k = 0; k < 6; ++k) {
            const QRect gain = Rect(routing::kRowButtonId[k][0]);
            QVERIFY2(g.row_y[k] >= gain.top() && g.row_y[k] <= gain.bottom(), qPrintable(QString::number(k)));
        }
    }

    void lineGroupsPerConfiguration_data() {
        QTest::addColumn<int>("figuration");
        QTest::addColumn<QList<int>>("groups");  // first, last row pairs
        QTest::newRow("Mono") << 0 << QList<int>{0, 5};
        QTest::newRow("2 Channel 3 Way") << 1 << QList<int>{0, 2, 3, 5};
        QTest::newRow("3 Channel 2 Way") << 2 << QList<int>{0, 1, 2, 3, 4, 5};
    }

    void lineGroupsPerConfiguration() {
        QFETCH(int, figuration);
        QFETCH(QList<int>, groups);
        SetConfiguration(figuration, 0);
        const CMy758View::LineGeometry g = view_->lineGeometry();
        QVector<QLine> expected;
        for (int i = 0; i < groups.size(); i += 2) {
            const int yf = g.row_y[groups[i]], yl = g.row_y[groups[i + 1]];
            expected.append(QLine(g.xs, yf, g.xm, yf));
            for (int k = groups[i]; k <= groups[i + 1]; ++k) expected.append(QLine(g.xm, g.row_y[k], g.xe, g.row_y[k]));
            expected.append(QLine(g.xm, yf, g.xm, yl));
        }
        QCOMPARE(view_->routingLines(), expected);
    }

    void paintedColours() {
        SetConfiguration(1, 0);
        const QImage img = view_->grab().toImage();
        const CMy758View::LineGeometry g = view_->lineGeometry();
        QCOMPARE(QColor(img.pixel(2, img.height() - 3)), QColor(0, 101, 156));
        // A row line just before its label, and the riser between two rows.
        QCOMPARE(QColor(img.pixel(g.xe - 3, g.row_y[4])), QColor(231, 69, 61));
        QCOMPARE(QColor(img.pixel(g.xm, (g.row_y[3] + g.row_y[4]) / 2)), QColor(231, 69, 61));
        // No riser between the two groups.
        QCOMPARE(QColor(img.pixel(g.xm, (g.row_y[2] + g.row_y[3]) / 2)), QColor(0, 101, 156));
        // Label text in cyan right of the line's end.
        bool cyan = false;
        for (int x = g.xe + 4; x < g.xe + 60 && !cyan; ++x)
            for (int y = g.row_y[0] - 10; y < g.row_y[0] + 10 && !cyan; ++y)
                cyan = QColor(img.pixel(x, y)) == QColor(128, 255, 255);
        QVERIFY(cyan);
    }

    void rowButtonsOpenThePageOfTheTable_data() {
        QTest::addColumn<int>("figuration");
        QTest::addColumn<int>("link");
        QTest::addColumn<QList<int>>("pages");  // output index per row
        QTest::newRow("Mono, link off") << 0 << 0 << QList<int>{0, 1, 2, 3, 4, 5};
        QTest::newRow("Mono, link on") << 0 << 1 << QList<int>{0, 1, 2, 3, 4, 5};
        QTest::newRow("fig 1, link off") << 1 << 0 << QList<int>{0, 2, 4, 1, 3, 5};
        QTest::newRow("fig 1, link on") << 1 << 1 << QList<int>{0, 2, 4, 0, 2, 4};
        QTest::newRow("fig 2, link off") << 2 << 0 << QList<int>{0, 3, 2, 5, 1, 4};
        QTest::newRow("fig 2, link on") << 2 << 1 << QList<int>{0, 3, 0, 3, 1, 4};
    }

    void rowButtonsOpenThePageOfTheTable() {
        QFETCH(int, figuration);
        QFETCH(int, link);
        QFETCH(QList<int>, pages);
        SetConfiguration(figuration, link);
        QSignalSpy spy(view_.get(), &CMy758View::channelSheetRequested);
        for (int r = 0; r < 6; ++r) {
            for (int c = 0; c < 5; ++c) {
                view_->button(routing::kRowButtonId[r][c])->click();
                QCOMPARE(spy.takeFirst().at(0).toInt(), pages[r]);
            }
        }
    }

    void inputButtonsOpenTheInputPage() {
        SetConfiguration(2, 1);
        QSignalSpy spy(view_.get(), &CMy758View::channelSheetRequested);
        for (int id : {1140, 1155, 1156}) view_->button(id)->click();
        QCOMPARE(spy.size(), 3);
        for (const auto& args : spy) QCOMPARE(args.at(0).toInt(), -1);
    }
};

QTEST_MAIN(TestViewRouting)
#include "tst_view_routing.moc"
