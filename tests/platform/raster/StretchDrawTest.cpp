// Scaled drawing: exact at scale one, averaging when shrinking, smooth when
// enlarging, and clipping that does not change what is drawn.

#include "platform/raster/RasterTestUtil.h"

namespace vantoria::raster {
namespace {

// Pixels from f(x, y, channel).
template <typename F>
Bitmap Picture(int w, int h, F f) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y) {
        for (int i = 0; i < 3 * w; ++i) b.ScanLine(y)[i] = static_cast<std::uint8_t>(f(i / 3, y, i % 3));
    }
    return b;
}

Bitmap Stretched(const Bitmap& src, int w, int h) {
    Bitmap out(w, h);
    out.StretchDraw(MakeRect(0, 0, w, h), src);
    return out;
}

TEST(StretchDrawTest, ScaleOneIsAnExactCopy) {
    const Bitmap src = test::CoordPicture(37, 23);
    Bitmap out(40, 30);
    out.StretchDraw(MakeRect(2, 3, 39, 26), src);
    for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 37; ++x) ASSERT_EQ(test::CoordAt(out, x + 2, y + 3), (test::Point{x, y}));
    }
}

TEST(StretchDrawTest, ShrinkingAFineCheckerboardGivesGrey) {
    const auto board = [](int x, int y, int) { return (x + y) % 2 ? 255 : 0; };
    // Exactly half, then uneven factors where point sampling would keep
    // black and white.
    struct Case { int sw, sh, w, h; double tolerance; };
    for (const Case& c : {Case{64, 48, 32, 24, 1.5}, Case{1000, 700, 70, 33, 10.5}}) {
        const Bitmap out = Stretched(Picture(c.sw, c.sh, board), c.w, c.h);
        for (int y = 0; y < c.h; ++y) {
            for (int i = 0; i < 3 * c.w; ++i) ASSERT_NEAR(out.ScanLine(y)[i], 127.5, c.tolerance);
        }
    }
}

TEST(StretchDrawTest, EnlargingATwoPixelGradientIsSmoothAndMonotonic) {
    const Bitmap out = Stretched(Picture(2, 1, [](int x, int, int) { return x * 255; }), 100, 3);
    for (int y = 0; y < 3; ++y) {
        const std::uint8_t* row = out.ScanLine(y);
        EXPECT_EQ(row[0], 0);
        EXPECT_EQ(row[99 * 3], 255);
        for (int x = 1; x < 100; ++x) {
            EXPECT_GE(row[3 * x], row[3 * x - 3]) << x;
            EXPECT_LE(row[3 * x] - row[3 * x - 3], 6) << x;  // about 255 / 50 a pixel
        }
    }
}

TEST(StretchDrawTest, AUniformPictureStaysExactlyUniformAtAnyScale) {
    const int colour[] = {37, 200, 255};
    const Bitmap src = Picture(13, 7, [&](int, int, int c) { return colour[c]; });
    const int sizes[][2] = {{1, 1}, {5, 3}, {13, 70}, {200, 2}, {1000, 1001}, {6, 700}};
    for (const auto [w, h] : sizes) {
        const Bitmap out = Stretched(src, w, h);
        for (int y = 0; y < h; ++y) {
            for (int i = 0; i < 3 * w; ++i) ASSERT_EQ(out.ScanLine(y)[i], colour[i % 3]) << w << "x" << h;
        }
    }
}

TEST(StretchDrawTest, ClippedAndThreadedDrawingMatchesTheWhole) {
    const Bitmap src = Picture(300, 200, [](int x, int y, int c) { return (x * 7 ^ y * 13) + c; });
    // Wider and lower, narrower and taller; large enough to use two threads.
    const int sizes[][2] = {{1400, 190}, {100, 2700}};
    for (const auto [w, h] : sizes) {
        const Bitmap whole = Stretched(src, w, h);
        Bitmap part(w - 20, h / 2);
        part.StretchDraw(MakeRect(-7, -h / 2 + 3, w - 7, h - h / 2 + 3), src);
        for (int y = 0; y < part.Height(); ++y) {
            ASSERT_EQ(0, std::memcmp(part.ScanLine(y), whole.ScanLine(y + h / 2 - 3) + 7 * 3,
                                     std::size_t(part.Width()) * 3)) << w << " row " << y;
        }
    }
}

}  // namespace
}  // namespace vantoria::raster
