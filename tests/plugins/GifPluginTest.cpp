// gif.spi against ImageMagick's decode of the first frame flattened onto
// black: global and local colour tables, interlacing, transparency, a frame
// smaller than the logical screen, animations.

#include <gtest/gtest.h>

#include "PluginHarness.h"

namespace vantoria::spi::test {
namespace {

struct Variant {
    const char* name;
    const char* args;
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

#define PICTURE "-size 23x11 gradient:red-blue -colors 64 "
#define HOLE "-size 23x11 gradient:red-blue -colors 16 -fill lime -draw 'rectangle 3,2 10,7' -transparent lime "

const Variant kVariants[] = {
    {"plain", PICTURE "GIF:"},
    {"interlaced", PICTURE "-interlace GIF GIF:"},
    {"transparent", HOLE "GIF:"},
    {"transparentInterlaced", HOLE "-interlace GIF GIF:"},
    {"smallFrame", "-size 10x6 gradient:red-blue -colors 8 -page 23x11+5+3 GIF:"},
    {"animation", "-size 23x11 xc:red xc:blue -loop 0 GIF:"},
};

class GifVariant : public testing::TestWithParam<Variant> {};

TEST_P(GifVariant, MatchesReferenceDecode) {
    const Variant& v = GetParam();
    TempDir dir;
    const auto file = dir / (std::string(v.name) + ".gif");
    ASSERT_TRUE(Convert(std::string(v.args) + "'" + file.string() + "'"));
    Plugin plugin("gif.spi");
    ASSERT_NE(plugin.isSupported, nullptr);
    EXPECT_NE(plugin.Supports(file), 0);

    const Picture picture = Decode(plugin, file);
    ASSERT_EQ(picture.infoCode, SUSIE_OK);
    ASSERT_EQ(picture.code, SUSIE_OK);
    EXPECT_EQ(picture.width, 23);
    EXPECT_EQ(picture.height, 11);
    EXPECT_EQ(MaxDifference(picture.rgb, Reference(file)), 0);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, GifVariant, testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

// Moves the global colour table of a one-frame GIF made by ImageMagick (no
// extensions before the frame but a graphic control block) into a local table
// of the frame, leaving a decoy global table of inverted colours behind.
std::vector<std::uint8_t> WithLocalTable(std::vector<std::uint8_t> gif) {
    const std::uint8_t packed = gif.at(10);
    if ((packed & 0x80) == 0) return {};
    const std::size_t tableBytes = 3u << ((packed & 7) + 1);
    const std::vector<std::uint8_t> table(gif.begin() + 13, gif.begin() + 13 + tableBytes);
    for (std::size_t i = 13; i < 13 + tableBytes; ++i) gif[i] = static_cast<std::uint8_t>(255 - gif[i]);
    std::size_t pos = 13 + tableBytes;
    while (gif.at(pos) == 0x21) {  // skip extensions
        pos += 2;
        while (gif.at(pos) != 0) pos += gif[pos] + 1u;
        ++pos;
    }
    if (gif.at(pos) != 0x2C) return {};
    gif.at(pos + 9) = static_cast<std::uint8_t>((gif[pos + 9] & 0x40) | 0x80 | (packed & 7));
    gif.insert(gif.begin() + static_cast<std::ptrdiff_t>(pos + 10), table.begin(), table.end());
    return gif;
}

TEST(GifPlugin, LocalColourTableWinsOverGlobal) {
    TempDir dir;
    const auto global = dir / "global.gif";
    ASSERT_TRUE(Convert(PICTURE "-interlace GIF GIF:'" + global.string() + "'"));
    const auto local = dir / "local.gif";
    const auto bytes = WithLocalTable(ReadFile(global));
    ASSERT_FALSE(bytes.empty());
    WriteFile(local, bytes);

    Plugin plugin("gif.spi");
    const Picture picture = Decode(plugin, local);
    ASSERT_EQ(picture.code, SUSIE_OK);
    EXPECT_EQ(MaxDifference(picture.rgb, Reference(global)), 0);
    EXPECT_EQ(MaxDifference(picture.rgb, Reference(local)), 0);
}

}  // namespace
}  // namespace vantoria::spi::test
