#include "about/picture_view.h"

#include <QPainter>

namespace about {

void PictureView::setPicture(archive::Bitmap&& picture)
{
    // The view must never outlive the pixels it points into: drop it before they change.
    image_ = QImage();
    picture_ = std::move(picture);
    if (!picture_.empty())
        image_ = QImage(reinterpret_cast<const uchar*>(picture_.pixels.data()), picture_.width, picture_.height,
                        static_cast<qsizetype>(picture_.stride), QImage::Format_RGB32);
    update();
}

void PictureView::paintEvent(QPaintEvent*)
{
    if (image_.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), image_);
}

} // namespace about
