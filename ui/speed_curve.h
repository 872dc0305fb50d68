#pragma once
#include "engine/details_view.h"

#include <QWidget>

namespace ui {

// The speed of the read phase over time, with the time each slow read took shaded behind it.
class SpeedCurve final : public QWidget {
    Q_OBJECT
public:
    explicit SpeedCurve(QWidget* parent = nullptr);

    void setCurve(engine::CurveView curve);
    QSize sizeHint() const override { return {640, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect plotArea() const;
    QPointF at(const QRect& plot, double seconds, double speed) const;
    void drawAxes(QPainter& p, const QRect& plot) const;
    void drawSlowSpans(QPainter& p, const QRect& plot) const;
    void drawLegend(QPainter& p, const QRect& plot) const;

    engine::CurveView curve_;
};

} // namespace ui
