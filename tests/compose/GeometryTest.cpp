#include "compose/Geometry.h"

#include <gtest/gtest.h>

#include <climits>

namespace vantoria::compose {
namespace {

using raster::ScreenSize;

TEST(GeometryTest, ModIsNeverNegative) {
    EXPECT_EQ(Mod(462, 100), 62);
    EXPECT_EQ(Mod(-128, 1280), 1152);
    EXPECT_EQ(Mod(-1200, 1200), 0);
    EXPECT_EQ(Mod(INT_MIN, 7), 5);
    EXPECT_THROW(Mod(5, 0), GeometryError);
}

TEST(GeometryTest, FittedSizeUsesASinglePrecisionFactorAndTruncates) {
    struct Case { int w, h; ScreenSize screen; int ew, eh; };
    const Case cases[] = {
        {800, 600, {1024, 768}, 1023, 768},   // r = 1.27999997
        {640, 480, {1024, 768}, 1024, 768},   // r = 1.60000002
        {1600, 1200, {1024, 768}, 1023, 768}, // shrinking
        {300, 200, {1024, 768}, 1151, 768},
        {2000, 500, {1024, 768}, 3072, 768},  // wider than the screen
        {600, 800, {768, 1024}, 768, 1023},   // tall screen: fits the width
        {800, 600, {1024, 1024}, 1024, 767},  // so does a square one
        {0, 10, {1024, 768}, 0, 768},
    };
    for (const Case& c : cases) {
        const ScreenSize s = FittedSize(c.w, c.h, c.screen);
        EXPECT_EQ(s.width, c.ew) << c.w << "x" << c.h;
        EXPECT_EQ(s.height, c.eh) << c.w << "x" << c.h;
    }
    EXPECT_THROW(FittedSize(10, 0, {1024, 768}), GeometryError);
    EXPECT_THROW(FittedSize(0, 10, {768, 1024}), GeometryError);
    EXPECT_THROW(FittedSize(65535, 1, {INT_MAX, INT_MAX - 1}), GeometryError);
}

}  // namespace
}  // namespace vantoria::compose
