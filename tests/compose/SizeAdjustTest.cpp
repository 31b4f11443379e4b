// StretchToScreen, FitToScreen and FitPictureToScreen on the working bitmap.

#include "compose/ComposeTestUtil.h"

namespace vantoria::compose::test {
namespace {

using SizeAdjustTest = ComposerTest;

TEST_F(SizeAdjustTest, StretchFillsTheScreenWithTheWholePicture) {
    picture = CoordPicture(40, 30);
    screen = {120, 60};  // scaled by 3 and 2
    Bitmap work = picture;
    ASSERT_TRUE(composer.StretchToScreen(work));
    ASSERT_EQ(work.Width(), 120);
    ASSERT_EQ(work.Height(), 60);
    EXPECT_EQ(CoordAt(work, 0, 0), (Point{0, 0}));
    EXPECT_EQ(CoordAt(work, 119, 59), (Point{39, 29}));
    EXPECT_EQ(CoordAt(work, 61, 21), (Point{20, 10}));
}

TEST_F(SizeAdjustTest, FitPictureScalesThePictureFitTheWorkingBitmap) {
    picture = CoordPicture(800, 600);
    Bitmap work = CoordPicture(8, 8);
    ASSERT_TRUE(composer.FitPictureToScreen(work));
    EXPECT_EQ(work.Width(), 1023);
    EXPECT_EQ(work.Height(), 768);
    work = CoordPicture(8, 8);
    ASSERT_TRUE(composer.FitToScreen(work));
    EXPECT_EQ(work.Width(), 768);
    EXPECT_EQ(work.Height(), 768);
}

TEST_F(SizeAdjustTest, FailuresLeaveTheWorkingBitmapAsItWas) {
    Bitmap work = picture;  // empty: fitting would divide by zero
    EXPECT_FALSE(composer.FitToScreen(work));
    EXPECT_FALSE(composer.FitPictureToScreen(work));
    EXPECT_TRUE(work.Empty());

    picture = CoordPicture(5, 5);
    work = picture;
    for (const ScreenSize bad : {ScreenSize{-1, 10}, ScreenSize{70000, 10}}) {
        screen = bad;
        EXPECT_FALSE(composer.StretchToScreen(work));
    }
    screenFails = true;
    EXPECT_FALSE(composer.StretchToScreen(work));
    EXPECT_FALSE(composer.FitToScreen(work));
    EXPECT_FALSE(composer.FitPictureToScreen(work));
    EXPECT_TRUE(work.SharesPixelsWith(picture));
}

}  // namespace
}  // namespace vantoria::compose::test
