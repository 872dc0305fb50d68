#pragma once
#include <QApplication>
#include <QFont>
#include <QStyleFactory>

namespace about_test {

// The program's look (one style, 11-pixel sans-serif characters), so that the boxes lay out
// in the tests and pictures as they do in the program.
inline void installLook()
{
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

} // namespace about_test
