#include "compose/CompositionMode.h"

#include "settings/ApSystem.h"

#include <gtest/gtest.h>

#include <climits>

namespace vantoria::compose {
namespace {

TEST(CompositionModeTest, CentredAndTiledPassTheSizeChoiceThrough) {
    for (int size = 0; size <= 3; ++size) {
        EXPECT_EQ(ChooseComposition(0, size, 2), (Composition{size, false}));
        EXPECT_EQ(ChooseComposition(1, size, 1), (Composition{size, true}));
    }
    // Unchecked: values the dialog cannot produce go through as they are.
    EXPECT_EQ(ChooseComposition(0, 5, 0), (Composition{5, false}));
    EXPECT_EQ(ChooseComposition(1, -1, 0), (Composition{-1, true}));
    EXPECT_EQ(ChooseComposition(0, INT_MAX, 0), (Composition{INT_MAX, false}));
}

TEST(CompositionModeTest, OtherPositionsTileLikePositionOne) {
    EXPECT_EQ(ChooseComposition(3, 2, 1), (Composition{2, true}));
    EXPECT_EQ(ChooseComposition(-1, 1, 2), (Composition{1, true}));
    EXPECT_EQ(ChooseComposition(INT_MIN, 0, 0), (Composition{0, true}));
}

TEST(CompositionModeTest, CentredTilingTakesTheArrangementAndIgnoresTheSize) {
    EXPECT_EQ(ChooseComposition(2, 1, 0), (Composition{4, true}));
    EXPECT_EQ(ChooseComposition(2, 3, 1), (Composition{5, true}));
    EXPECT_EQ(ChooseComposition(2, 0, 2), (Composition{6, true}));
    EXPECT_EQ(ChooseComposition(2, 0, 3), (Composition{4, true}));
    EXPECT_EQ(ChooseComposition(2, 0, -1), (Composition{4, true}));
}

TEST(CompositionModeTest, ReadsTheSettingsRecord) {
    TApSystem s;
    s.WallPosition = 2;
    s.WallSize = 1;
    s.WallArrange = 2;
    EXPECT_EQ(ChooseComposition(s), (Composition{6, true}));
}

}  // namespace
}  // namespace vantoria::compose
