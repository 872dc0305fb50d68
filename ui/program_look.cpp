#include "ui/program_look.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QMenu>
#include <QPalette>
#include <QStyleFactory>

namespace ui {

void installProgramLook()
{
    // The pages are laid out in absolute pixels: a style or font that grows controls would
    // cut their captions, so both are fixed rather than taken from the desktop.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    // The condensed face keeps captions about as wide as the pages were drawn for; the plain
    // face stands in where it is missing.
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

QColor menuColour()
{
    return QApplication::palette("QMenu").color(QPalette::Window);
}

} // namespace ui
