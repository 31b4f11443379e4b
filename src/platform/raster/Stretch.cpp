#include "platform/raster/Stretch.h"

namespace vantoria::raster {

Bitmap Stretched(const Bitmap& picture, ScreenSize size) {
    Bitmap out(size.width, size.height);
    out.StretchDraw(MakeRect(0, 0, size.width, size.height), picture);
    return out;
}

}  // namespace vantoria::raster
