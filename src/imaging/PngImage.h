#pragma once
// PNG pictures (the large images of modern icons), drawn onto black.

#include <cstdint>
#include <span>

#include "platform/dib/DibLimits.h"
#include "platform/raster/Bitmap.h"

namespace vantoria::imaging {

// True when `data` starts with the PNG signature.
bool IsPng(std::span<const std::uint8_t> data);

// Decodes a whole PNG in memory; transparency is blended onto black.
// Throws dib::DibError for a damaged PNG or one beyond the limits.
raster::Bitmap DecodePng(std::span<const std::uint8_t> data, const dib::Limits& limits = {});

}  // namespace vantoria::imaging
