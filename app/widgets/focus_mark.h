// A clear mark on the control that has the keyboard focus, for controls
// whose own look shows it faintly or not at all (owner-drawn cells, track
// bars, the routing view's buttons on their dark ground).
#pragma once

#include <QList>

class QPainter;
class QRect;
class QWidget;

// Draws the mark just inside rect.
void DrawFocusMark(QPainter& painter, const QRect& rect);

// Has control draw the mark over its own painting while it has the focus.
void MarkFocus(QWidget* control);

// Chains the Tab order of controls as they stand on their window: row by
// row from the top (rows as high as the tallest control allows), left to
// right within a row.
void OrderTabsByPlace(QList<QWidget*> controls);
