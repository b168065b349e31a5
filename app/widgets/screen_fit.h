// Every control reachable on a small or scaled screen (1366 x 768 at a
// scale factor of 2 leaves 683 x 384 points): a window larger than the
// screen's free area shrinks to it and scrolls its content instead of
// putting controls beyond the screen's edge.
#pragma once

#include <QScrollArea>
#include <QSize>

class QDialog;
class QWidget;

// A frameless scroll area that asks for its whole content's size, so a
// window around it opens showing everything wherever there is room.
class FittingScrollArea : public QScrollArea {
    Q_OBJECT
public:
    explicit FittingScrollArea(QWidget* content, QWidget* parent = nullptr);
    QSize sizeHint() const override;
};

// The free area of the screen that window will open on, less the room the
// window manager's frame and title bar take.
QSize RoomOnScreen(const QWidget* window);

// Resizes window to `wanted`, but never beyond RoomOnScreen. Where one side
// is cut, the other gets room for the scroll bar that then appears.
void FitToScreen(QWidget* window, QSize wanted);

// For a dialog whose controls stand in fixed places over `page_size`: moves
// them onto a page of that size inside a FittingScrollArea filling the
// dialog, and sizes the dialog to the page where the screen has room. The
// dialog can grow up to the page's size and shrink down to a scroll area.
void ScrollWhenTooLarge(QDialog* dialog, const QSize& page_size);
