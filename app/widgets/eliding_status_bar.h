// The main window's status bar. A message longer than the room left of the
// panes (the link, the unit's state) is drawn shortened with "..." rather
// than cut off under the first pane, and pointing at it shows the whole
// text. The message itself (currentMessage) stays whole. Panes with long
// texts give way rather than widen the window past the screen.
#pragma once

#include <QStatusBar>

class ElidingStatusBar : public QStatusBar {
    Q_OBJECT

public:
    explicit ElidingStatusBar(QWidget* parent = nullptr);

    // Where the message is drawn: from the left edge to the first pane
    // shown beside it.
    QRect MessageRoom() const;
    // The message as drawn: whole where it fits, shortened otherwise.
    QString ShownMessage() const;

    // A pane that gives way on a narrow window instead of widening the
    // window past the screen: it may shrink to a few characters, cut at its
    // edge (its tooltip should say the whole).
    static void LetGiveWay(QWidget* pane);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};
