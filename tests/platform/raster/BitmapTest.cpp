// Storage sharing, unscaled drawing and block copies of Bitmap.

#include "platform/raster/RasterTestUtil.h"

namespace vantoria::raster {
namespace {

using test::CoordAt;
using test::CoordPicture;
using test::Point;

TEST(BitmapTest, CopiesShareUntilOneIsWritten) {
    const Bitmap a = CoordPicture(5, 4);
    Bitmap b = a;
    EXPECT_TRUE(b.SharesPixelsWith(a));
    b.ScanLine(2)[3] = 0xEE;  // pixel (1, 2), blue
    EXPECT_FALSE(b.SharesPixelsWith(a));
    EXPECT_EQ(CoordAt(a, 1, 2), (Point{1, 2}));
    EXPECT_EQ(CoordAt(b, 4, 3), (Point{4, 3}));

    Bitmap drawn(5, 4);  // an equal bitmap drawn at the origin is shared
    drawn.Draw(0, 0, a);
    EXPECT_TRUE(drawn.SharesPixelsWith(a));

    Bitmap resized = a;  // resizing keeps the top-left area, the copy its size
    resized.SetSize(3, 6);
    EXPECT_EQ(CoordAt(resized, 2, 3), (Point{2, 3}));
    EXPECT_EQ(a.Width(), 5);
}

TEST(BitmapTest, DrawClipsAtEveryEdge) {
    const Bitmap src = CoordPicture(4, 3);
    for (const Point at : {Point{-2, -1}, Point{3, 2}, Point{-3, 1}, Point{1, -2}, Point{9, 0}}) {
        Bitmap canvas(5, 4);
        canvas.Fill(1, 2, 0);  // reads as the point (1, 2)
        canvas.Draw(at.x, at.y, src);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 5; ++x) {
                const Point s{x - at.x, y - at.y};
                const bool inside = s.x >= 0 && s.x < 4 && s.y >= 0 && s.y < 3;
                EXPECT_EQ(CoordAt(canvas, x, y), (inside ? s : Point{1, 2})) << at << " " << x << "," << y;
            }
        }
    }
    Bitmap canvas(5, 4);
    canvas.Draw(2147483000, -2147483000, src);  // far outside: no overflow
}

TEST(BitmapTest, CopyRectClipsSourceAndDestination) {
    const Bitmap src = CoordPicture(6, 6);
    Bitmap canvas(4, 4);
    canvas.Fill(0, 0, 0xFF);
    // The source sticks out left and top of src, the destination out right
    // and bottom of the canvas.
    canvas.CopyRect(MakeRect(1, 1, 6, 6), src, MakeRect(-2, -1, 3, 4));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const Point s{x - 3, y - 2};
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
    b.CopyRect(MakeRect(1, 0, 6, 1), b, MakeRect(0, 0, 5, 1));  // overlapping
    for (int x = 1; x < 6; ++x) EXPECT_EQ(CoordAt(b, x, 0), (Point{x - 1, 0}));
    Bitmap c = CoordPicture(4, 4);
    c.StretchDraw(MakeRect(0, 0, 2, 2), c);
    EXPECT_EQ(CoordAt(c, 3, 3), (Point{3, 3}));
}

}  // namespace
}  // namespace vantoria::raster
