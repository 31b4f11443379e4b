// Every shipped plug-in against ImageMagick's decode of the same file (first
// frame, flattened onto black): each PNG colour type, bit depth and interlace,
// JPEG baseline/progressive/grey/CMYK, GIF tables, interlace, transparency and
// frames smaller than the screen, and bitmap files in their common variants.
// Odd widths give padded rows.

#include <gtest/gtest.h>

#include "PluginHarness.h"

namespace vantoria::spi::test {
namespace {

struct Variant {
    const char* plugin;
    const char* name;
    const char* args;  // convert arguments up to the output file
    int tolerance;     // 16-bit, JPEG and 5-6-5 sources may round differently by one
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

#define GREY "-size 17x9 gradient:black-white -colorspace Gray "
#define COLOUR "-size 17x9 gradient:red-blue "
#define ALPHA "\\( -size 17x9 gradient:white-black \\) -alpha off -compose copy_opacity -composite "
#define GREY_PNG(n) GREY "-define png:color-type=0 -define png:bit-depth=" #n " "
#define PALETTE(n, depth) COLOUR "-colors " #n " -define png:bit-depth=" #depth " "
#define PHOTO "-size 17x9 -seed 7 plasma:red-blue "
#define HOLE COLOUR "-colors 16 -fill lime -draw 'rectangle 3,2 10,7' -transparent lime "

const Variant kVariants[] = {
    {"png.spi", "grey1", GREY_PNG(1) "PNG:", 0},
    {"png.spi", "grey2", GREY_PNG(2) "PNG:", 0},
    {"png.spi", "grey4", GREY_PNG(4) "PNG:", 0},
    {"png.spi", "grey8", GREY_PNG(8) "PNG:", 0},
    {"png.spi", "grey16", GREY_PNG(16) "PNG:", 1},
    {"png.spi", "rgb8", COLOUR "PNG24:", 0},
    {"png.spi", "rgb16", COLOUR "PNG48:", 1},
    {"png.spi", "palette1", PALETTE(2, 1) "PNG8:", 0},
    {"png.spi", "palette2", PALETTE(4, 2) "PNG8:", 0},
    {"png.spi", "palette4", PALETTE(16, 4) "PNG8:", 0},
    {"png.spi", "palette8", PALETTE(200, 8) "PNG8:", 0},
    {"png.spi", "greyAlpha8", GREY ALPHA "-depth 8 -define png:color-type=4 PNG:", 1},
    {"png.spi", "greyAlpha16", GREY ALPHA "-depth 16 -define png:color-type=4 PNG:", 1},
    {"png.spi", "rgba8", COLOUR ALPHA "PNG32:", 1},
    {"png.spi", "rgba16", COLOUR ALPHA "PNG64:", 1},
    {"png.spi", "interlacedRgb8", COLOUR "-interlace PNG PNG24:", 0},
    {"png.spi", "interlacedRgba8", COLOUR ALPHA "-interlace PNG PNG32:", 1},
    {"png.spi", "interlacedRgba16", COLOUR ALPHA "-interlace PNG PNG64:", 1},
    {"png.spi", "interlacedPalette2", PALETTE(4, 2) "-interlace PNG PNG8:", 0},
    {"png.spi", "interlacedGrey1", GREY_PNG(1) "-interlace PNG PNG:", 0},
    {"png.spi", "paletteTrns", COLOUR "-colors 16 -transparent red PNG8:", 0},
    {"png.spi", "greyTrns8", GREY "-transparent black " "-define png:color-type=0 -define png:bit-depth=8 PNG:", 0},
    {"png.spi", "greyTrns2", GREY "-transparent black " "-define png:color-type=0 -define png:bit-depth=2 PNG:", 0},
    {"png.spi", "rgbTrns8", COLOUR "-depth 8 -transparent red -define png:color-type=2 PNG:", 0},

    {"jpeg.spi", "baseline420", PHOTO "-sampling-factor 2x2 JPEG:", 1},
    {"jpeg.spi", "baseline444", PHOTO "-sampling-factor 1x1 JPEG:", 1},
    {"jpeg.spi", "progressive", PHOTO "-interlace JPEG JPEG:", 1},
    {"jpeg.spi", "greyscale", PHOTO "-type Grayscale JPEG:", 1},
    {"jpeg.spi", "cmyk", PHOTO "-colorspace CMYK JPEG:", 1},  // Adobe-style inverted

    {"gif.spi", "gif", COLOUR "-colors 64 GIF:", 0},
    {"gif.spi", "gifInterlaced", COLOUR "-colors 64 -interlace GIF GIF:", 0},
    {"gif.spi", "gifTransparent", HOLE "GIF:", 0},
    {"gif.spi", "gifTransparentInterlaced", HOLE "-interlace GIF GIF:", 0},
    {"gif.spi", "gifSmallFrame", "-size 10x6 gradient:red-blue -colors 8 -page 17x9+5+3 GIF:", 0},
    {"gif.spi", "gifAnimation", "-size 17x9 xc:red xc:blue -loop 0 GIF:", 0},

    {"dib.spi", "info24", PHOTO "BMP3:", 0},
    {"dib.spi", "info8", PHOTO "-colors 200 -type Palette -compress None BMP3:", 0},
    {"dib.spi", "info4", PHOTO "-colors 16 -type Palette -compress None BMP3:", 0},
    {"dib.spi", "info1", PHOTO "-monochrome BMP3:", 0},
    {"dib.spi", "rle8", PHOTO "-colors 200 -type Palette -compress RLE BMP3:", 0},
    {"dib.spi", "v5", PHOTO "BMP:", 0},
    {"dib.spi", "v5rgb565", PHOTO "-define bmp:subtype=RGB565 BMP:", 1},
    {"dib.spi", "core", PHOTO "BMP2:", 0},
};

class PictureVariant : public testing::TestWithParam<Variant> {};

TEST_P(PictureVariant, MatchesReferenceDecode) {
    const Variant& v = GetParam();
    TempDir dir;
    const auto file = dir / v.name;
    ASSERT_TRUE(Convert(std::string(v.args) + "'" + file.string() + "'"));
    Plugin plugin(v.plugin);
    ASSERT_NE(plugin.isSupported, nullptr);
    EXPECT_NE(plugin.Supports(file), 0);

    const Picture picture = Decode(plugin, file);
    ASSERT_EQ(picture.infoCode, SUSIE_OK);
    ASSERT_EQ(picture.code, SUSIE_OK);
    EXPECT_EQ(picture.width, 17);
    EXPECT_EQ(picture.height, 9);
    EXPECT_LE(MaxDifference(picture.rgb, Reference(file)), v.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Shipped, PictureVariant, testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

// Moves the global colour table of a one-frame GIF into a local table of the
// frame, leaving a decoy global table of inverted colours behind.
std::vector<std::uint8_t> WithLocalTable(std::vector<std::uint8_t> gif) {
    const std::uint8_t packed = gif.at(10);
    const std::size_t tableBytes = 3u << ((packed & 7) + 1);
    const std::vector<std::uint8_t> table(gif.begin() + 13, gif.begin() + 13 + tableBytes);
    for (std::size_t i = 13; i < 13 + tableBytes; ++i) gif[i] = static_cast<std::uint8_t>(255 - gif[i]);
    std::size_t pos = 13 + tableBytes;
    while (gif.at(pos) == 0x21) {  // skip extensions: introducer, label, sub-blocks
        for (pos += 2; gif.at(pos) != 0; pos += gif[pos] + 1u) {
        }
        ++pos;
    }
    if ((packed & 0x80) == 0 || gif.at(pos) != 0x2C) return {};
    gif.at(pos + 9) = static_cast<std::uint8_t>((gif[pos + 9] & 0x40) | 0x80 | (packed & 7));
    gif.insert(gif.begin() + static_cast<std::ptrdiff_t>(pos + 10), table.begin(), table.end());
    return gif;
}

TEST(GifPlugin, LocalColourTableWinsOverGlobal) {
    TempDir dir;
    const auto global = dir / "global.gif";
    ASSERT_TRUE(Convert(COLOUR "-colors 64 -interlace GIF GIF:'" + global.string() + "'"));
    const auto bytes = WithLocalTable(ReadFile(global));
    ASSERT_FALSE(bytes.empty());
    Plugin plugin("gif.spi");
    const Picture picture = DecodeMemory(plugin, bytes);
    ASSERT_EQ(picture.code, SUSIE_OK);
    EXPECT_EQ(MaxDifference(picture.rgb, Reference(global)), 0);
}

}  // namespace
}  // namespace vantoria::spi::test
