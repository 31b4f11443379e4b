#pragma once
// Sizes the decoder accepts. A picture beyond them is refused with a DibError
// before anything is allocated. Callers may pass lower limits (the fuzz target
// does, so that a few header bytes cannot ask for hundreds of megabytes).

#include <cstdint>

#include "platform/raster/SizeLimits.h"

namespace vantoria::dib {

// Largest width or height, in pixels.
inline constexpr int kMaxSide = 32768;
// Largest width times height: 256 megapixels (768 MB as a 24-bit bitmap).
inline constexpr std::int64_t kMaxPixels = std::int64_t{256} * 1024 * 1024;
static_assert(kMaxSide <= limits::kMaxSide && kMaxPixels <= limits::kMaxPixels,
              "a bitmap the reader accepts must fit the program's bitmaps");

struct Limits {
    int maxSide = kMaxSide;
    std::int64_t maxPixels = kMaxPixels;
};

}  // namespace vantoria::dib
