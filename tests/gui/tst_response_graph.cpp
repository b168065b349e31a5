// The response graph's picture, checked by pixel.
#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include "editors/response_graph.h"

namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGrid = qRgb(55, 155, 55);
const QRgb kAxis = qRgb(0, 255, 0);

constexpr int kLow6 = 0, kBell = 2;
constexpr int kGainMin = 0, kGainZero = 30, kGainMax = 60;

kvvalues::EqSet FlatSet() {
    kvvalues::EqSet set;
    set.fill({kBell, 120, kGainZero, 5});
    return set;
}

// Rows of column x painted in colour c.
QList<int> RowsIn(const QImage& image, int x, QRgb c) {
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (image.pixel(x, y) == c) rows << y;
    return rows;
}

int TopmostRed(const QImage& image, int* at_x) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == kRed) {
                *at_x = x;
                return y;
            }
    return -1;
}

class ClickCatcher : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

}  // namespace

class TestResponseGraph : public QObject {
    Q_OBJECT

private slots:
    void flatSetDrawsTheZeroLine() {
        CResponseGraph graph;
        graph.SetHideCrossover(true);
        graph.ShowEqSet(FlatSet());
        const QImage p = graph.Picture();
        QCOMPARE(p.size(), QSize(460, 190));
        // x = 50 .. 443 in red on row 90; the last segment stops short of
        // x = 444, which keeps the axis colour, and nothing else is red.
        for (int x = 50; x <= 443; ++x) QCOMPARE(RowsIn(p, x, kRed), QList<int>{90});
        QCOMPARE(p.pixel(444, 90), kAxis);
        QCOMPARE(RowsIn(p, 444, kRed), QList<int>{});
        QCOMPARE(RowsIn(p, 49, kRed), QList<int>{});
    }

    void bellPeaksAtItsFrequency() {
        CResponseGraph graph;
        graph.SetHideCrossover(true);
        kvvalues::EqSet set = FlatSet();
        set[7] = {kBell, 120, kGainMax, 5};  // +15 dB at 1 kHz
        graph.ShowEqSet(set);
        const QImage p = graph.Picture();
        int x = -1;
        QCOMPARE(TopmostRed(p, &x), 52);
        QCOMPARE(p.pixel(288, 52), kRed);
        QVERIFY(x >= 286 && x <= 288);
        // Far from the bell the curve is back near 0 dB.
        QVERIFY(RowsIn(p, 60, kRed).first() >= 88);
    }

    void gridAxisAndFrameAtTheirPixels() {
        CResponseGraph graph;
        graph.SetHideCrossover(true);
        graph.ShowEqSet(FlatSet());
        const QImage p = graph.Picture();
        const int freq_x[] = {86, 133, 168, 205, 252, 289, 325, 372, 409};
        for (int x : freq_x) {
            QCOMPARE(p.pixel(x, 16), kGrid);
            QCOMPARE(p.pixel(x, 164), kGrid);
            QCOMPARE(p.pixel(x, 166), kBlack);  // the line ends at the frame
            QCOMPARE(p.pixel(x + 1, 100), kBlack);
        }
        for (int k = 1; k <= 9; ++k) {
            const int y = 15 + 15 * k;
            if (y == 90) continue;
            QCOMPARE(p.pixel(51, y), kGrid);
            QCOMPARE(p.pixel(444, y), kGrid);
            QCOMPARE(p.pixel(100, y + 1), kBlack);
        }
        // The axis pen draws the frame and the 0 dB line over the grid.
        for (int y = 15; y <= 165; ++y) {
            if (y != 90) QCOMPARE(p.pixel(50, y), kAxis);  // the curve starts on (50, 90)
            QVERIFY2(p.pixel(445, y) == kAxis, qPrintable(QString::number(y)));
        }
        for (int x = 50; x <= 445; ++x) {
            QCOMPARE(p.pixel(x, 15), kAxis);
            QCOMPARE(p.pixel(x, 165), kAxis);
        }
        QCOMPARE(p.pixel(446, 100), kBlack);
        QCOMPARE(p.pixel(100, 14), kBlack);
    }

    void labelsAreYellowAndOutsideThePlot() {
        CResponseGraph graph;
        graph.SetHideCrossover(true);
        graph.ShowEqSet(FlatSet());
        const QImage p = graph.Picture();
        auto yellowish = [](QRgb c) { return qRed(c) > 128 && qGreen(c) > 128 && qBlue(c) < 64; };
        auto count_in = [&](const QRect& r) {
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    if (yellowish(p.pixel(x, y))) ++n;
            return n;
        };
        QVERIFY(count_in(QRect(25, 8, 21, 14)) > 0);     // "30" left of y = 15
        QVERIFY(count_in(QRect(15, 158, 31, 14)) > 0);   // "-30" left of y = 165
        QVERIFY(count_in(QRect(280, 170, 20, 16)) > 0);  // "1k" under x = 289
        QCOMPARE(count_in(QRect(51, 16, 394, 149)), 0);
        QCOMPARE(count_in(QRect(46, 0, 4, 168)), 0);  // right of x = 45
    }

