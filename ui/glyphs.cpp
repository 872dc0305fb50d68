#include "ui/glyphs.h"

#include <QStyle>
#include <QWidget>

// The pictures live in a static library, whose resource registration no code references;
// registering it explicitly keeps the linker from dropping it.
static void registerIcons()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)done;
}

namespace ui {

namespace {

QIcon twoState(const QString& name)
{
    registerIcons();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1.png").arg(name), QSize(16, 16), QIcon::Normal);
    icon.addFile(QStringLiteral(":/icons/%1_disabled.png").arg(name), QSize(16, 16), QIcon::Disabled);
    return icon;
}

} // namespace

QIcon glyph(Glyph which)
{
    switch (which) {
    case Glyph::Start: return twoState(QStringLiteral("start"));
    case Glyph::Pause: return twoState(QStringLiteral("pause"));
    case Glyph::Save: return twoState(QStringLiteral("save"));
    case Glyph::Browse: return twoState(QStringLiteral("browse"));
    }
    return {};
}

QIcon stockGlyph(StockGlyph which, const QWidget* widget)
{
    QStyle::StandardPixmap pixmap = QStyle::SP_DialogOkButton;
    switch (which) {
    case StockGlyph::Ok: pixmap = QStyle::SP_DialogOkButton; break;
    case StockGlyph::Cancel: pixmap = QStyle::SP_DialogCancelButton; break;
    // The style's own help button picture is no question mark in every style; the question
    // of a message box always is.
    case StockGlyph::Help: pixmap = QStyle::SP_MessageBoxQuestion; break;
    case StockGlyph::Close: pixmap = QStyle::SP_DialogCloseButton; break;
    }
    return widget->style()->standardIcon(pixmap, nullptr, widget);
}

QIcon programIcon()
{
    registerIcons();
    return QIcon(QStringLiteral(":/icons/vorkan.png"));
}

} // namespace ui
