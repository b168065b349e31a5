// The main window's middle: the routing view in a scroll area that never
// gets less room than the six output rows need, and keeps them in view when
// it is shorter than the whole view (a docked window below it, a small
// screen), rather than showing the margin above them. The keyboard starts
// where reading does: on the input at the top left.
#pragma once

#include <QScrollArea>

class CMy758View;

class RoutingArea : public QScrollArea {
    Q_OBJECT

public:
    explicit RoutingArea(CMy758View* view, QWidget* parent = nullptr);

    // The part of the view the rows and the inputs take, with a margin.
    QRect RowsRect() const;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    CMy758View* view_;
};
