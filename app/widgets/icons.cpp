#include "widgets/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace icons {

namespace {

// Every picture is drawn on a 16 x 16 grid and rendered at several sizes.
using Drawing = std::function<void(QPainter&)>;

QIcon Render(const Drawing& draw, std::initializer_list<int> sizes = {16, 24, 32, 48}) {
    QIcon icon;
    for (const int size : sizes) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        draw(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

const QColor kViewBlue(0, 101, 156);
const QColor kLineRed(231, 69, 61);
const QColor kLabelCyan(128, 255, 255);
const QColor kInk(40, 40, 40);

QPen Pen(const QColor& c, qreal w = 1.0) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void Arrow(QPainter& p, Qt::ArrowType dir, const QRectF& box, const QColor& fill) {
    QPolygonF tri;
    const QPointF c = box.center();
    switch (dir) {
    case Qt::LeftArrow: tri << QPointF(box.left(), c.y()) << box.topRight() << box.bottomRight(); break;
    case Qt::RightArrow: tri << QPointF(box.right(), c.y()) << box.topLeft() << box.bottomLeft(); break;
    case Qt::UpArrow: tri << QPointF(c.x(), box.top()) << box.bottomLeft() << box.bottomRight(); break;
    default: tri << QPointF(c.x(), box.bottom()) << box.topLeft() << box.topRight(); break;
    }
    p.setPen(Pen(fill.darker(140), 0.8));
    p.setBrush(fill);
    p.drawPolygon(tri);
}

// A rack unit with a row of little knobs: stands for the device.
void Device(QPainter& p, const QRectF& r) {
    p.setPen(Pen(kInk, 0.8));
    p.setBrush(kViewBlue);
    p.drawRoundedRect(r, 1, 1);
    p.setBrush(kLabelCyan);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(r.left() + 2.5 + 3.0 * i, r.center().y()), 0.9, 0.9);
}

}  // namespace

QIcon ProgramIcon() {
    return Render(
        [](QPainter& p) {
            p.setPen(Pen(kViewBlue.darker(150), 0.8));
            p.setBrush(kViewBlue);
            p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
            // One input fanning out to three outputs, as the routing view shows it.
            p.setPen(Pen(kLineRed, 1.4));
            p.drawLine(QPointF(3, 8), QPointF(7, 8));
            p.drawLine(QPointF(7, 4), QPointF(7, 12));
            for (const qreal y : {4.0, 8.0, 12.0}) p.drawLine(QPointF(7, y), QPointF(12.5, y));
            p.setPen(Qt::NoPen);
            p.setBrush(kLabelCyan);
            p.drawEllipse(QPointF(3, 8), 1.6, 1.6);
            for (const qreal y : {4.0, 8.0, 12.0}) p.drawRect(QRectF(11.5, y - 1.2, 2.5, 2.4));
        },
        {16, 24, 32, 48, 64, 128});
}

QIcon ExitIcon() {
    return Render([](QPainter& p) {
        // An open door with an arrow leaving through it.
        p.setPen(Pen(kInk, 1.0));
        p.setBrush(QColor(230, 230, 230));
        p.drawRect(QRectF(2.5, 1.5, 8, 13));
        p.setBrush(QColor(150, 95, 50));
        QPolygonF door;
        door << QPointF(2.5, 1.5) << QPointF(7, 3) << QPointF(7, 16) << QPointF(2.5, 14.5);
        p.drawPolygon(door);
        p.setPen(Pen(kLineRed, 2.0));
        p.drawLine(QPointF(8.5, 8), QPointF(13, 8));
        Arrow(p, Qt::RightArrow, QRectF(12, 5, 3.5, 6), kLineRed);
    });
}

QIcon ArrowIcon(Qt::ArrowType direction) {
    return Render([direction](QPainter& p) { Arrow(p, direction, QRectF(3, 3, 10, 10), QColor(30, 30, 30)); });
}

QIcon MemoryUsedIcon() {
    return Render([](QPainter& p) {
        p.setPen(Pen(QColor(20, 90, 20), 1.0));
        p.setBrush(QColor(70, 180, 70));
        p.drawRoundedRect(QRectF(2.5, 3.5, 11, 9), 1.5, 1.5);
        p.setPen(Pen(Qt::white, 1.4));
        p.drawLine(QPointF(5, 8), QPointF(7, 10));
        p.drawLine(QPointF(7, 10), QPointF(11, 5.5));
    });
}

QIcon MemoryEmptyIcon() {
    return Render([](QPainter& p) {
        QPen pen = Pen(QColor(130, 130, 130), 1.0);
        pen.setStyle(Qt::DashLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(2.5, 3.5, 11, 9), 1.5, 1.5);
    });
}

QIcon FileNewIcon() {
    return Render([](QPainter& p) {
        QPainterPath page;
        page.moveTo(3.5, 1.5);
        page.lineTo(9.5, 1.5);
        page.lineTo(12.5, 4.5);
        page.lineTo(12.5, 14.5);
        page.lineTo(3.5, 14.5);
        page.closeSubpath();
        p.setPen(Pen(kInk));
        p.setBrush(Qt::white);
        p.drawPath(page);
        p.drawPolyline(QPolygonF() << QPointF(9.5, 1.5) << QPointF(9.5, 4.5) << QPointF(12.5, 4.5));
    });
}

QIcon FileOpenIcon() {
    return Render([](QPainter& p) {
        p.setPen(Pen(QColor(120, 90, 20)));
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(1.5, 4.5, 11, 9));
        p.drawRect(QRectF(1.5, 3, 5, 1.5));
        QPolygonF flap;
        flap << QPointF(3.5, 7.5) << QPointF(15, 7.5) << QPointF(12.5, 13.5) << QPointF(1.5, 13.5);
        p.setBrush(QColor(250, 225, 140));
        p.drawPolygon(flap);
    });
}

QIcon FileSaveIcon() {
    return Render([](QPainter& p) {
        p.setPen(Pen(kInk));
        p.setBrush(QColor(60, 80, 160));
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1, 1);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 1.5, 8, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4, 9.5, 8, 5));
    });
}

QIcon UploadIcon() {
    // From the device up to the PC.
    return Render([](QPainter& p) {
        Device(p, QRectF(1.5, 10.5, 13, 4));
        p.setPen(Pen(QColor(20, 130, 40), 2.0));
        p.drawLine(QPointF(8, 9.5), QPointF(8, 5));
        Arrow(p, Qt::UpArrow, QRectF(4.5, 1, 7, 4.5), QColor(40, 170, 60));
    });
}

QIcon DownloadIcon() {
    // From the PC down into the device.
    return Render([](QPainter& p) {
        Device(p, QRectF(1.5, 10.5, 13, 4));
        p.setPen(Pen(kLineRed, 2.0));
        p.drawLine(QPointF(8, 1), QPointF(8, 5.5));
        Arrow(p, Qt::DownArrow, QRectF(4.5, 5, 7, 4.5), kLineRed);
    });
}

QIcon AboutIcon() {
    return Render([](QPainter& p) {
        p.setPen(Pen(QColor(20, 60, 140)));
        p.setBrush(QColor(60, 120, 220));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        QFont f = p.font();
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
    });
}

}  // namespace icons
