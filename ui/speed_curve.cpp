#include "ui/speed_curve.h"

#include "ui/details_texts.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

const QColor kCurveColour(0, 0, 192); // the blue of the progress gauges
const QColor kSlowColour(255, 140, 0, 90);
const QColor kGridColour(220, 220, 220);

QString tick(double value, const engine::Axis& axis)
{
    return QString::fromStdString(engine::tickText(value, axis));
}

int tickCount(const engine::Axis& axis)
{
    return static_cast<int>(std::lround(axis.top / axis.step));
}

} // namespace

SpeedCurve::SpeedCurve(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(360, 160);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void SpeedCurve::setCurve(engine::CurveView curve)
{
    curve_ = std::move(curve);
    update();
}

QRect SpeedCurve::plotArea() const
{
    const QFontMetrics fm = fontMetrics();
    int widest = 0;
    for (int i = 0; i <= tickCount(curve_.speed); ++i)
        widest = std::max(widest, fm.horizontalAdvance(tick(i * curve_.speed.step, curve_.speed)));
    const int left = widest + 12;
    const int top = fm.height() + 10;
    const int bottom = 2 * fm.height() + 8;
    return QRect(left, top, std::max(1, width() - left - 16), std::max(1, height() - top - bottom));
}

QPointF SpeedCurve::at(const QRect& plot, double seconds, double speed) const
{
    const double x = plot.left() + plot.width() * std::clamp(seconds / curve_.time.top, 0.0, 1.0);
    const double y = plot.bottom() - plot.height() * std::clamp(speed / curve_.speed.top, 0.0, 1.0);
    return {x, y};
}

void SpeedCurve::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRect plot = plotArea();
    drawSlowSpans(p, plot);
    if (!curve_.measured) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(texts::kRychlyTestNemeri));
        return;
    }
    drawAxes(p, plot);
    if (curve_.points.empty() && curve_.slow.empty()) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(texts::kZadneMereni));
        return;
    }
    p.setPen(QPen(kCurveColour, 1.5));
    if (curve_.points.size() == 1) {
        p.setBrush(kCurveColour);
        const auto& only = curve_.points.front();
        p.drawEllipse(at(plot, only.seconds, only.megabytesPerSecond), 2.5, 2.5);
    } else {
        QPainterPath path;
        for (std::size_t i = 0; i < curve_.points.size(); ++i) {
            const QPointF pt = at(plot, curve_.points[i].seconds, curve_.points[i].megabytesPerSecond);
            if (i == 0)
                path.moveTo(pt);
            else
                path.lineTo(pt);
        }
        p.drawPath(path);
    }
    drawLegend(p, plot);
}

void SpeedCurve::drawSlowSpans(QPainter& p, const QRect& plot) const
{
    for (const engine::SlowSpan& s : curve_.slow) {
        QRectF span(at(plot, s.from, curve_.speed.top), at(plot, s.to, 0));
        // A read shorter than a pixel column still shows.
        if (span.width() < 3)
            span.adjust(-(3 - span.width()) / 2, 0, (3 - span.width()) / 2, 0);
        p.fillRect(span, kSlowColour);
    }
}

void SpeedCurve::drawAxes(QPainter& p, const QRect& plot) const
{
    const QFontMetrics fm = fontMetrics();
    const QColor text = palette().color(QPalette::Text);
    for (int i = 0; i <= tickCount(curve_.speed); ++i) {
        const double v = i * curve_.speed.step;
        const QPointF pt = at(plot, 0, v);
        p.setPen(kGridColour);
        p.drawLine(QPointF(plot.left(), pt.y()), QPointF(plot.right(), pt.y()));
        p.setPen(text);
        const QRectF label(0, pt.y() - fm.height() / 2.0, plot.left() - 6, fm.height());
        p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, tick(v, curve_.speed));
    }
    for (int i = 0; i <= tickCount(curve_.time); ++i) {
        const double v = i * curve_.time.step;
        const QPointF pt = at(plot, v, 0);
        p.setPen(kGridColour);
        p.drawLine(QPointF(pt.x(), plot.top()), QPointF(pt.x(), plot.bottom()));
        p.setPen(text);
        const QRectF label(pt.x() - 40, plot.bottom() + 4, 80, fm.height());
        p.drawText(label, Qt::AlignHCenter | Qt::AlignTop, tick(v, curve_.time));
    }
    p.setPen(text);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.drawText(QRect(plot.left(), plot.bottom() + 4 + fm.height(), plot.width(), fm.height() + 2),
               Qt::AlignRight | Qt::AlignTop, QString::fromUtf8(texts::kOsaCas));
    p.drawText(QRect(4, 2, plot.width(), fm.height() + 2), Qt::AlignLeft | Qt::AlignTop,
               QString::fromUtf8(texts::kOsaRychlost));
}

void SpeedCurve::drawLegend(QPainter& p, const QRect& plot) const
{
    if (curve_.slow.empty())
        return;
    const QFontMetrics fm = fontMetrics();
    const QString caption = QString::fromUtf8(texts::kLegendaPomale);
    const int w = fm.horizontalAdvance(caption);
    const QRect swatch(plot.right() - w - 18, 3 + (fm.height() - 10) / 2, 12, 10);
    p.fillRect(swatch, kSlowColour);
    p.setPen(palette().color(QPalette::Text));
    p.drawText(QRect(swatch.right() + 5, 2, w + 2, fm.height() + 2), Qt::AlignLeft | Qt::AlignTop, caption);
}

} // namespace ui
