#include "widgets/BitmapImage.h"

#include <cstring>

namespace vantoria {

QImage ToQImage(const raster::Bitmap& picture) {
    QImage image(picture.Width(), picture.Height(), QImage::Format_BGR888);
    for (int y = 0; y < picture.Height(); ++y) {
        std::memcpy(image.scanLine(y), picture.ScanLine(y), static_cast<std::size_t>(picture.Width()) * 3);
    }
    return image;
}

}  // namespace vantoria
