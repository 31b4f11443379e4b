// The chooser's preview picture: shrinking averages every pixel of a cell,
// so fine detail turns to its mean colour instead of to one of its pixels.

#include "change/PreviewFit.h"

#include <gtest/gtest.h>
#include <utility>

using namespace vantoria;

namespace {

raster::Bitmap Checkerboard(int width, int height, int cell) {
    raster::Bitmap picture(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t v = ((x / cell + y / cell) % 2) ? 255 : 0;
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
        }
    }
    return picture;
}

TEST(PreviewFitTest, ShrinkingAveragesEachCellWhole) {
    // Halved; and by a photograph's factor, point-sampled to four times the
    // preview first (every other pixel: cells of two stay a checkerboard),
    // then averaged.
    for (const auto& [side, cell] : {std::pair{354, 1}, std::pair{177 * 8, 2}}) {
        const raster::Bitmap shown = PreviewPicture(Checkerboard(side, side, cell), 177, 177);
        ASSERT_EQ(shown.Width(), 177);
        for (const int y : {0, 88, 176}) {
            for (const int x : {0, 88, 176}) {
                const int v = shown.ScanLine(y)[3 * x];
                EXPECT_NEAR(v, 128, 24) << side << " at " << x << "," << y;
            }
        }
    }
}

}  // namespace
