#include "compose/Geometry.h"
#include "compose/WallBufferPath.h"

#include "settings/ApSystem.h"

#include <gtest/gtest.h>

#include <climits>

namespace vantoria::compose {
namespace {

using raster::ScreenSize;

TEST(GeometryTest, ModIsNeverNegative) {
    EXPECT_EQ(Mod(462, 100), 62);
    EXPECT_EQ(Mod(-128, 1280), 1152);
    EXPECT_EQ(Mod(-88, 1200), 1112);
    EXPECT_EQ(Mod(-1200, 1200), 0);
    EXPECT_EQ(Mod(INT_MIN, 7), 5);  // -2^31 = -306783379 * 7 + 5
    EXPECT_THROW(Mod(5, 0), GeometryError);
}

TEST(GeometryTest, FittedSizeUsesASinglePrecisionFactorAndTruncates) {
    const ScreenSize wide{1024, 768};
    EXPECT_EQ(FittedSize(800, 600, wide), (ScreenSize{1023, 768}));   // r = 1.27999997...
    EXPECT_EQ(FittedSize(640, 480, wide), (ScreenSize{1024, 768}));   // r = 1.60000002...
    EXPECT_EQ(FittedSize(1600, 1200, wide), (ScreenSize{1023, 768})); // shrinking
    EXPECT_EQ(FittedSize(300, 200, wide), (ScreenSize{1151, 768}));
    EXPECT_EQ(FittedSize(2000, 500, wide), (ScreenSize{3072, 768}));  // wider than the screen
    EXPECT_EQ(FittedSize(600, 800, {768, 1024}), (ScreenSize{768, 1023}));
    // A square screen fits the width.
    EXPECT_EQ(FittedSize(800, 600, {1024, 1024}), (ScreenSize{1024, 767}));
    EXPECT_EQ(FittedSize(1, 1, {3, 2}), (ScreenSize{2, 2}));
}

TEST(GeometryTest, FittedSizeFailsInsteadOfDividingByZeroOrOverflowing) {
    EXPECT_THROW(FittedSize(10, 0, {1024, 768}), GeometryError);
    EXPECT_THROW(FittedSize(0, 10, {768, 1024}), GeometryError);
    EXPECT_THROW(FittedSize(65535, 1, {INT_MAX, INT_MAX - 1}), GeometryError);
    EXPECT_EQ(FittedSize(0, 10, {1024, 768}), (ScreenSize{0, 768}));  // nothing to divide by 0
}

TEST(WallBufferPathTest, JoinsLiterallyWithOneSlash) {
    EXPECT_EQ(WallBufferPath("/home/u", "Runo.bmp"), "/home/u/Runo.bmp");
    EXPECT_EQ(WallBufferPath("/", "Runo.bmp"), "//Runo.bmp");
    EXPECT_EQ(WallBufferPath("/home/u/", "Runo.bmp"), "/home/u//Runo.bmp");
    EXPECT_EQ(WallBufferPath("/home/u", ""), "/home/u/");
    EXPECT_EQ(WallBufferPath("/home/u", "sub/../w.bmp"), "/home/u/sub/../w.bmp");
    TApSystem s;
    s.StartDir = "/work";
    s.WallBuffer = kDefaultWallBuffer;
    EXPECT_EQ(WallBufferPath(s), "/work/Runo.bmp");
}

}  // namespace
}  // namespace vantoria::compose
