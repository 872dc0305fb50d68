#include "about/about_look.h"

#include <QApplication>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QStyledItemDelegate>

// The pictures live in a static library, whose resource registration no code references;
// registering it explicitly keeps the linker from dropping it.
static void registerArt()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(about_art);
        return true;
    }();
    (void)done;
}

namespace about {

namespace {

const char* glyphName(Glyph which)
{
    switch (which) {
    case Glyph::Products: return "products";
    case Glyph::Contact: return "contact";
    case Glyph::WhatIs: return "whatis";
    case Glyph::Licence: return "licence";
    case Glyph::Authors: return "authors";
    case Glyph::Previous: return "previous";
    case Glyph::Next: return "next";
    case Glyph::Ok: return "ok";
    case Glyph::Enlarge: return "enlarge";
    case Glyph::Shrink: return "shrink";
    }
    return "products";
}

class FixedRowDelegate : public QStyledItemDelegate {
public:
    FixedRowDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

} // namespace

QIcon glyph(Glyph which)
{
    registerArt();
    const QString name = QString::fromLatin1(glyphName(which));
    const int side = which == Glyph::Ok ? 18 : 16;
    QIcon icon;
    icon.addFile(QStringLiteral(":/about/%1.png").arg(name), QSize(side, side), QIcon::Normal);
    icon.addFile(QStringLiteral(":/about/%1_disabled.png").arg(name), QSize(side, side), QIcon::Disabled);
    return icon;
}

QPixmap makerLogo()
{
    registerArt();
    return QPixmap(QStringLiteral(":/about/logo.png"));
}

QColor menuColour()
{
    return QApplication::palette("QMenu").color(QPalette::Window);
}

void setRowHeight(QListWidget* list, int pixels)
{
    list->setItemDelegate(new FixedRowDelegate(pixels, list));
    list->setUniformItemSizes(true);
}

QPushButton* glyphButton(const char* name, const char* caption, const QIcon& icon, int iconSide, QWidget* parent)
{
    auto* button = new QPushButton(icon, QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIconSize(QSize(iconSide, iconSide));
    return button;
}

} // namespace about
