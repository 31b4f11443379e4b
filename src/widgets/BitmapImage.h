#pragma once
// The composition's 24-bit bitmaps shown or saved through Qt.

#include "platform/raster/Bitmap.h"

#include <QImage>

namespace vantoria {

// A copy of `picture` as a Qt image (both store blue, green, red per pixel).
QImage ToQImage(const raster::Bitmap& picture);

}  // namespace vantoria
