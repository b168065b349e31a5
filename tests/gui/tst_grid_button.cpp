// The grid cell: white face, black frame, centred caption in the colour of
// its state, and the caption shifted while the cell is pressed.
#include <QSignalSpy>
#include <QtTest>

#include <QPushButton>
#include <QSlider>
#include <functional>

#include "channel/grid_button.h"
#include "widgets/focus_mark.h"

namespace {

// Bounding box of the caption: every pixel inside the frame that is not white.
QRect CaptionBox(const QImage& img) {
    QRect box;
    for (int y = 1; y < img.height() - 1; ++y)
        for (int x = 1; x < img.width() - 1; ++x)
            if (img.pixelColor(x, y) != QColor(Qt::white)) box |= QRect(x, y, 1, 1);
    return box;
}

int CountColour(const QImage& img, const QColor& c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == c) ++n;
    return n;
}

QImage Render(CGridButton& b) { return b.grab().toImage().convertToFormat(QImage::Format_RGB32); }

}  // namespace

class TestGridButton : public QObject {
    Q_OBJECT
private slots:
    void faceFrameAndCaptionColours();
    void captionIsCentredAndShiftsWhenPressed();
    void enterDoesNotClickButSpaceDoes();
    void focusIsMarked_data();
    void focusIsMarked();
};

using ControlMaker = std::function<QWidget*(QWidget* parent)>;
Q_DECLARE_METATYPE(ControlMaker)

// Cells, track bars and the routing view's buttons show where the keyboard
// is: a mark drawn while they have the focus, and gone when they lose it.
void TestGridButton::focusIsMarked_data() {
    QTest::addColumn<ControlMaker>("make");
    QTest::newRow("grid cell") << ControlMaker([](QWidget* p) { return new CGridButton("Bell", p); });
    QTest::newRow("track bar") << ControlMaker([](QWidget* p) {
        auto* s = new QSlider(Qt::Vertical, p);
        MarkFocus(s);
        return s;
    });
    QTest::newRow("routing button") << ControlMaker([](QWidget* p) {
        auto* b = new QPushButton("Gain", p);
        MarkFocus(b);
        return b;
    });
}

void TestGridButton::focusIsMarked() {
    QFETCH(ControlMaker, make);
    QWidget window;
    QWidget* control = make(&window);
    auto* other = new QPushButton("other", &window);
    control->setGeometry(10, 10, 60, 40);
    other->setGeometry(10, 60, 60, 20);
    control->setFocusPolicy(Qt::StrongFocus);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QColor mark(255, 140, 0);
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());
    QCOMPARE(CountColour(control->grab().toImage(), mark), 0);
    control->setFocus();
    QTRY_VERIFY(control->hasFocus());
    // Around the whole control: at least its outline once.
    QVERIFY(CountColour(control->grab().toImage(), mark) >= 2 * (60 + 40) - 4);
}

void TestGridButton::faceFrameAndCaptionColours() {
    CGridButton b("Bell WWW", nullptr);
    b.resize(80, 24);
    const QColor enabled(128, 0, 0), disabled(128, 128, 192);
    QImage img = Render(b);
    for (QPoint p : {QPoint(0, 0), QPoint(79, 0), QPoint(0, 23), QPoint(79, 23), QPoint(40, 0), QPoint(0, 12)})
        QCOMPARE(img.pixelColor(p), QColor(Qt::black));
    QCOMPARE(img.pixelColor(2, 2), QColor(Qt::white));
    QCOMPARE(img.pixelColor(77, 21), QColor(Qt::white));
    QVERIFY(CountColour(img, enabled) > 5);
    QCOMPARE(CountColour(img, disabled), 0);

    b.setEnabled(false);
    img = Render(b);
    QCOMPARE(img.pixelColor(0, 0), QColor(Qt::black));
    QCOMPARE(img.pixelColor(2, 2), QColor(Qt::white));  // greyed cells stay white
    QVERIFY(CountColour(img, disabled) > 5);
    QCOMPARE(CountColour(img, enabled), 0);
}

void TestGridButton::captionIsCentredAndShiftsWhenPressed() {
    CGridButton b("1.00k Hz", nullptr);
    b.resize(100, 30);
    const QRect up = CaptionBox(Render(b));
    QVERIFY(!up.isEmpty());
    QVERIFY(qAbs(up.center().x() - 50) <= 2);
    QVERIFY(qAbs(up.center().y() - 15) <= 3);
    b.setDown(true);
    const QRect down = CaptionBox(Render(b));
    QCOMPARE(down, up.translated(1, 1));
}

void TestGridButton::enterDoesNotClickButSpaceDoes() {
    CGridButton b("Gain", nullptr);
    QSignalSpy clicked(&b, &CGridButton::clicked);
    QTest::keyClick(&b, Qt::Key_Return);
    QCOMPARE(clicked.count(), 0);
    QTest::keyClick(&b, Qt::Key_Space);
    QCOMPARE(clicked.count(), 1);
}

QTEST_MAIN(TestGridButton)
#include "tst_grid_button.moc"
