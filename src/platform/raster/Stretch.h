#pragma once
// The stretch of a whole picture to a size, as the stretching composition
// draws it. The decode helper stretches with the same function before it
// hands a picture over, so that either side gives the same bytes.

#include "platform/raster/Bitmap.h"
#include "platform/raster/ScreenSize.h"

namespace vantoria::raster {

// `picture` resampled to exactly `size`. Throws RasterError or
// std::bad_alloc.
Bitmap Stretched(const Bitmap& picture, ScreenSize size);

}  // namespace vantoria::raster
