// The scaler's vector loops against its portable ones: the same bytes for
// every factor, window and thread count, and nothing written outside the
// window (a vector store running past a row's end would show here).

#include "platform/raster/Resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace vantoria::raster::detail {
namespace {

struct Canvas {
    int width, height;
    std::vector<std::uint8_t> pixels;
    Canvas(int w, int h) : width(w), height(h), pixels(std::size_t(w) * h * 3, 0xA5) {}
};

// Scales `src` to w x h and writes the window into a canvas two pixels
// larger on every side, so that stray writes land on its border.
Canvas Scale(const std::vector<std::uint8_t>& src, int sw, int sh, int w, int h, const Window& win, int threads,
             SimdLevel level) {
    Canvas c(win.x1 - win.x0 + 4, win.y1 - win.y0 + 4);
    const std::ptrdiff_t stride = std::ptrdiff_t(c.width) * 3;
    // The source exactly as long as its rows: no padding to read into.
    Resample({src.data(), std::ptrdiff_t(sw) * 3, sw, sh}, w, h, win, {c.pixels.data() + 2 * stride + 6, stride},
             threads, level);
    return c;
}

TEST(ResampleLevelsTest, EveryLevelGivesThePortableBytesAndStaysInsideTheWindow) {
    std::mt19937 random(21);
    struct Case { int sw, sh, w, h; };
    // Shrinking and growing on each axis, factors from nearly one to large,
    // widths that leave every remainder of the vector loops.
    const Case cases[] = {{601, 401, 384, 216}, {600, 400, 192, 108}, {97, 61, 384, 217}, {80, 60, 102, 77},
                          {160, 120, 103, 77},  {64, 48, 1280, 1024}, {1000, 7, 33, 700}, {5, 900, 717, 13},
                          {3, 3, 1, 1},         {1, 1, 37, 5},        {700, 500, 700, 499}};
    std::vector<SimdLevel> levels = {SimdLevel::Portable};
    if (BestSimdLevel() >= SimdLevel::Sse41) levels.push_back(SimdLevel::Sse41);
    if (BestSimdLevel() >= SimdLevel::Avx2) levels.push_back(SimdLevel::Avx2);
    for (const Case& k : cases) {
        std::vector<std::uint8_t> src(std::size_t(k.sw) * k.sh * 3);
        for (auto& b : src) b = static_cast<std::uint8_t>(random());
        const Window windows[] = {{0, k.w, 0, k.h}, {k.w / 3, k.w - k.w / 4, k.h / 5, std::min(k.h, k.h - k.h / 3 + 1)}};
        for (const Window& win : windows) {
            if (win.x1 <= win.x0 || win.y1 <= win.y0) continue;
            const Canvas reference = Scale(src, k.sw, k.sh, k.w, k.h, win, 1, SimdLevel::Portable);
            for (int y = 0; y < reference.height; ++y) {
                for (int x = 0; x < reference.width; ++x) {
                    const bool border = x < 2 || y < 2 || x >= reference.width - 2 || y >= reference.height - 2;
                    if (border) {
                        ASSERT_EQ(reference.pixels[(std::size_t(y) * reference.width + x) * 3], 0xA5);
                    }
                }
            }
            for (const SimdLevel level : levels) {
                for (const int threads : {1, 2}) {
                    const Canvas c = Scale(src, k.sw, k.sh, k.w, k.h, win, threads, level);
                    ASSERT_EQ(c.pixels, reference.pixels) << k.sw << "x" << k.sh << " -> " << k.w << "x" << k.h
                                                          << " window x " << win.x0 << " level "
                                                          << static_cast<int>(level) << " threads " << threads;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vantoria::raster::detail
