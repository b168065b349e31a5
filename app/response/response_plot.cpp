#include "response/response_plot.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>

#include "response/plot_scale.h"

namespace response {

namespace {

enum Pane { kLevel, kPhase, kDelay, kPanes };

const QColor kBackground(255, 255, 255);
const QColor kGrid(226, 226, 226);
const QColor kMajorGrid(196, 196, 196);
const QColor kFrame(120, 120, 120);
const QColor kLabel(70, 70, 70);
const QColor kCursor(90, 90, 90);

// Delays where a curve lies this far below its own highest level are left
// out of the delay pane's range: there they mean nothing audible (next to
// a notch they run off to either side).
constexpr double kDelayRangeDb = 40;

// A line one device pixel wide lies on whole device pixels at its centre,
// so it is sharp at every scale.
double Snap(double v, double dpr) { return (std::floor(v * dpr) + 0.5) / dpr; }

const std::vector<double>& Values(const kvresponse::Curve& c, Pane pane, bool unwrapped) {
    if (pane == kLevel) return c.db;
    if (pane == kDelay) return c.gd_ms;
    return unwrapped ? c.deg_unwrapped : c.deg;
}

QString PaneTitle(Pane pane, bool unwrapped) {
    if (pane == kLevel) return ResponsePlot::tr("Level (dB)");
    if (pane == kDelay) return ResponsePlot::tr("Group delay (ms)");
    return unwrapped ? ResponsePlot::tr("Phase, unwrapped (degrees)") : ResponsePlot::tr("Phase (degrees)");
}

QString HzText(double hz) {
    return hz >= 1000 ? QStringLiteral("%1 kHz").arg(hz / 1000, 0, 'f', hz >= 10000 ? 2 : 3)
                      : QStringLiteral("%1 Hz").arg(hz, 0, 'f', hz >= 100 ? 1 : 2);
}

QFont PixelFont(const QFont& font) {
    // Pixel sizes, so a picture has the window's proportions at any
    // resolution of the device it goes to.
    QFont f = font;
    f.setPixelSize(std::max(QFontInfo(font).pixelSize(), 9));
    return f;
}

// The points of one unbroken run of a curve, without those that lie within
// `tolerance` of the chord that replaces them: the flat and straight
// stretches of a thousand-point curve shrink to a few points, nothing
// visible changes.
std::vector<QPointF> Simplified(const std::vector<QPointF>& run, double tolerance) {
    std::vector<QPointF> out;
    if (run.empty()) return out;
    std::size_t anchor = 0;
    out.push_back(run[0]);
    while (anchor + 1 < run.size()) {
        std::size_t end = anchor + 1;
        while (end + 1 < run.size()) {
            // Would the chord anchor -> end + 1 pass every point between
            // within the tolerance?
            const QPointF a = run[anchor], b = run[end + 1];
            const double dx = b.x() - a.x(), dy = b.y() - a.y();
            const double length = std::hypot(dx, dy);
            bool close = length > 0;
            for (std::size_t k = anchor + 1; close && k <= end; ++k)
                close = std::abs((run[k].x() - a.x()) * dy - (run[k].y() - a.y()) * dx) <= tolerance * length;
            if (!close) break;
            ++end;
        }
        out.push_back(run[end]);
        anchor = end;
    }
    return out;
}

// Segments along the points, each drawn with flat ends and lengthened at a
// bend by just what closes the notch on its outer side (half the width
// times tan of half the bend): a stroked path costs ten times as much (its
// joins take trigonometry at every point), and separate segments with
// square ends overlap into darker spots.
void AddSegments(const std::vector<QPointF>& points, double width, std::vector<QLineF>& out) {
    const std::size_t n = points.size();
    if (n < 2) return;
    std::vector<QPointF> directions(n - 1);  // of each segment, unit length
    for (std::size_t k = 0; k + 1 < n; ++k) {
        const QPointF d = points[k + 1] - points[k];
        const double length = std::hypot(d.x(), d.y());
        directions[k] = length > 0 ? d / length : QPointF(1, 0);
    }
    // How far the segments meeting at point i reach past it.
    auto reach = [&](std::size_t i) {
        if (i == 0 || i + 1 == n) return 0.0;
        const double c = QPointF::dotProduct(directions[i - 1], directions[i]);
        return std::min(width / 2 * std::sqrt(std::max(0.0, (1 - c) / (1 + c + 1e-12))), width);
    };
    for (std::size_t k = 0; k + 1 < n; ++k)
        out.emplace_back(points[k] - directions[k] * reach(k), points[k + 1] + directions[k] * reach(k + 1));
}

}  // namespace

struct ResponsePlot::Layout {
    QRectF panes[kPanes];
    Span spans[kPanes];
    double line_height = 0;
};

ResponsePlot::ResponsePlot(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setToolTip(tr("Move the pointer, or use the arrow keys, to read every curve at one frequency"));
}

QSize ResponsePlot::sizeHint() const { return {720, 480}; }
QSize ResponsePlot::minimumSizeHint() const { return {360, 300}; }

void ResponsePlot::setCurves(std::vector<double> hz, std::vector<PlotCurve> curves) {
    hz_ = std::move(hz);
    curves_ = std::move(curves);
    if (cursor_ >= static_cast<int>(hz_.size())) cursor_ = -1;
    update();
}

void ResponsePlot::setUnwrappedPhase(bool unwrapped) {
    unwrapped_ = unwrapped;
    update();
}

void ResponsePlot::setCursorIndex(int index) {
    if (hz_.empty()) return;
    index = std::clamp(index, 0, static_cast<int>(hz_.size()) - 1);
    if (index == cursor_) return;
    cursor_ = index;
    update();
    emit cursorMoved(cursor_);
}

ResponsePlot::Layout ResponsePlot::layoutFor(const QRectF& area) const {
    Layout l;
    const QFontMetricsF fm(PixelFont(font()));
    l.line_height = fm.height();
    const double left = area.left() + fm.horizontalAdvance(QStringLiteral("-0000")) + 10;
    const double right = area.right() - fm.horizontalAdvance(QStringLiteral("20k")) / 2 - 4;
    const double top = area.top() + l.line_height * 0.6;
    const double bottom = area.bottom() - l.line_height - 8;
    const double gap = l.line_height * 0.8;
    const double height = bottom - top - 2 * gap;
    const double shares[kPanes] = {0.44, 0.28, 0.28};
    double y = top;
    for (int p = 0; p < kPanes; ++p) {
        l.panes[p] = QRectF(left, y, right - left, height * shares[p]);
        y += height * shares[p] + gap;
    }
    // Each pane's range from what it shows.
    double highest = -INFINITY, lowest_deg = INFINITY, highest_deg = -INFINITY;
    double lowest_ms = INFINITY, highest_ms = -INFINITY;
    for (const PlotCurve& c : curves_) {
        double curve_top = -INFINITY;
        for (double db : c.curve.db)
            if (std::isfinite(db)) curve_top = std::max(curve_top, db);
        highest = std::max(highest, curve_top);
        for (std::size_t i = 0; i < hz_.size(); ++i) {
            if (!(c.curve.db[i] > curve_top - kDelayRangeDb)) continue;
            if (std::isfinite(c.curve.gd_ms[i])) {
                lowest_ms = std::min(lowest_ms, c.curve.gd_ms[i]);
                highest_ms = std::max(highest_ms, c.curve.gd_ms[i]);
            }
            if (std::isfinite(c.curve.deg_unwrapped[i])) {
                lowest_deg = std::min(lowest_deg, c.curve.deg_unwrapped[i]);
                highest_deg = std::max(highest_deg, c.curve.deg_unwrapped[i]);
            }
        }
    }
    l.spans[kLevel] = LevelSpan(highest);
    l.spans[kPhase] = PhaseSpan(unwrapped_, lowest_deg, highest_deg);
    l.spans[kDelay] = DelaySpan(lowest_ms, highest_ms);
    return l;
}

void ResponsePlot::render(QPainter& painter, const QRectF& area) const {
    painter.save();
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const double hairline = 1 / dpr;
    const QFont font = PixelFont(this->font());
    painter.setFont(font);
    painter.fillRect(area, kBackground);
    const Layout l = layoutFor(area);
    const double lo = kvresponse::kLowestHz, hi = kvresponse::kHighestHz;
    const auto freq_ticks = FrequencyTicks(lo, hi);

    // The x of every point, the same in each pane.
    std::vector<double> xs(hz_.size());
    for (std::size_t i = 0; i < hz_.size(); ++i)
        xs[i] = l.panes[kLevel].left() + l.panes[kLevel].width() * LogPosition(hz_[i], lo, hi);

    for (int p = 0; p < kPanes; ++p) {
        const QRectF pane = l.panes[p];
        const Span span = l.spans[p];
        auto x_of = [&](double hz) { return pane.left() + pane.width() * LogPosition(hz, lo, hi); };
        auto y_of = [&](double v) { return pane.bottom() - pane.height() * (v - span.lo) / (span.hi - span.lo); };

        // Grid and frame, on whole device pixels without smoothing.
        painter.setRenderHint(QPainter::Antialiasing, false);
        for (const Tick& t : freq_ticks) {
            painter.setPen(QPen(t.label.empty() ? kGrid : kMajorGrid, hairline));
            const double x = Snap(x_of(t.value), dpr);
            painter.drawLine(QPointF(x, pane.top()), QPointF(x, pane.bottom()));
        }
        const auto value_ticks =
            p == kPhase ? PhaseTicks(span.lo, span.hi, 9) : ValueTicks(span.lo, span.hi, p == kLevel ? 11 : 7);
        for (const Tick& t : value_ticks) {
            const double y = Snap(y_of(t.value), dpr);
            painter.setPen(QPen(t.value == 0 ? kMajorGrid : kGrid, hairline));
            painter.drawLine(QPointF(pane.left(), y), QPointF(pane.right(), y));
            painter.setPen(kLabel);
            painter.drawText(QRectF(area.left(), y - l.line_height / 2, pane.left() - area.left() - 5, l.line_height),
                             Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(t.label));
        }
        painter.setPen(QPen(kFrame, hairline));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(QPointF(Snap(pane.left(), dpr), Snap(pane.top(), dpr)),
                                QPointF(Snap(pane.right(), dpr), Snap(pane.bottom(), dpr))));

        // Curves: smooth, clipped to the pane; gaps where a value is
        // unknown, and where the wrapped phase jumps a turn.
        painter.save();
        painter.setClipRect(pane);
        painter.setRenderHint(QPainter::Antialiasing, true);
        std::vector<QPointF> run;
        std::vector<QLineF> segments;
        const double tolerance = 0.2 / dpr;  // a fifth of a device pixel
        for (int pass = 0; pass < 2; ++pass)
            for (const PlotCurve& c : curves_) {
                if (c.emphasised != (pass == 1)) continue;
                const double width = c.emphasised ? 2.2 : 1.5;
                painter.setPen(QPen(c.colour, width, Qt::SolidLine, Qt::FlatCap));
                auto draw = [&] {
                    segments.clear();
                    AddSegments(Simplified(run, tolerance), width, segments);
                    painter.drawLines(segments.data(), static_cast<int>(segments.size()));
                    run.clear();
                };
                const std::vector<double>& v = Values(c.curve, static_cast<Pane>(p), unwrapped_);
                for (std::size_t i = 0; i < hz_.size(); ++i) {
                    const double y = y_of(v[i]);
                    // A run ends at an unknown value, at a turn of the
                    // wrapped phase, and where the curve stays beyond the
                    // pane (its first point beyond the edge still drawn).
                    const bool broken =
                        std::isnan(v[i]) || (p == kPhase && !unwrapped_ && i > 0 && std::abs(v[i] - v[i - 1]) > 180);
                    const bool beyond = y > pane.bottom() || y < pane.top();
                    const bool was_beyond =
                        !run.empty() && (run.back().y() > pane.bottom() || run.back().y() < pane.top());
                    if (broken || (beyond && was_beyond)) {
                        // Where it stays beyond, the next run starts from
                        // the last point outside.
                        const std::optional<QPointF> outside =
                            !broken && beyond ? std::optional<QPointF>(run.back()) : std::nullopt;
                        draw();
                        if (outside) run.push_back(*outside);
                        if (std::isnan(v[i])) continue;
                    }
                    // -infinity (silence) lies just below the pane.
                    run.emplace_back(xs[i], std::clamp(y, pane.top() - 4, pane.bottom() + 4));
                }
                draw();
            }
        painter.restore();

        // The pane's title over the curves, on a veil of the background.
        const QString title = PaneTitle(static_cast<Pane>(p), unwrapped_);
        QRectF title_box(pane.left() + 1, pane.top() + 1, QFontMetricsF(font).horizontalAdvance(title) + 8,
                         l.line_height + 2);
        painter.fillRect(title_box, QColor(255, 255, 255, 215));
        painter.setPen(kLabel);
        painter.drawText(title_box, Qt::AlignCenter, title);

        if (cursor_ >= 0 && cursor_ < static_cast<int>(hz_.size())) {
            const double x = Snap(x_of(hz_[cursor_]), dpr);
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setPen(QPen(kCursor, hairline, Qt::DashLine));
            painter.drawLine(QPointF(x, pane.top()), QPointF(x, pane.bottom()));
            painter.setRenderHint(QPainter::Antialiasing, true);
            for (const PlotCurve& c : curves_) {
                const double value = Values(c.curve, static_cast<Pane>(p), unwrapped_)[cursor_];
                const double y = y_of(value);
                if (!std::isfinite(y) || y < pane.top() || y > pane.bottom()) continue;
                painter.setPen(QPen(kBackground, 1.0));
                painter.setBrush(c.colour);
                painter.drawEllipse(QPointF(x, y), 3.2, 3.2);
            }
        }
    }