    void sumBelowMinus30dBLeavesAGap() {
        CResponseGraph graph;
        graph.SetHideCrossover(true);
        // Low shelves of -15 and -14.5 dB sum to -29.5 dB below 1 kHz: drawn
        // on row 163, just above the bottom edge.
        kvvalues::EqSet set = FlatSet();
        set[0] = {kLow6, 120, kGainMin, 5};
        set[1] = {kLow6, 120, kGainMin + 1, 5};
        graph.ShowEqSet(set);
        QImage p = graph.Picture();
        for (int x = 60; x <= 200; ++x) QCOMPARE(RowsIn(p, x, kRed), QList<int>{163});
        // A third shelf of -1 dB takes the sum to -30.5 dB: no curve there,
        // neither on its row (166) nor along the edge.
        set[2] = {kLow6, 120, 28, 5};
        graph.ShowEqSet(set);
        p = graph.Picture();
        for (int x = 60; x <= 200; ++x) {
            QCOMPARE(RowsIn(p, x, kRed), QList<int>{});
            QCOMPARE(p.pixel(x, 165), kAxis);
        }
        // Above the shelves' frequency the curve comes back.
        QVERIFY(!RowsIn(p, 440, kRed).isEmpty());
    }

    void setsAndCrossoverSelection() {
        CResponseGraph graph;
        kvvalues::EqSet bell = FlatSet();
        bell[0] = {kBell, 120, kGainMax, 5};
        // Set A is drawn after ShowEqSet, set B after ShowCrossover.
        graph.SetCrossover({0, 0, 201, 0});
        graph.ShowEqSet(bell);
        QCOMPARE(graph.Picture().pixel(288, 52), kRed);
        graph.SetEqSetB(FlatSet());
        graph.ShowCrossover(0, 0, 201, 0);
        QImage p = graph.Picture();
        QCOMPARE(p.pixel(288, 52), kBlack);
        QCOMPARE(p.pixel(288, 90), kRed);
        QCOMPARE(graph.EqSetA()[0].gain_index, kGainMax);

        // A 48 dB high-pass at 1 kHz sends the low end far below -30 dB...
        graph.ShowCrossover(120, 8, 201, 0);
        p = graph.Picture();
        QCOMPARE(RowsIn(p, 100, kRed), QList<int>{});
        QCOMPARE(RowsIn(p, 400, kRed), QList<int>{90});
        // ...unless the crossover is hidden.
        graph.SetHideCrossover(true);
        QVERIFY(graph.HideCrossover());
        QCOMPARE(RowsIn(graph.Picture(), 100, kRed), QList<int>{90});
    }

    void placedCentredOrScaledOnTheControl() {
        kvvalues::EqSet bell = FlatSet();
        bell[0] = {kBell, 120, kGainMax, 5};

        CResponseGraph large;
        large.resize(600, 300);
        large.SetHideCrossover(true);
        large.ShowEqSet(bell);
        QCOMPARE(CResponseGraph::PictureTarget(large.rect()), QRect(70, 55, 460, 190));
        const QImage shown = large.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.copy(70, 55, 460, 190), large.Picture());

        // The same size as the picture counts as small: scaled onto itself.
        QCOMPARE(CResponseGraph::PictureTarget(QRect(0, 0, 460, 190)), QRect(0, 0, 460, 190));

        CResponseGraph small;
        small.resize(230, 95);
        small.SetHideCrossover(true);
        small.ShowEqSet(bell);
        const QImage half = small.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(half.size(), QSize(230, 95));
        // Scaled, not cropped: the right-hand frame edge and the bell's peak
        // are both there at half their coordinates.
        auto greenish = [](QRgb c) { return qGreen(c) > 60 && qRed(c) < qGreen(c); };
        int frame_rows = 0;
        for (int y = 10; y < 80; ++y)
            if (greenish(half.pixel(222, y)) || greenish(half.pixel(223, y))) ++frame_rows;
        QVERIFY2(frame_rows > 60, qPrintable(QString::number(frame_rows)));
        bool peak = false;
        for (int y = 24; y <= 28; ++y)
            for (int x = 142; x <= 146; ++x) peak = peak || qRed(half.pixel(x, y)) > 100;
        QVERIFY(peak);
    }

    void leftClickIsSwallowed() {
        ClickCatcher parent;
        auto* graph = new CResponseGraph(&parent);
        graph->resize(200, 100);
        QTest::mouseClick(graph, Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(parent.presses, 0);
        QTest::mouseClick(graph, Qt::RightButton, {}, QPoint(50, 50));
        QCOMPARE(parent.presses, 1);
    }
};

QTEST_MAIN(TestResponseGraph)
#include "tst_response_graph.moc"
