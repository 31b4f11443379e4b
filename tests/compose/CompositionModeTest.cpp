#include "compose/CompositionMode.h"
#include "compose/WallBufferPath.h"

#include "settings/ApSystem.h"

#include <gtest/gtest.h>

#include <climits>

namespace vantoria::compose {
namespace {

TEST(CompositionModeTest, PositionsZeroAndOneAndOthersPassTheSizeThroughUnchecked) {
    for (const int size : {0, 1, 2, 3, 4, 5, 6, 7, -1, INT_MAX}) {
        EXPECT_EQ(ChooseComposition(0, size, 2), (Composition{size, false}));
        EXPECT_EQ(ChooseComposition(1, size, 1), (Composition{size, true}));
        EXPECT_EQ(ChooseComposition(3, size, 0), (Composition{size, true}));
        EXPECT_EQ(ChooseComposition(INT_MIN, size, 0), (Composition{size, true}));
    }
}

TEST(CompositionModeTest, PositionTwoTakesTheArrangementAndIgnoresTheSize) {
    EXPECT_EQ(ChooseComposition(2, 1, 0), (Composition{4, true}));
    EXPECT_EQ(ChooseComposition(2, 3, 1), (Composition{5, true}));
    EXPECT_EQ(ChooseComposition(2, 0, 2), (Composition{6, true}));
    EXPECT_EQ(ChooseComposition(2, 0, 3), (Composition{4, true}));
    EXPECT_EQ(ChooseComposition(2, 0, -1), (Composition{4, true}));
    TApSystem s;
    s.WallPosition = 2;
    s.WallSize = 1;
    s.WallArrange = 2;
    EXPECT_EQ(ChooseComposition(s), (Composition{6, true}));
}

TEST(WallBufferPathTest, JoinsLiterallyWithOneSlash) {
    EXPECT_EQ(WallBufferPath("/home/u", "Runo.bmp"), "/home/u/Runo.bmp");
    EXPECT_EQ(WallBufferPath("/", "Runo.bmp"), "//Runo.bmp");
    EXPECT_EQ(WallBufferPath("/home/u/", "Runo.bmp"), "/home/u//Runo.bmp");
    EXPECT_EQ(WallBufferPath("/home/u", ""), "/home/u/");
    // A full path, as the settings dialog's file picker stores one, is that path.
    EXPECT_EQ(WallBufferPath("/home/u", "/abs/w.bmp"), "/abs/w.bmp");
    TApSystem s;
    s.StartDir = "/work";
    s.WallBuffer = kDefaultWallBuffer;
    EXPECT_EQ(WallBufferPath(s), "/work/Runo.bmp");
}

}  // namespace
}  // namespace vantoria::compose