    // Frequencies under the lowest pane, and the cursor's over the highest.
    const QRectF bottom = l.panes[kDelay];
    painter.setPen(kLabel);
    for (const Tick& t : freq_ticks) {
        if (t.label.empty()) continue;
        const double x = bottom.left() + bottom.width() * LogPosition(t.value, lo, hi);
        painter.drawText(QRectF(x - 30, bottom.bottom() + 3, 60, l.line_height), Qt::AlignHCenter | Qt::AlignTop,
                         QString::fromStdString(t.label));
    }
    if (cursor_ >= 0 && cursor_ < static_cast<int>(hz_.size())) {
        const QRectF top = l.panes[kLevel];
        const double x = top.left() + top.width() * LogPosition(hz_[cursor_], lo, hi);
        const QString text = HzText(hz_[cursor_]);
        const double w = QFontMetricsF(font).horizontalAdvance(text) + 8;
        QRectF box(std::clamp(x - w / 2, top.left() + 1, top.right() - w - 1), top.top() + 1, w, l.line_height + 2);
        if (box.left() < top.left() + QFontMetricsF(font).horizontalAdvance(PaneTitle(kLevel, false)) + 12)
            box.moveTop(top.bottom() - box.height() - 1);  // clear of the pane's title
        painter.fillRect(box, kCursor);
        painter.setPen(kBackground);
        painter.drawText(box, Qt::AlignCenter, text);
    }
    painter.restore();
}

