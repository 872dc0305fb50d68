#include "ui/window_place.h"

#include <QApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>

namespace ui {

namespace {

QMargins frameOf(const QWidget& w)
{
    const QRect f = w.frameGeometry();
    const QRect g = w.geometry();
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

} // namespace

void centreOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        return;
    QMargins frame = frameOf(window);
    // A window not yet framed is placed by its client area (X11's static gravity), a framed
    // one by its frame.
    QPoint placedBy;
    if (frame.isNull() && QApplication::activeWindow() != nullptr && QApplication::activeWindow() != &window) {
        frame = frameOf(*QApplication::activeWindow());
        placedBy = QPoint(frame.left(), frame.top());
    }
    const QSize outer = window.size().grownBy(frame);
    const QRect area = screen->availableGeometry();
    const QPoint topLeft(area.left() + (area.width() - outer.width()) / 2,
                         area.top() + (area.height() - outer.height()) / 2);
    window.move(topLeft + placedBy);
}

} // namespace ui
