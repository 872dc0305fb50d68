#pragma once
class QColor;

namespace ui {

// The look every window of the program shares: one style on every desktop, and a
// sans-serif font of 11-pixel characters that holds every Czech letter.
void installProgramLook();

// The background of menus, which the report and the error list use.
QColor menuColour();

} // namespace ui