void ResponsePlot::paintEvent(QPaintEvent*) {
    ++paints_;
    QElapsedTimer clock;
    clock.start();
    QPainter painter(this);
    render(painter, QRectF(rect()));
    paint_ms_ = static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void ResponsePlot::moveCursorTo(double x) {
    if (hz_.empty()) return;
    const QRectF pane = layoutFor(QRectF(rect())).panes[kLevel];
    const double position = std::clamp((x - pane.left()) / pane.width(), 0.0, 1.0);
    const double hz = FrequencyAt(position, kvresponse::kLowestHz, kvresponse::kHighestHz);
    // The nearest point on the log axis.
    auto it = std::lower_bound(hz_.begin(), hz_.end(), hz);
    int index = static_cast<int>(it - hz_.begin());
    if (index > 0 && (index == static_cast<int>(hz_.size()) || std::log(hz / hz_[index - 1]) < std::log(*it / hz)))
        --index;
    setCursorIndex(index);
}

void ResponsePlot::mouseMoveEvent(QMouseEvent* event) { moveCursorTo(event->position().x()); }
void ResponsePlot::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    moveCursorTo(event->position().x());
}

void ResponsePlot::keyPressEvent(QKeyEvent* event) {
    const int step = (event->modifiers() & Qt::ShiftModifier) ? 10 : 1;
    const int start = cursor_ < 0 ? static_cast<int>(hz_.size()) / 2 : cursor_;
    switch (event->key()) {
    case Qt::Key_Left: setCursorIndex(start - step); break;
    case Qt::Key_Right: setCursorIndex(start + step); break;
    case Qt::Key_Home: setCursorIndex(0); break;
    case Qt::Key_End: setCursorIndex(static_cast<int>(hz_.size()) - 1); break;
    default: QWidget::keyPressEvent(event);
    }
}

}  // namespace response
