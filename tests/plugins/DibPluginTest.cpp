// dib.spi against ImageMagick's decode: bitmap files under the ".dib" name,
// in the header versions, depths and compressions that writers produce.

#include <gtest/gtest.h>

#include <cstring>

#include "PluginHarness.h"

namespace vantoria::spi::test {
namespace {

struct Variant {
    const char* name;
    const char* args;
    int tolerance = 0;  // 5- and 6-bit channels may be widened with other rounding
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

// 21 pixels: 63-byte rows, one byte of padding at 24 bits.
#define PICTURE "-size 21x13 -seed 5 plasma: "

const Variant kVariants[] = {
    {"info24", PICTURE "BMP3:"},
    {"info8", PICTURE "-colors 200 -type Palette -compress None BMP3:"},
    {"info4", PICTURE "-colors 16 -type Palette -compress None BMP3:"},
    {"info1", PICTURE "-monochrome BMP3:"},
    {"rle8", PICTURE "-colors 200 -type Palette -compress RLE BMP3:"},
    {"v5", PICTURE "BMP:"},
    {"v5rgb565", PICTURE "-define bmp:subtype=RGB565 BMP:", 1},
    {"core", PICTURE "BMP2:"},
};

class DibVariant : public testing::TestWithParam<Variant> {};

TEST_P(DibVariant, MatchesReferenceDecode) {
    const Variant& v = GetParam();
    TempDir dir;
    const auto file = dir / (std::string(v.name) + ".dib");
    ASSERT_TRUE(Convert(std::string(v.args) + "'" + file.string() + "'"));
    Plugin plugin("dib.spi");
    ASSERT_NE(plugin.isSupported, nullptr);
    EXPECT_NE(plugin.Supports(file), 0);

    const Picture picture = Decode(plugin, file);
    ASSERT_EQ(picture.infoCode, SUSIE_OK);
    ASSERT_EQ(picture.code, SUSIE_OK);
    EXPECT_EQ(picture.width, 21);
    EXPECT_EQ(picture.height, 13);
    EXPECT_LE(MaxDifference(picture.rgb, Reference(file)), v.tolerance);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, DibVariant, testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DibPlugin, TopDownRowsComeOutUpright) {
    TempDir dir;
    const auto bottomUp = dir / "bottomup.dib";
    ASSERT_TRUE(Convert(PICTURE "BMP3:'" + bottomUp.string() + "'"));
    std::vector<std::uint8_t> bytes = ReadFile(bottomUp);
    // Same pixels stored top row first: negative height, rows reversed.
    const std::uint32_t offBits = bytes[10] | bytes[11] << 8;
    const std::size_t stride = 64, height = 13;
    ASSERT_EQ(bytes.size(), offBits + stride * height);
    std::vector<std::uint8_t> flipped(bytes.begin(), bytes.begin() + offBits);
    for (std::size_t y = height; y-- > 0;)
        flipped.insert(flipped.end(), bytes.begin() + offBits + y * stride, bytes.begin() + offBits + (y + 1) * stride);
    const std::int32_t negative = -13;
    std::memcpy(&flipped[22], &negative, 4);
    const auto topDown = dir / "topdown.dib";
    WriteFile(topDown, flipped);

    Plugin plugin("dib.spi");
    const Picture picture = Decode(plugin, topDown);
    ASSERT_EQ(picture.code, SUSIE_OK);
    EXPECT_EQ(picture.rgb, Decode(plugin, bottomUp).rgb);
    EXPECT_EQ(MaxDifference(picture.rgb, Reference(bottomUp)), 0);
}

TEST(DibPlugin, RefusesWhatIsNotABitmapFile) {
    TempDir dir;
    Plugin plugin("dib.spi");
    const auto text = dir / "text.dib";
    WriteFile(text, {'B', 'M', 'W', ' ', 'i', 's', ' ', 'a', ' ', 'c', 'a', 'r', ',', ' ', 'n', 'o', 't', ' ', 'a', ' ', 'b'});
    EXPECT_EQ(plugin.Supports(text), 0);
    EXPECT_EQ(Decode(plugin, text).code, SUSIE_ERR_UNKNOWN_FORMAT);

    const auto cut = dir / "cut.dib";
    ASSERT_TRUE(Convert(PICTURE "BMP3:'" + cut.string() + "'"));
    std::vector<std::uint8_t> bytes = ReadFile(cut);
    bytes.resize(40);  // inside the info header
    WriteFile(cut, bytes);
    EXPECT_NE(plugin.Supports(cut), 0);
    const Picture picture = Decode(plugin, cut);
    EXPECT_EQ(picture.infoCode, SUSIE_ERR_BROKEN_DATA);
    EXPECT_EQ(picture.code, SUSIE_ERR_BROKEN_DATA);
}

}  // namespace
}  // namespace vantoria::spi::test
