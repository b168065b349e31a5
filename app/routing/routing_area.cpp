#include "routing/routing_area.h"

#include <QPushButton>
#include <QScrollBar>

#include "routing/my758_view.h"
#include "routing/routing_layout.h"

namespace {
constexpr int kMargin = 4;  // pixels kept clear above the first row and below the last
}  // namespace

RoutingArea::RoutingArea(CMy758View* view, QWidget* parent) : QScrollArea(parent), view_(view) {
    setFrameShape(QFrame::NoFrame);
    setWidget(view);
    setWidgetResizable(true);
}

QRect RoutingArea::RowsRect() const {
    QRect rows;
    for (const routing::ButtonSpec& spec : routing::AllButtons())
        if (QPushButton* b = view_->button(spec.id)) rows |= b->geometry();
    return rows.adjusted(0, -kMargin, 0, kMargin);
}

QSize RoutingArea::minimumSizeHint() const {
    // Room for the horizontal scroll bar too: the view is wider than a
    // small window.
    const int bar = horizontalScrollBar()->sizeHint().height();
    return QSize(QScrollArea::minimumSizeHint().width(), RowsRect().height() + bar);
}

void RoutingArea::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    if (viewport()->height() >= view_->height()) return;
    const QRect rows = RowsRect();
    // Across, the view stays where it is.
    const int middle_x = horizontalScrollBar()->value() + viewport()->width() / 2;
    ensureVisible(middle_x, rows.center().y(), 0, rows.height() / 2);
}

void RoutingArea::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    // Given before the window is active, it takes effect when it becomes so.
    if (window()->focusWidget() == nullptr)
        if (QPushButton* first = view_->button(routing::kInA.id)) first->setFocus();
}
