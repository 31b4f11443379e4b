// A picture decoded at a reduced size, composed with the picture's own size:
// every mode that allows it gives the wallpaper the size the whole picture
// gives, and nearly its pixels; the other modes never ask for it.

#include "compose/ReducedDecode.h"
#include "ComposeTestUtil.h"

#include <cstdlib>

namespace vantoria::compose::test {
namespace {

Bitmap Gradient(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = b.ScanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            p[0] = static_cast<std::uint8_t>(x * 255 / w);
            p[1] = static_cast<std::uint8_t>(y * 255 / h);
            p[2] = static_cast<std::uint8_t>((x + y) * 127 / (w + h));
        }
    }
    return b;
}

Bitmap Composed(const Bitmap& picture, ScreenSize screen, int mode, ScreenSize pictureSize = {}) {
    const TApSystem settings;
    const WallComposer composer(picture, settings, [screen] { return screen; }, pictureSize);
    Bitmap work;
    EXPECT_TRUE(composer.Compose(mode, work));
    return work;
}

TEST(ReducedDecodeTest, EveryModeKeepsTheWholePicturesSizeAndOnlyScaledModesAskForIt) {
    // 1000 x 701 fitted to a height of 120 is 171 wide; computed from its
    // half (500 x 351) it would be 170.
    const ScreenSize real{1000, 701};
    const Bitmap whole = Gradient(real.width, real.height);
    for (const ScreenSize screen : {ScreenSize{400, 120}, ScreenSize{300, 200}, ScreenSize{120, 340}}) {
        for (int mode = 0; mode <= 6; ++mode) {
            const auto need = ReducedDecodeSize(mode, screen);
            ASSERT_EQ(need.has_value(), mode >= 1 && mode <= 3) << mode;
            if (!need) continue;
            for (const int factor : {2, 4, 8}) {
                const ScreenSize decoded{(real.width + factor - 1) / factor, (real.height + factor - 1) / factor};
                if (!DecodedSizeServes(decoded, mode, screen)) continue;
                Bitmap reduced(decoded.width, decoded.height);
                reduced.StretchDraw(raster::MakeRect(0, 0, decoded.width, decoded.height), whole);
                const Bitmap expected = Composed(whole, screen, mode);
                const Bitmap got = Composed(reduced, screen, mode, real);
                ASSERT_EQ((ScreenSize{got.Width(), got.Height()}), (ScreenSize{expected.Width(), expected.Height()}))
                    << "mode " << mode << " on " << screen.width << "x" << screen.height << " from 1/" << factor;
                for (int y = 0; y < got.Height(); ++y) {
                    for (int i = 0; i < got.Width() * 3; ++i)
                        ASSERT_LE(std::abs(got.ScanLine(y)[i] - expected.ScanLine(y)[i]), 3) << mode;
                }
            }
        }
    }
    // A screen of no size asks for nothing; a decode smaller than asked
    // does not serve.
    EXPECT_FALSE(ReducedDecodeSize(1, ScreenSize{0, 0}));
    EXPECT_FALSE(DecodedSizeServes(ScreenSize{399, 120}, 1, ScreenSize{400, 120}));
    EXPECT_TRUE(DecodedSizeServes(ScreenSize{171, 120}, 2, ScreenSize{400, 120}));
}

}  // namespace
}  // namespace vantoria::compose::test
