// jpeg.spi against ImageMagick's decode: baseline, progressive, greyscale and
// CMYK files, within a small tolerance (the two decoders' IDCT and
// upsampling may round differently).

#include <gtest/gtest.h>

#include "PluginHarness.h"

namespace vantoria::spi::test {
namespace {

struct Variant {
    const char* name;
    const char* args;
    int tolerance;
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

// 61 pixels make 183-byte rows: one byte of padding.
#define PICTURE "-size 61x37 -seed 7 plasma:red-blue -quality 85 "

const Variant kVariants[] = {
    {"baseline420", PICTURE "-sampling-factor 2x2 JPEG:", 1},
    {"baseline444", PICTURE "-sampling-factor 1x1 JPEG:", 1},
    {"progressive", PICTURE "-interlace JPEG JPEG:", 1},
    {"greyscale", PICTURE "-type Grayscale JPEG:", 1},
    {"cmyk", PICTURE "-colorspace CMYK JPEG:", 1},
};

class JpegVariant : public testing::TestWithParam<Variant> {};

TEST_P(JpegVariant, MatchesReferenceDecode) {
    const Variant& v = GetParam();
    TempDir dir;
    const auto file = dir / (std::string(v.name) + ".jpg");
    ASSERT_TRUE(Convert(std::string(v.args) + "'" + file.string() + "'"));
    Plugin plugin("jpeg.spi");
    ASSERT_NE(plugin.isSupported, nullptr);
    EXPECT_NE(plugin.Supports(file), 0);

    const Picture picture = Decode(plugin, file);
    ASSERT_EQ(picture.infoCode, SUSIE_OK);
    ASSERT_EQ(picture.code, SUSIE_OK);
    EXPECT_EQ(picture.width, 61);
    EXPECT_EQ(picture.height, 37);
    EXPECT_LE(MaxDifference(picture.rgb, Reference(file)), v.tolerance);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, JpegVariant, testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantoria::spi::test
