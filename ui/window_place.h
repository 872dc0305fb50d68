#pragma once

class QWidget;

namespace ui {

// Centres window's frame on the available area of its screen. Before the window manager has
// framed the window its frame is unknown; the frame of the window that is active meanwhile,
// drawn by the same window manager, is taken instead, so the first showing lands where the
// later ones do. Call it when the window is shown.
void centreOnScreen(QWidget& window);

} // namespace ui
