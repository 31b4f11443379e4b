// Scaled drawing: exact at scale one, averaging when shrinking, smooth when
// enlarging, and clipping that does not change what is drawn.

#include "platform/raster/RasterTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vantoria::raster {
namespace {

Bitmap Checkerboard(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint8_t v = (x + y) % 2 ? 255 : 0;
            std::uint8_t* p = b.ScanLine(y) + 3 * x;
            p[0] = p[1] = p[2] = v;
        }
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
    out.Fill(9, 9, 9);
    out.StretchDraw(MakeRect(2, 3, 39, 26), src);
    for (int y = 0; y < 23; ++y) {
        for (int x = 0; x < 37; ++x) ASSERT_EQ(test::CoordAt(out, x + 2, y + 3), (test::Point{x, y}));
    }
    EXPECT_EQ(out.ScanLine(0)[0], 9);
}

TEST(StretchDrawTest, ShrinkingAFineCheckerboardGivesGreyNotAPattern) {
    // Exactly half: every output pixel averages two black and two white.
    const Bitmap half = Stretched(Checkerboard(64, 48), 32, 24);
    // Uneven factors, where point sampling would keep black and white.
    const Bitmap odd = Stretched(Checkerboard(1000, 700), 70, 33);
    for (const Bitmap* b : {&half, &odd}) {
        const int tolerance = b == &half ? 1 : 10;
        for (int y = 0; y < b->Height(); ++y) {
            for (int i = 0; i < b->Width() * 3; ++i) {
                ASSERT_NEAR(b->ScanLine(y)[i], 127.5, tolerance + 0.5) << b->Width() << " y " << y;
            }
        }
    }
}

TEST(StretchDrawTest, EnlargingATwoPixelGradientIsSmoothAndMonotonic) {
    Bitmap src(2, 1);
    std::uint8_t* p = src.ScanLine(0);
    p[0] = p[1] = p[2] = 0;
    p[3] = p[4] = p[5] = 255;
    const Bitmap out = Stretched(src, 100, 3);
    for (int y = 0; y < 3; ++y) {
        const std::uint8_t* row = out.ScanLine(y);
        EXPECT_EQ(row[0], 0);
        EXPECT_EQ(row[99 * 3], 255);
        for (int x = 1; x < 100; ++x) {
            EXPECT_GE(row[3 * x], row[3 * x - 3]) << x;
            EXPECT_LE(row[3 * x] - row[3 * x - 3], 6) << x;  // no jumps: about 255 / 50 a pixel
            EXPECT_EQ(row[3 * x + 2], row[3 * x]);
        }
    }
}

TEST(StretchDrawTest, AUniformPictureStaysExactlyUniformAtAnyScale) {
    Bitmap src(13, 7);
    src.Fill(37, 200, 255);
    const int sizes[][2] = {{1, 1}, {5, 3}, {13, 70}, {200, 2}, {1000, 1001}, {6, 700}};
    for (const auto& s : sizes) {
        const Bitmap out = Stretched(src, s[0], s[1]);
        for (int y = 0; y < out.Height(); ++y) {
            for (int x = 0; x < out.Width(); ++x) {
                const std::uint8_t* q = out.ScanLine(y) + 3 * x;
                ASSERT_TRUE(q[0] == 37 && q[1] == 200 && q[2] == 255) << s[0] << "x" << s[1];
            }
        }
    }
}

TEST(StretchDrawTest, ClippingDrawsTheSamePixelsAsTheWholeRectangle) {
    Bitmap src(50, 40);
    for (int y = 0; y < 40; ++y) {
        for (int i = 0; i < 150; ++i) src.ScanLine(y)[i] = static_cast<std::uint8_t>(i * 7 + y * 13);
    }
    // Enlarging in one direction and shrinking in the other, and the reverse.
    for (const auto& [w, h] : {std::pair{90, 25}, std::pair{30, 70}}) {
        const Bitmap whole = Stretched(src, w, h);
        Bitmap part(w - 20, h - 10);
        part.StretchDraw(MakeRect(-7, -4, w - 7, h - 4), src);
        for (int y = 0; y < part.Height(); ++y) {
            ASSERT_EQ(0, std::memcmp(part.ScanLine(y), whole.ScanLine(y + 4) + 7 * 3,
                                     std::size_t(part.Width()) * 3)) << w << " row " << y;
        }
    }
}

TEST(StretchDrawTest, LargeOutputsSplitAcrossThreadsMatchTheirParts) {
    // Big enough for two threads; the lower half drawn alone must agree.
    Bitmap src(300, 200);
    for (int y = 0; y < 200; ++y) {
        for (int i = 0; i < 900; ++i) src.ScanLine(y)[i] = static_cast<std::uint8_t>((i ^ y) * 3);
    }
    const Bitmap whole = Stretched(src, 700, 500);
    Bitmap lower(700, 250);
    lower.StretchDraw(MakeRect(0, -250, 700, 250), src);
    for (int y = 0; y < 250; ++y) {
        ASSERT_EQ(0, std::memcmp(lower.ScanLine(y), whole.ScanLine(y + 250), 2100)) << y;
    }
}

}  // namespace
}  // namespace vantoria::raster
