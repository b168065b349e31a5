#include "widgets/focus_mark.h"

#include <QEvent>
#include <QPainter>
#include <QPen>
#include <QWidget>
#include <algorithm>

namespace {

// Strong on white cells, grey buttons and the routing view's blue alike.
const QColor kMarkColour(255, 140, 0);
constexpr int kMarkWidth = 2;

// Paints the mark after the control has painted itself: the control's own
// paint event is delivered first, from inside this one.
class FocusMarker final : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* control = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) control->update();
        if (event->type() != QEvent::Paint || !control->hasFocus() || painting_) return false;
        painting_ = true;
        static_cast<QObject*>(control)->event(event);  // the control paints itself
        painting_ = false;
        QPainter painter(control);
        DrawFocusMark(painter, control->rect());
        return true;
    }

private:
    bool painting_ = false;
};

}  // namespace

void DrawFocusMark(QPainter& painter, const QRect& rect) {
    painter.save();
    painter.setPen(QPen(kMarkColour, kMarkWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect).adjusted(kMarkWidth / 2.0, kMarkWidth / 2.0, -kMarkWidth / 2.0, -kMarkWidth / 2.0));
    painter.restore();
}

void MarkFocus(QWidget* control) { control->installEventFilter(new FocusMarker(control)); }

void OrderTabsByPlace(QList<QWidget*> controls) {
    auto middle = [](const QWidget* w) { return w->geometry().center().y(); };
    std::stable_sort(controls.begin(), controls.end(),
                     [&middle](const QWidget* a, const QWidget* b) { return middle(a) < middle(b); });
    // A row: the controls whose middles lie within half the height of the
    // row's first control; left to right within it.
    for (auto row = controls.begin(); row != controls.end();) {
        const int reach = middle(*row) + (*row)->height() / 2;
        auto end = std::find_if(row, controls.end(), [&](const QWidget* w) { return middle(w) > reach; });
        std::stable_sort(row, end, [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
        row = end;
    }
    for (int i = 1; i < controls.size(); ++i) QWidget::setTabOrder(controls[i - 1], controls[i]);
}
