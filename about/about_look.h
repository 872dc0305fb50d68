#pragma once
#include <QIcon>
#include <QPixmap>

class QColor;
class QListWidget;
class QPushButton;
class QWidget;

namespace about {

// The pictures of the About box and the catalogue: a normal and a disabled state each.
enum class Glyph { Products, Contact, WhatIs, Licence, Authors, Previous, Next, Ok, Enlarge, Shrink };
QIcon glyph(Glyph which);
// The maker's 190 x 100 logo on a transparent background.
QPixmap makerLogo();

// The background of menus, which the read-only texts and lists use.
QColor menuColour();
// Gives every row of the list the same height in pixels, whatever its font.
void setRowHeight(QListWidget* list, int pixels);

// A push button at a fixed place with a glyph of the given size beside its caption.
QPushButton* glyphButton(const char* name, const char* caption, const QIcon& icon, int iconSide, QWidget* parent);

} // namespace about
