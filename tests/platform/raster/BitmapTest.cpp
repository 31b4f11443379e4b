// Storage sharing, unscaled drawing and block copies of Bitmap.

#include "platform/raster/RasterTestUtil.h"

#include <gtest/gtest.h>

namespace vantoria::raster {
namespace {

using test::CoordAt;
using test::CoordPicture;
using test::Point;

TEST(BitmapTest, CopiesShareUntilOneIsWritten) {
    Bitmap a = CoordPicture(5, 4);
    Bitmap b = a;
    EXPECT_TRUE(b.SharesPixelsWith(a));

    b.ScanLine(2)[3] = 0xEE;  // pixel (1, 2), blue
    EXPECT_FALSE(b.SharesPixelsWith(a));
    EXPECT_EQ(CoordAt(a, 1, 2), (Point{1, 2}));
    EXPECT_EQ(b.ScanLine(2)[3], 0xEE);
    EXPECT_EQ(CoordAt(b, 4, 3), (Point{4, 3}));  // the rest came along
}

TEST(BitmapTest, DrawingAnEqualBitmapAtTheOriginSharesIt) {
    const Bitmap picture = CoordPicture(7, 3);
    Bitmap copy(7, 3);
    copy.Draw(0, 0, picture);
    EXPECT_TRUE(copy.SharesPixelsWith(picture));
    EXPECT_TRUE(test::SamePixels(copy, picture));
}

TEST(BitmapTest, SetSizeKeepsTheTopLeftArea) {
    Bitmap b = CoordPicture(6, 5);
    const Bitmap before = b;
    b.SetSize(4, 7);
    ASSERT_EQ(b.Width(), 4);
    ASSERT_EQ(b.Height(), 7);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(CoordAt(b, x, y), (Point{x, y}));
    }
    EXPECT_EQ(before.Width(), 6);  // a copy taken before is untouched
    EXPECT_EQ(CoordAt(before, 5, 4), (Point{5, 4}));
}

TEST(BitmapTest, DrawClipsAtEveryEdge) {
    const Bitmap src = CoordPicture(4, 3);
    for (const Point at : {Point{-2, -1}, Point{3, 2}, Point{-3, 1}, Point{1, -2}}) {
        Bitmap canvas(5, 4);
        canvas.Fill(1, 2, 3);
        canvas.Draw(at.x, at.y, src);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 5; ++x) {
                const Point s{x - at.x, y - at.y};
                if (s.x >= 0 && s.x < 4 && s.y >= 0 && s.y < 3) {
                    EXPECT_EQ(CoordAt(canvas, x, y), s) << "at " << at;
                } else {
                    EXPECT_EQ(canvas.ScanLine(y)[3 * x + 2], 3) << "at " << at << " pixel " << x;
                }
            }
        }
    }
    Bitmap canvas(5, 4);
    canvas.Draw(100, -100, src);  // entirely outside: nothing, no fault
    canvas.Draw(2147483000, 2147483000, src);
}

TEST(BitmapTest, CopyRectClipsSourceAndDestination) {
    const Bitmap src = CoordPicture(6, 6);
    Bitmap canvas(4, 4);
    canvas.Fill(0, 0, 0xFF);
    // Source sticks out left and top of src, destination out right and bottom.
    canvas.CopyRect(MakeRect(1, 1, 6, 6), src, MakeRect(-2, -1, 3, 4));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const Point s{x - 1 - 2, y - 1 - 1};
            if (s.x >= 0 && s.y >= 0) {
                EXPECT_EQ(CoordAt(canvas, x, y), s);
            } else {
                EXPECT_EQ(canvas.ScanLine(y)[3 * x + 2], 0xFF) << x << "," << y;
            }
        }
    }
    EXPECT_THROW(canvas.CopyRect(MakeRect(0, 0, 2, 2), src, MakeRect(0, 0, 3, 2)), RasterError);
}

TEST(BitmapTest, OperationsOnItselfReadThePixelsAsTheyWere) {
    Bitmap b = CoordPicture(6, 1);
    b.CopyRect(MakeRect(1, 0, 6, 1), b, MakeRect(0, 0, 5, 1));  // overlapping shift right
    for (int x = 1; x < 6; ++x) EXPECT_EQ(CoordAt(b, x, 0), (Point{x - 1, 0}));

    Bitmap c = CoordPicture(4, 4);
    c.StretchDraw(MakeRect(0, 0, 2, 2), c);
    EXPECT_EQ(c.ScanLine(3)[3 * 3], 3);  // outside the rectangle: unchanged
}

TEST(BitmapTest, AdoptedBottomUpRowsReadTopDown) {
    // Two rows of two pixels, bottom row first, each row padded to 8 bytes.
    const std::uint8_t rows[16] = {1, 1, 1, 2, 2, 2, 0, 0, 3, 3, 3, 4, 4, 4, 0, 0};
    auto* data = static_cast<std::uint8_t*>(std::malloc(sizeof rows));
    std::memcpy(data, rows, sizeof rows);
    const Bitmap b = Bitmap::Adopt(2, 2, true, {data, [](std::uint8_t* p) { std::free(p); }});
    EXPECT_EQ(b.ScanLine(0)[0], 3);
    EXPECT_EQ(b.ScanLine(1)[3], 2);
    Bitmap drawn(3, 3);
    drawn.Draw(1, 1, b);
    EXPECT_EQ(drawn.ScanLine(1)[3], 3);
    EXPECT_EQ(drawn.ScanLine(2)[6], 2);
}

TEST(BitmapTest, RefusesSizesBeyondTheLimits) {
    EXPECT_THROW(Bitmap(-1, 5), RasterError);
    EXPECT_THROW(Bitmap(kMaxSide + 1, 1), RasterError);
    EXPECT_THROW(Bitmap(40000, 40000), RasterError);  // over kMaxPixels
    Bitmap b(4, 4);
    EXPECT_THROW(b.StretchDraw(MakeRect(0, 0, 70000, 1), CoordPicture(2, 2)), RasterError);
}

}  // namespace
}  // namespace vantoria::raster
