#pragma once
#include "archive/bitmap.h"

#include <QImage>
#include <QWidget>

namespace about {

// Shows one picture of the archive module unscaled from its top-left corner; what does not
// fit is cut off. The picture's pixels are drawn where they lie, without a copy.
class PictureView : public QWidget {
public:
    using QWidget::QWidget;

    // Takes the picture over; an empty one leaves the area blank.
    void setPicture(archive::Bitmap&& picture);
    const archive::Bitmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    archive::Bitmap picture_;
    QImage image_; // a view of picture_'s pixels
};

} // namespace about
