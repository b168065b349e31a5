#include "channel/grid_button.h"

#include <QPainter>

#include "widgets/focus_mark.h"

CGridButton::CGridButton(QWidget* parent) : CGridButton(QString(), parent) {}

CGridButton::CGridButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    // Enter on a focused cell belongs to the page (which never lets it close
    // the sheet), not to the cell.
    setAutoDefault(false);
    setDefault(false);
}

QColor CGridButton::TextColor(bool enabled) { return enabled ? QColor(128, 0, 0) : QColor(128, 128, 192); }

void CGridButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, Qt::white);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0, 0, -1, -1));

    QRect text_rect = r;
    if (isDown()) text_rect.translate(1, 1);
    painter.setPen(TextColor(isEnabled()));
    painter.drawText(text_rect, Qt::AlignCenter | Qt::TextSingleLine, text());
    if (hasFocus()) DrawFocusMark(painter, r);
}
