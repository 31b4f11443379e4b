#pragma once
// The scaler behind Bitmap::StretchDraw: separable, in fixed point, with area
// averaging along an axis that shrinks (every source pixel counts with the
// share of it that an output pixel covers, so nothing aliases) and bilinear
// interpolation along an axis that grows. Internal to platform/raster.

#include <cstddef>
#include <cstdint>

#include "platform/raster/ResampleKernels.h"

namespace vantoria::raster::detail {

// 24-bit BGR rows; `stride` is negative for bottom-up storage.
struct SourceView {
    const std::uint8_t* top = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
};

// The part [x0, x1) x [y0, y1) of the scaled destination to produce.
struct Window {
    int x0 = 0;
    int x1 = 0;
    int y0 = 0;
    int y1 = 0;
};

// Where pixel (x0, y0) of the window goes, and the byte distance between rows.
struct TargetView {
    std::uint8_t* origin = nullptr;
    std::ptrdiff_t stride = 0;
};

// Scales all of `src` to destWidth x destHeight and writes the window of the
// result. Uses up to `maxThreads` threads (a second one only for large
// outputs) and the loops of `level` (every level gives the same bytes).
// Throws std::bad_alloc.
void Resample(const SourceView& src, int destWidth, int destHeight, const Window& window,
              const TargetView& target, int maxThreads = 2, SimdLevel level = BestSimdLevel());

}  // namespace vantoria::raster::detail
