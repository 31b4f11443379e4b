// png.spi against ImageMagick's decode of the same files, one file for each
// colour type, bit depth and interlace method, transparency over black.

#include <gtest/gtest.h>

#include "PluginHarness.h"

namespace vantoria::spi::test {
namespace {

struct Variant {
    const char* name;
    const char* args;  // convert arguments ending in the output format prefix
    int tolerance;     // 16-bit sources may round differently by one
};

#define GREY "-size 17x9 gradient:black-white -colorspace Gray "
#define COLOUR "-size 17x9 gradient:red-blue "
#define ALPHA "\\( -size 17x9 gradient:white-black \\) -alpha off -compose copy_opacity -composite "
#define GREY_PNG(n) GREY "-define png:color-type=0 -define png:bit-depth=" #n " PNG:"
#define PALETTE(n) COLOUR "-colors " #n " -define png:bit-depth="

const Variant kVariants[] = {
    {"grey1", GREY_PNG(1), 0},
    {"grey2", GREY_PNG(2), 0},
    {"grey4", GREY_PNG(4), 0},
    {"grey8", GREY_PNG(8), 0},
    {"grey16", GREY_PNG(16), 1},
    {"rgb8", COLOUR "PNG24:", 0},
    {"rgb16", COLOUR "PNG48:", 1},
    {"palette1", PALETTE(2) "1 PNG8:", 0},
    {"palette2", PALETTE(4) "2 PNG8:", 0},
    {"palette4", PALETTE(16) "4 PNG8:", 0},
    {"palette8", PALETTE(200) "8 PNG8:", 0},
    {"greyAlpha8", GREY ALPHA "-depth 8 -define png:color-type=4 PNG:", 1},
    {"greyAlpha16", GREY ALPHA "-depth 16 -define png:color-type=4 PNG:", 1},
    {"rgba8", COLOUR ALPHA "PNG32:", 1},
    {"rgba16", COLOUR ALPHA "PNG64:", 1},
    {"interlacedRgb8", COLOUR "-interlace PNG PNG24:", 0},
    {"interlacedRgba8", COLOUR ALPHA "-interlace PNG PNG32:", 1},
    {"interlacedRgba16", COLOUR ALPHA "-interlace PNG PNG64:", 1},
    {"interlacedPalette2", PALETTE(4) "2 -interlace PNG PNG8:", 0},
    {"interlacedGrey1", GREY "-define png:color-type=0 -define png:bit-depth=1 -interlace PNG PNG:", 0},
    {"paletteTrns", COLOUR "-colors 16 -transparent red PNG8:", 0},
    {"greyTrns8", GREY "-transparent black -define png:color-type=0 -define png:bit-depth=8 PNG:", 0},
    {"greyTrns2", GREY "-transparent black -define png:color-type=0 -define png:bit-depth=2 PNG:", 0},
    {"rgbTrns8", COLOUR "-depth 8 -transparent red -define png:color-type=2 PNG:", 0},
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

class PngVariant : public testing::TestWithParam<Variant> {};

TEST_P(PngVariant, MatchesReferenceDecode) {
    const Variant& v = GetParam();
    TempDir dir;
    const auto file = dir / (std::string(v.name) + ".png");
    ASSERT_TRUE(Convert(std::string(v.args) + "'" + file.string() + "'"));
    Plugin plugin("png.spi");
    ASSERT_NE(plugin.isSupported, nullptr);
    EXPECT_NE(plugin.Supports(file), 0);

    const Picture picture = Decode(plugin, file);
    ASSERT_EQ(picture.infoCode, SUSIE_OK);
    ASSERT_EQ(picture.code, SUSIE_OK);
    EXPECT_EQ(picture.width, 17);
    EXPECT_EQ(picture.height, 9);
    EXPECT_LE(MaxDifference(picture.rgb, Reference(file)), v.tolerance);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, PngVariant, testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantoria::spi::test
