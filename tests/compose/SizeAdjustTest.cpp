// StretchToScreen, FitToScreen and FitPictureToScreen: the sizes they give,
// that they draw the whole picture, and that they fail cleanly.

#include "compose/ComposeTestUtil.h"

namespace vantoria::compose::test {
namespace {

class SizeAdjustTest : public ComposerTest {
protected:
    using Step = bool (WallComposer::*)(Bitmap&) const;

    Bitmap Run(Step step, int w, int h, ScreenSize s) {
        picture = CoordPicture(w, h);
        screen = s;
        Bitmap work = picture;
        EXPECT_TRUE((composer.*step)(work));
        return work;
    }
    static ScreenSize SizeOf(const Bitmap& b) { return {b.Width(), b.Height()}; }
};

TEST_F(SizeAdjustTest, StretchFillsTheScreenWithTheWholePicture) {
    EXPECT_EQ(SizeOf(Run(&WallComposer::StretchToScreen, 640, 480, {1280, 1024})),
              (ScreenSize{1280, 1024}));
    // Scaled by 3 and 2: the corners and a middle pixel come from the right places.
    const Bitmap out = Run(&WallComposer::StretchToScreen, 40, 30, {120, 60});
    EXPECT_EQ(CoordAt(out, 0, 0), (Point{0, 0}));
    EXPECT_EQ(CoordAt(out, 119, 59), (Point{39, 29}));
    EXPECT_EQ(CoordAt(out, 61, 21), (Point{20, 10}));  // centre of source (20, 10)
}

TEST_F(SizeAdjustTest, FittingSpansTheShorterSideOfTheScreen) {
    struct Case { int w, h; ScreenSize screen, expected; };
    const Case cases[] = {
        {800, 600, {1024, 768}, {1023, 768}},   {640, 480, {1024, 768}, {1024, 768}},
        {1600, 1200, {1024, 768}, {1023, 768}}, {300, 200, {1024, 768}, {1151, 768}},
        {600, 800, {768, 1024}, {768, 1023}},   {2000, 500, {1024, 768}, {3072, 768}},
        {800, 600, {1024, 1024}, {1024, 767}},  {1, 1, {1920, 1080}, {1080, 1080}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SizeOf(Run(&WallComposer::FitToScreen, c.w, c.h, c.screen)), c.expected)
            << c.w << "x" << c.h;
        EXPECT_EQ(SizeOf(Run(&WallComposer::FitPictureToScreen, c.w, c.h, c.screen)), c.expected)
            << c.w << "x" << c.h;
    }
}

TEST_F(SizeAdjustTest, FitPictureScalesThePictureNotTheWorkingBitmap) {
    picture = CoordPicture(800, 600);
    screen = {1024, 768};
    Bitmap work = CoordPicture(8, 8);
    ASSERT_TRUE(composer.FitPictureToScreen(work));
    EXPECT_EQ(SizeOf(work), (ScreenSize{1023, 768}));
    work = CoordPicture(8, 8);
    ASSERT_TRUE(composer.FitToScreen(work));
    EXPECT_EQ(SizeOf(work), (ScreenSize{768, 768}));
}

TEST_F(SizeAdjustTest, FailuresLeaveTheWorkingBitmapAsItWas) {
    picture = Bitmap(0, 0);
    Bitmap work = picture;
    EXPECT_FALSE(composer.FitToScreen(work));
    EXPECT_FALSE(composer.FitPictureToScreen(work));
    EXPECT_TRUE(work.Empty());

    picture = CoordPicture(5, 5);
    work = picture;
    screen = {-1, 10};
    EXPECT_FALSE(composer.StretchToScreen(work));
    screen = {70000, 10};
    EXPECT_FALSE(composer.StretchToScreen(work));
    screen = {100000, 1};  // one pixel high: the picture fits to 1 x 1
    EXPECT_TRUE(composer.FitToScreen(work));
    EXPECT_EQ(SizeOf(work), (ScreenSize{1, 1}));

    work = picture;
    screenFails = true;
    EXPECT_FALSE(composer.StretchToScreen(work));
    EXPECT_FALSE(composer.FitToScreen(work));
    EXPECT_FALSE(composer.FitPictureToScreen(work));
    EXPECT_TRUE(work.SharesPixelsWith(picture));
}

}  // namespace
}  // namespace vantoria::compose::test
