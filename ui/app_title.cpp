#include "ui/app_title.h"

namespace ui {

void AppTitle::set(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    emit changed(text_);
}

} // namespace ui
