#include "ui/elided.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace ui {

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

void ElidedLabel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shownText(), foregroundRole());
}

ElidedComboBox::ElidedComboBox(QWidget* parent) : QComboBox(parent)
{
    view()->setTextElideMode(Qt::ElideMiddle);
}

int ElidedComboBox::textWidth() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    int width = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width();
    if (!option.currentIcon.isNull())
        width -= option.iconSize.width() + 4; // the gap the styles leave after the icon
    return width;
}

QString ElidedComboBox::shownText() const
{
    return fontMetrics().elidedText(currentText(), Qt::ElideMiddle, textWidth());
}

void ElidedComboBox::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = shownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

} // namespace ui
