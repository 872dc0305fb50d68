#pragma once
#include <QIcon>

class QWidget;

namespace ui {

// The program's own glyphs: a normal and a disabled picture each.
enum class Glyph { Start, Pause, Save, Browse };
QIcon glyph(Glyph which);

// The toolkit's stock OK, Cancel, Help and Close glyphs.
enum class StockGlyph { Ok, Cancel, Help, Close };
QIcon stockGlyph(StockGlyph which, const QWidget* widget);

// The program's 32 x 32 icon.
QIcon programIcon();

} // namespace ui
