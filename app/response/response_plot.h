// The System response plot: level, phase and group delay over 10 Hz - 20
// kHz on a log axis, three panes one above the other, one colour per curve,
// and a cursor. Drawn with QPainter at the device's pixel ratio: grid lines
// fall on whole device pixels at every scale; the same drawing makes the
// exported PNG and SVG.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <vector>

#include "kvresponse/curve.h"

namespace response {

struct PlotCurve {
    QString name;
    QColor colour;
    bool emphasised = false;  // the sum: drawn wider and last
    kvresponse::Curve curve;
};

class ResponsePlot : public QWidget {
    Q_OBJECT

public:
    explicit ResponsePlot(QWidget* parent = nullptr);

    // The curves to draw, in drawing order, on the rising frequencies hz.
    void setCurves(std::vector<double> hz, std::vector<PlotCurve> curves);
    const std::vector<double>& frequencies() const { return hz_; }
    const std::vector<PlotCurve>& curves() const { return curves_; }

    void setUnwrappedPhase(bool unwrapped);
    bool unwrappedPhase() const { return unwrapped_; }

    // The point of the frequencies under the cursor (-1: none).
    int cursorIndex() const { return cursor_; }
    void setCursorIndex(int index);

    // Draws everything into `area` of a painter (a widget, an image, an SVG).
    void render(QPainter& painter, const QRectF& area) const;

    // How often the widget has painted (the window's tests read it), and
    // how long its last painting took.
    int paintCount() const { return paints_; }
    double lastPaintMs() const { return paint_ms_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void cursorMoved(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Layout;
    Layout layoutFor(const QRectF& area) const;
    void moveCursorTo(double x);

    std::vector<double> hz_;
    std::vector<PlotCurve> curves_;
    bool unwrapped_ = false;
    int cursor_ = -1;
    int paints_ = 0;
    double paint_ms_ = 0;
};

}  // namespace response
