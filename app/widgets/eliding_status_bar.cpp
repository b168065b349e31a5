#include "widgets/eliding_status_bar.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyleOption>
#include <QToolTip>

namespace {

constexpr Qt::Alignment kMessageAlignment = Qt::AlignLeading | Qt::AlignVCenter;

}  // namespace

ElidingStatusBar::ElidingStatusBar(QWidget* parent) : QStatusBar(parent) {}

QRect ElidingStatusBar::MessageRoom() const {
    // As the status bar places its message: 6 pixels in, and 2 pixels clear
    // of the first pane. While a message shows, only the panes (and the
    // size grip) are.
    int right = width() - 12;
    for (const QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!child->isWindow() && child->isVisible()) right = qMin(right, child->x() - 2);
    return QRect(6, 0, qMax(0, right - 6), height());
}

void ElidingStatusBar::LetGiveWay(QWidget* pane) { pane->setMinimumWidth(pane->fontMetrics().averageCharWidth() * 6); }

QString ElidingStatusBar::ShownMessage() const {
    return fontMetrics().elidedText(currentMessage(), Qt::ElideRight, MessageRoom().width());
}

void ElidingStatusBar::paintEvent(QPaintEvent* event) {
    QStatusBar::paintEvent(event);
    const QString shown = ShownMessage();
    if (shown == currentMessage()) return;
    // The status bar has drawn the message cut where the first pane
    // begins: drawn again over it, shortened.
    const QRect room = MessageRoom();
    QPainter painter(this);
    painter.setClipRect(room);
    painter.fillRect(room, palette().window());
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, this);
    painter.setPen(palette().windowText().color());
    painter.drawText(room, kMessageAlignment | Qt::TextSingleLine, shown);
}

bool ElidingStatusBar::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QRect room = MessageRoom();
        if (ShownMessage() != currentMessage() && room.contains(help->pos())) {
            QToolTip::showText(help->globalPos(), currentMessage(), this, room);
            return true;
        }
    }
    return QStatusBar::event(event);
}
