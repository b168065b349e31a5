// The response graph of one channel: the sum of its EQ filters and its
// crossover, drawn into a fixed 460 x 190 picture (in the screen's pixels
// on a scaled screen) that is copied onto the control in one piece (centred
// when the control is larger, scaled down when it is smaller). The curves themselves come from response_curve.h.
#pragma once

#include <QImage>
#include <QWidget>

#include "editors/response_curve.h"

class CResponseGraph : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPictureWidth = 460;
    static constexpr int kPictureHeight = 190;
    static constexpr int kEqEntries = 20;

    explicit CResponseGraph(QWidget* parent = nullptr);

    // Copies the entries into set A, draws set A from now on and redraws.
    void ShowEqSet(const kvvalues::EqSet& entries);
    // Stores the crossover, draws set B from now on and redraws.
    void ShowCrossover(int hp_row, int hp_type, int lp_row, int lp_type);

    // The EQ editor sets the crossover before ShowEqSet; the crossover editor
    // fills set B before ShowCrossover. Neither redraws by itself.
    void SetCrossover(const graph::CrossoverSetting& crossover);
    void SetEqSetB(const kvvalues::EqSet& entries);

    // With the crossover hidden only the EQ sum is drawn (input channels).
    void SetHideCrossover(bool hide);
    bool HideCrossover() const { return hide_crossover_; }

    const kvvalues::EqSet& EqSetA() const { return set_a_; }
    const kvvalues::EqSet& EqSetB() const { return set_b_; }
    const graph::CrossoverSetting& Crossover() const { return crossover_; }
    bool ShowsSetB() const { return use_set_b_; }

    // The 460 x 190 picture of the current settings; with a device pixel
    // ratio above 1, the same picture drawn in that many times the pixels
    // (for a scaled screen), its ratio set so it is still 460 x 190 points.
    QImage Picture(qreal device_pixel_ratio = 1) const;
    // Where the picture goes within a control area.
    static QRect PictureTarget(const QRect& area);
    // The font of the labels: "Microsoft Sans Serif" 8.2 pt where installed,
    // a close sans-serif otherwise.
    static QFont LabelFont();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // The one-to-one picture, pixel by pixel.
    QImage PixelPicture() const;
    graph::CurvePixels CurrentCurve() const;

    graph::CrossoverSetting crossover_{0, 0, 201, 0};
    kvvalues::EqSet set_a_;
    kvvalues::EqSet set_b_;
    bool use_set_b_ = false;
    bool hide_crossover_ = false;
};
