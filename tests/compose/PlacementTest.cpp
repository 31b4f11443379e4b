// CentreForTiling and the alternating arrangements, checked pixel by pixel
// against the pictures' encoded coordinates.

#include "compose/ComposeTestUtil.h"

namespace vantoria::compose::test {
namespace {

int Mod(int p, int q) { return ((p % q) + q) % q; }

// Every pixel of `out` is T((x - ox) mod Wb, (y - oy) mod Hb) for T the
// Wb x Hb coordinate picture.
void ExpectRotated(const Bitmap& out, int wb, int hb, int ox, int oy) {
    for (int y = 0; y < out.Height(); ++y) {
        for (int x = 0; x < out.Width(); ++x) {
            ASSERT_EQ(CoordAt(out, x, y), (Point{Mod(x - ox, wb), Mod(y - oy, hb)}))
                << "pixel " << x << "," << y;
        }
    }
}

// The pixel rules of the alternating blocks.
Point Horizontal(int x, int y, int w, int h) {
    const int u = x + w / 2;
    return u / w == 1 ? Point{u % w, y} : Point{u % w, (y + h / 2) % h};
}
Point Vertical(int x, int y, int w, int h) {
    const int v = y + h / 2;
    return v / h == 1 ? Point{x, v % h} : Point{(x + w / 2) % w, v % h};
}

class PlacementTest : public ComposerTest {
protected:
    Bitmap Centred(int w, int h, ScreenSize s) {
        picture = CoordPicture(w, h);
        screen = s;
        Bitmap work = picture;
        EXPECT_TRUE(composer.CentreForTiling(work));
        return work;
    }
};

TEST_F(PlacementTest, CentringRotatesASmallPicture) {
    const Bitmap out = Centred(100, 60, {1024, 768});
    ASSERT_EQ(out.Width(), 100);
    ASSERT_EQ(out.Height(), 60);
    EXPECT_EQ(CoordAt(out, 62, 54), (Point{0, 0}));
    EXPECT_EQ(CoordAt(out, 0, 0), (Point{38, 6}));
    ExpectRotated(out, 100, 60, 62, 54);

    ExpectRotated(Centred(256, 256, {1024, 768}), 256, 256, 128, 0);
    ExpectRotated(Centred(101, 61, {1023, 767}), 101, 61, Mod(511 - 50, 101), Mod(383 - 30, 61));
    ExpectRotated(Centred(100, 60, {768, 1024}), 100, 60, Mod(384 - 50, 100), Mod(512 - 30, 60));
    ExpectRotated(Centred(1, 1, {1024, 768}), 1, 1, 0, 0);
}

TEST_F(PlacementTest, CentringLeavesAScreenSizedPictureAsItIs) {
    const Bitmap out = Centred(1024, 768, {1024, 768});
    EXPECT_TRUE(out.SharesPixelsWith(picture));
}

TEST_F(PlacementTest, CentringCutsALargerPictureToItsMiddle) {
    Bitmap out = Centred(1280, 1024, {1024, 768});
    ASSERT_EQ(out.Width(), 1024);
    ASSERT_EQ(out.Height(), 768);
    for (int y = 0; y < 768; y += 7) {
        for (int x = 0; x < 1024; x += 5) ASSERT_EQ(CoordAt(out, x, y), (Point{x + 128, y + 128}));
    }
    // Larger on one side only: cut there, rotated on the other.
    out = Centred(1280, 600, {1024, 768});
    ASSERT_EQ(out.Width(), 1024);
    ASSERT_EQ(out.Height(), 600);
    ExpectRotated(out, 1280, 600, 1152, 84);
    EXPECT_EQ(CoordAt(out, 0, 84), (Point{128, 0}));
    EXPECT_EQ(CoordAt(out, 1023, 84), (Point{1151, 0}));

    out = Centred(300, 2000, {1920, 1080});  // tall picture, wide screen
    ASSERT_EQ(out.Width(), 300);
    ASSERT_EQ(out.Height(), 1080);
    ExpectRotated(out, 300, 2000, Mod(960 - 150, 300), Mod(540 - 1000, 2000));
}

TEST_F(PlacementTest, CentringAnEmptyBitmapFailsWithoutChangingIt) {
    picture = Bitmap(0, 5);
    Bitmap work = picture;
    EXPECT_FALSE(composer.CentreForTiling(work));
    EXPECT_EQ(work.Width(), 0);
    EXPECT_EQ(work.Height(), 5);
    screenFails = true;
    work = CoordPicture(3, 3);
    EXPECT_FALSE(composer.CentreForTiling(work));
    EXPECT_EQ(CoordAt(work, 2, 1), (Point{2, 1}));
}

TEST_F(PlacementTest, AlternatingHorizontallyFourByTwo) {
    picture = CoordPicture(4, 2);
    Bitmap work = picture;
    ASSERT_TRUE(composer.AlternateHorizontally(work));
    ASSERT_EQ(work.Width(), 8);
    ASSERT_EQ(work.Height(), 2);
    const Point top[] = {{2, 1}, {3, 1}, {0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1}, {1, 1}};
    const Point bottom[] = {{2, 0}, {3, 0}, {0, 1}, {1, 1}, {2, 1}, {3, 1}, {0, 0}, {1, 0}};
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(CoordAt(work, x, 0), top[x]) << x;
        EXPECT_EQ(CoordAt(work, x, 1), bottom[x]) << x;
    }
}

TEST_F(PlacementTest, AlternatingBlocksFollowThePixelRuleForAnySize) {
    const std::pair<int, int> sizes[] = {{101, 61}, {64, 48}, {1, 5}, {5, 1}, {1, 1}, {2, 3}, {7, 2}};
    for (const auto& [w, h] : sizes) {
        picture = CoordPicture(w, h);
        Bitmap across = picture;
        Bitmap down = picture;
        ASSERT_TRUE(composer.AlternateHorizontally(across));
        ASSERT_TRUE(composer.AlternateVertically(down));
        ASSERT_EQ(across.Width(), 2 * w);
        ASSERT_EQ(across.Height(), h);
        ASSERT_EQ(down.Width(), w);
        ASSERT_EQ(down.Height(), 2 * h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < 2 * w; ++x) {
                ASSERT_EQ(CoordAt(across, x, y), Horizontal(x, y, w, h)) << w << "x" << h;
            }
        }
        for (int y = 0; y < 2 * h; ++y) {
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(CoordAt(down, x, y), Vertical(x, y, w, h)) << w << "x" << h;
            }
        }
    }
    // 101 x 61: the unshifted copy starts at x = 51 (y = 31 going down).
    picture = CoordPicture(101, 61);
    Bitmap across = picture;
    composer.AlternateHorizontally(across);
    EXPECT_EQ(CoordAt(across, 51, 0), (Point{0, 0}));
    EXPECT_EQ(CoordAt(across, 50, 0), (Point{100, 30}));
}

TEST_F(PlacementTest, AlternatingDoesNotReadTheScreen) {
    picture = CoordPicture(3, 3);
    screenFails = true;
    Bitmap work = picture;
    EXPECT_TRUE(composer.AlternateVertically(work));
    EXPECT_TRUE(composer.AlternateHorizontally(work));
    EXPECT_EQ(work.Width(), 6);
    EXPECT_EQ(work.Height(), 6);
}

TEST_F(PlacementTest, AlternatingABlockTooLargeFailsWithoutChangingIt) {
    picture = CoordPicture(40000, 1);
    Bitmap work = picture;
    EXPECT_FALSE(composer.AlternateHorizontally(work));
    EXPECT_TRUE(work.SharesPixelsWith(picture));
}

}  // namespace
}  // namespace vantoria::compose::test
