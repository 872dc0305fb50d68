#pragma once
#include <QImage>
#include <QString>

namespace tools {

// Picture k of product n of the sample catalogue, 400 x 300 pixels: a likeness of the
// product's window. Needs a QApplication.
QImage samplePicture(int product, int picture, const QString& productName);

} // namespace tools
