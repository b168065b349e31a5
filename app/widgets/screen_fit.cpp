#include "widgets/screen_fit.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// What the window manager adds around a window: the frame on both sides,
// and the title bar on top of the frame.
const QSize kWindowFrame(16, 48);

}  // namespace

FittingScrollArea::FittingScrollArea(QWidget* content, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    // Tab goes from control to control, never to the area itself.
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(true);
    setWidget(content);
}

QSize FittingScrollArea::sizeHint() const {
    // QScrollArea caps its hint at a few dozen lines of text; the window
    // around it is capped by the screen instead (FitToScreen).
    if (widget() == nullptr) return QScrollArea::sizeHint();
    return widget()->sizeHint().expandedTo(widget()->minimumSizeHint()).expandedTo(widget()->minimumSize());
}

QSize RoomOnScreen(const QWidget* window) {
    const QWidget* anchor = window->parentWidget() ? window->parentWidget()->window() : window;
    QScreen* screen = anchor->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    return (screen->availableGeometry().size() - kWindowFrame).expandedTo(QSize(1, 1));
}

void FitToScreen(QWidget* window, QSize wanted) {
    const QSize room = RoomOnScreen(window);
    const int bar = QScrollBar(Qt::Vertical).sizeHint().width();
    if (wanted.height() > room.height()) wanted.rwidth() += bar;
    if (wanted.width() > room.width()) wanted.rheight() += bar;
    window->resize(wanted.boundedTo(room));
}

void ScrollWhenTooLarge(QDialog* dialog, const QSize& page_size) {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("page"));
    for (QObject* child : dialog->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w == nullptr || w->isWindow()) continue;
        const QRect at = w->geometry();
        const bool hidden = w->isHidden();
        w->setParent(page);
        w->setGeometry(at);
        w->setHidden(hidden);
    }
    page->setMinimumSize(page_size);
    page->setFont(dialog->font());
    auto* area = new FittingScrollArea(page, dialog);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
    // Room for a scroll bar to appear without hiding the page's edge.
    const int bar = area->verticalScrollBar()->sizeHint().width();
    dialog->setMinimumSize(QSize(4 * bar, 4 * bar).boundedTo(page_size));
    dialog->setMaximumSize(page_size + QSize(bar, bar));
    FitToScreen(dialog, page_size);
}
