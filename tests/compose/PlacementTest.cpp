// CentreForTiling and the alternating arrangements, pixel by pixel.

#include "compose/ComposeTestUtil.h"

namespace vantoria::compose::test {
namespace {

int Mod(int p, int q) { return ((p % q) + q) % q; }

class PlacementTest : public ComposerTest {
protected:
    Bitmap Centred(int w, int h, ScreenSize s) {
        picture = CoordPicture(w, h);
        screen = s;
        Bitmap work = picture;
        EXPECT_TRUE(composer.CentreForTiling(work));
        return work;
    }
    // Every pixel (x, y) is T((x - ox) mod wb, (y - oy) mod hb).
    static void ExpectRotated(const Bitmap& out, int wb, int hb, int ox, int oy) {
        for (int y = 0; y < out.Height(); ++y) {
            for (int x = 0; x < out.Width(); ++x) {
                ASSERT_EQ(CoordAt(out, x, y), (Point{Mod(x - ox, wb), Mod(y - oy, hb)})) << x << "," << y;
            }
        }
    }
};

TEST_F(PlacementTest, CentringRotatesTheBlockAndCutsSidesLargerThanTheScreen) {
    struct Case { int w, h; ScreenSize screen; int ew, eh, ox, oy; };
    const Case cases[] = {
        {100, 60, {1024, 768}, 100, 60, 62, 54},      {256, 256, {1024, 768}, 256, 256, 128, 0},
        {101, 61, {1023, 767}, 101, 61, 57, 48},      {100, 60, {768, 1024}, 100, 60, 34, 2},
        {1280, 1024, {1024, 768}, 1024, 768, 1152, 896}, {1280, 600, {1024, 768}, 1024, 600, 1152, 84},
        {300, 2000, {1920, 1080}, 300, 1080, 210, 1540}, {1, 1, {7, 7}, 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        const Bitmap out = Centred(c.w, c.h, c.screen);
        ASSERT_EQ(out.Width(), c.ew) << c.w << "x" << c.h;
        ASSERT_EQ(out.Height(), c.eh) << c.w << "x" << c.h;
        ExpectRotated(out, c.w, c.h, c.ox, c.oy);
    }
    EXPECT_EQ(CoordAt(Centred(100, 60, {1024, 768}), 0, 0), (Point{38, 6}));
    EXPECT_EQ(CoordAt(Centred(1280, 1024, {1024, 768}), 0, 0), (Point{128, 128}));
    EXPECT_TRUE(Centred(1024, 768, {1024, 768}).SharesPixelsWith(picture));  // left as it is
}

TEST_F(PlacementTest, CentringFailsWithoutChangingTheBitmap) {
    picture = Bitmap(0, 5);
    Bitmap work = picture;
    EXPECT_FALSE(composer.CentreForTiling(work));  // remainder by zero
    EXPECT_EQ(work.Height(), 5);
    screenFails = true;
    work = CoordPicture(3, 3);
    EXPECT_FALSE(composer.CentreForTiling(work));
    EXPECT_EQ(CoordAt(work, 2, 1), (Point{2, 1}));
}

TEST_F(PlacementTest, AlternatingBlocksFollowThePixelRuleForAnySize) {
    screenFails = true;  // neither step needs the screen
    const int sizes[][2] = {{4, 2}, {101, 61}, {64, 48}, {1, 5}, {5, 1}, {1, 1}, {2, 3}, {7, 2}};
    for (const auto [w, h] : sizes) {
        picture = CoordPicture(w, h);
        Bitmap across = picture;
        Bitmap down = picture;
        ASSERT_TRUE(composer.AlternateHorizontally(across));
        ASSERT_TRUE(composer.AlternateVertically(down));
        ASSERT_EQ(across.Width(), 2 * w);
        ASSERT_EQ(down.Height(), 2 * h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < 2 * w; ++x) {
                const int u = x + w / 2;
                const Point expected = u / w == 1 ? Point{u % w, y} : Point{u % w, (y + h / 2) % h};
                ASSERT_EQ(CoordAt(across, x, y), expected) << w << "x" << h;
            }
        }
        for (int y = 0; y < 2 * h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int v = y + h / 2;
                const Point expected = v / h == 1 ? Point{x, v % h} : Point{(x + w / 2) % w, v % h};
                ASSERT_EQ(CoordAt(down, x, y), expected) << w << "x" << h;
            }
        }
    }
}

}  // namespace
}  // namespace vantoria::compose::test
