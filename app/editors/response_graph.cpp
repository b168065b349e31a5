#include "editors/response_graph.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cstdlib>

#include "editors/graph_layout.h"

namespace layout = graph;

static_assert(CResponseGraph::kPictureWidth == layout::kPictureWidth &&
              CResponseGraph::kPictureHeight == layout::kPictureHeight);
static_assert(CResponseGraph::kEqEntries == kvvalues::kEqSetSize);

namespace {

constexpr int kDotsPerMeter96Dpi = 3780;  // fixes points to pixels at 96 dpi

QColor ToColor(layout::Rgb c) { return QColor(c.r, c.g, c.b); }

// One-pixel lines in the manner of MoveTo/LineTo: a segment covers its first
// pixel but not its last, in drawing order, so joined segments meet without
// overlap, a closed outline closes exactly at its corners and a path's last
// point stays unpainted. Drawn pixel by pixel: no antialiasing, no painter
// rules about which end a flat cap drops.
class PenPath {
public:
    PenPath(QImage& image, layout::Rgb colour) : image_(image), colour_(qRgb(colour.r, colour.g, colour.b)) {}
    void MoveTo(int x, int y) { at_ = QPoint(x, y); }
    void LineTo(int x1, int y1) {
        int x = at_.x(), y = at_.y();
        const int dx = std::abs(x1 - x), dy = -std::abs(y1 - y);
        const int sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
        int err = dx + dy;
        while (x != x1 || y != y1) {
            if (image_.rect().contains(x, y)) image_.setPixel(x, y, colour_);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
        at_ = QPoint(x1, y1);
    }

private:
    QImage& image_;
    QRgb colour_;
    QPoint at_;
};

void DrawLabel(QPainter& painter, const layout::Label& label, bool right_aligned) {
    const QString text = QString::fromLatin1(label.text);
    const QFontMetrics metrics = painter.fontMetrics();
    const int width = metrics.horizontalAdvance(text);
    const int left = right_aligned ? label.x - width : label.x;
    painter.drawText(QRect(left, label.top, width + 1, metrics.height()), Qt::AlignLeft | Qt::AlignTop, text);
}

// The graph's background at `device_pixel_ratio` screen pixels a point.
QImage BlankPicture(qreal device_pixel_ratio) {
    QImage image(QSize(CResponseGraph::kPictureWidth, CResponseGraph::kPictureHeight) * device_pixel_ratio,
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(kDotsPerMeter96Dpi);
    image.setDotsPerMeterY(kDotsPerMeter96Dpi);
    image.setDevicePixelRatio(device_pixel_ratio);
    image.fill(ToColor(layout::kBackground));
    return image;
}

// The level and frequency labels of the axes.
void DrawLabels(QPainter& painter, const QFont& font) {
    painter.setFont(font);
    painter.setPen(ToColor(layout::kTextColour));
    painter.setBackgroundMode(Qt::TransparentMode);
    for (const auto& line : layout::kLevelLines) DrawLabel(painter, line.label, true);
    DrawLabel(painter, layout::kAxisStartLabel, true);
    for (const auto& line : layout::kFreqLines) DrawLabel(painter, line.label, false);
}

}  // namespace

CResponseGraph::CResponseGraph(QWidget* parent)
    : QWidget(parent), set_a_(kvvalues::FlatEqSet()), set_b_(kvvalues::FlatEqSet()) {}

void CResponseGraph::ShowEqSet(const kvvalues::EqSet& entries) {
    set_a_ = entries;
    use_set_b_ = false;
    update();
}

void CResponseGraph::ShowCrossover(int hp_row, int hp_type, int lp_row, int lp_type) {
    crossover_ = {hp_row, hp_type, lp_row, lp_type};
    use_set_b_ = true;
    update();
}

void CResponseGraph::SetCrossover(const graph::CrossoverSetting& crossover) { crossover_ = crossover; }
void CResponseGraph::SetEqSetB(const kvvalues::EqSet& entries) { set_b_ = entries; }

void CResponseGraph::SetHideCrossover(bool hide) {
    hide_crossover_ = hide;
    update();
}

QFont CResponseGraph::LabelFont() {
    // Close stand-ins in order of likeness.
    static const char* const kFamilies[] = {layout::kFontFamily, "Liberation Sans", "Arial", "Nimbus Sans",
                                            "DejaVu Sans"};
    const QStringList installed = QFontDatabase::families();
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    for (const char* family : kFamilies) {
        if (installed.contains(QLatin1String(family), Qt::CaseInsensitive)) {
            font.setFamily(QLatin1String(family));
            break;
        }
    }
    font.setPointSizeF(layout::kFontPoints);
    return font;
}

QImage CResponseGraph::PixelPicture() const {
    QImage image = BlankPicture(1);
    {
        QPainter painter(&image);
        DrawLabels(painter, LabelFont());
    }
    {
        PenPath grid(image, layout::kGridColour);
        for (const auto& line : layout::kLevelLines) {
            grid.MoveTo(layout::kPlotLeft, line.y);
            grid.LineTo(layout::kPlotRight, line.y);
        }
        for (const auto& line : layout::kFreqLines) {
            grid.MoveTo(line.x, layout::kPlotTop);
            grid.LineTo(line.x, layout::kPlotBottom);
        }
    }
    {
        PenPath axis(image, layout::kAxisColour);
        axis.MoveTo(layout::kPlotLeft, layout::kZeroDbY);
        axis.LineTo(layout::kPlotRight, layout::kZeroDbY);
        axis.MoveTo(layout::kFrame[0].x, layout::kFrame[0].y);
        for (std::size_t i = 1; i < layout::kFrame.size(); ++i) axis.LineTo(layout::kFrame[i].x, layout::kFrame[i].y);
    }

    const graph::CurvePixels pixels = CurrentCurve();
    PenPath curve(image, layout::kCurveColour);
    curve.MoveTo(layout::kCurveStartX, pixels.start_row);
    for (int j = 1; j < kvvalues::kGraphPoints; ++j) {
        const int x = layout::kCurveStartX + j;
        if (pixels.drawn[j])
            curve.LineTo(x, pixels.row[j]);
        else
            curve.MoveTo(x, pixels.row[j]);
    }
    return image;
}

graph::CurvePixels CResponseGraph::CurrentCurve() const {
    const graph::Curve eq = graph::EqResponse(use_set_b_ ? set_b_ : set_a_);
    const graph::Curve xo = hide_crossover_ ? graph::Curve{} : graph::CrossoverResponse(crossover_);
    return graph::CurveToPixels(eq, xo);
}

QImage CResponseGraph::Picture(qreal device_pixel_ratio) const {
    if (device_pixel_ratio <= 1) return PixelPicture();
    // The same picture in the screen's pixels: each line covers the pixels
    // the one-to-one picture paints, and the labels and the curve are drawn
    // at the finer grain instead of being blown up from it.
    QImage image = BlankPicture(device_pixel_ratio);
    QPainter painter(&image);
    DrawLabels(painter, LabelFont());

    // Lines through the pixels from x0 (or y0) up to x1 (or y1), not
    // including it.
    auto across = [&painter](int x0, int x1, int y) { painter.drawLine(QPointF(x0, y + 0.5), QPointF(x1, y + 0.5)); };
    auto down = [&painter](int x, int y0, int y1) { painter.drawLine(QPointF(x + 0.5, y0), QPointF(x + 0.5, y1)); };
    QPen pen(ToColor(layout::kGridColour), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.setPen(pen);
    for (const auto& level : layout::kLevelLines) across(layout::kPlotLeft, layout::kPlotRight, level.y);
    for (const auto& freq : layout::kFreqLines) down(freq.x, layout::kPlotTop, layout::kPlotBottom);
    pen.setColor(ToColor(layout::kAxisColour));
    painter.setPen(pen);
    across(layout::kPlotLeft, layout::kPlotRight, layout::kZeroDbY);
    // The frame closes on its corners: its pixels run from the first edge
    // to the last one inclusive.
    painter.drawRect(QRectF(layout::kPlotLeft + 0.5, layout::kPlotTop + 0.5, layout::kPlotRight - layout::kPlotLeft,
                            layout::kPlotBottom - layout::kPlotTop));

    const graph::CurvePixels pixels = CurrentCurve();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(ToColor(layout::kCurveColour), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath curve;
    curve.moveTo(layout::kCurveStartX + 0.5, pixels.start_row + 0.5);
    for (int j = 1; j < kvvalues::kGraphPoints; ++j) {
        const QPointF at(layout::kCurveStartX + j + 0.5, pixels.row[j] + 0.5);
        if (pixels.drawn[j])
            curve.lineTo(at);
        else
            curve.moveTo(at);
    }
    painter.drawPath(curve);
    return image;
}

QRect CResponseGraph::PictureTarget(const QRect& area) {
    const layout::Placement p = layout::PicturePlacement(area.width(), area.height());
    return QRect(area.left() + p.x, area.top() + p.y, p.width, p.height);
}

QSize CResponseGraph::sizeHint() const { return QSize(kPictureWidth + 2, kPictureHeight + 2); }
QSize CResponseGraph::minimumSizeHint() const { return QSize(kPictureWidth / 4, kPictureHeight / 4); }

void CResponseGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect target = PictureTarget(rect());
    // Drawn in the screen's own pixels: a picture of 460 x 190 pixels
    // blown up to a scaled screen's points would be blurred.
    const QImage picture = Picture(devicePixelRatioF());
    if (target.size() == QSize(kPictureWidth, kPictureHeight)) {
        painter.drawImage(target.topLeft(), picture);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(target, picture);
    }
}

void CResponseGraph::mousePressEvent(QMouseEvent* event) {
    // The graph takes no input; a left click stops here.
    if (event->button() == Qt::LeftButton) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}
