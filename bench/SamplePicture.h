#pragma once
// A synthetic photograph-sized picture for the benchmarks: smooth gradients
// with fine detail, held bottom-up as a decoded Windows bitmap would be.

#include "platform/raster/Bitmap.h"

#include <cstdlib>

namespace vantoria::bench {

inline raster::Bitmap SamplePicture(int width, int height) {
    const std::size_t row = raster::RowBytes(width);
    auto* data = static_cast<std::uint8_t*>(std::calloc(row * std::size_t(height), 1));
    if (!data) throw raster::RasterError("out of memory");
    raster::Bitmap b = raster::Bitmap::Adopt(width, height, true,
                                             {data, [](std::uint8_t* p) { std::free(p); }});
    std::uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = b.ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            noise = noise * 1664525u + 1013904223u;
            p[0] = static_cast<std::uint8_t>(x * 255 / width);
            p[1] = static_cast<std::uint8_t>(y * 255 / height);
            p[2] = static_cast<std::uint8_t>(((x ^ y) & 16 ? 200 : 40) + (noise >> 29));
        }
    }
    return b;
}

}  // namespace vantoria::bench
