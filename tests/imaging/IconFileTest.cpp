// Icons: the largest image drawn, its transparent parts black.

#include "imaging/IconFile.h"

#include <gtest/gtest.h>
#include <spng.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "imaging/ImagingTestSupport.h"
#include "imaging/InChild.h"
#include "imaging/Spi_load.h"
#include "platform/dib/DibError.h"

namespace vantoria::imaging {
namespace {

using imagingtest::Bgr;
using imagingtest::PatternColor;
using imagingtest::PixelAt;
using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, unsigned v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A BMP-style icon image of the test pattern: 24 or 32 bits, the AND-mask
// bit set where `masked(x, y)`, alpha (32 bits) from `alpha(x, y)`.
Bytes DibImage(int w, int h, int bits, const std::function<bool(int, int)>& masked,
               const std::function<int(int, int)>& alpha = {}) {
    Bytes b;
    for (std::uint32_t v : {40u, std::uint32_t(w), std::uint32_t(2 * h)}) Put32(b, v);
    Put16(b, 1);
    Put16(b, bits);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    const std::size_t rowBytes = (std::size_t(w) * bits + 31) / 32 * 4;
    for (int r = 0; r < h; ++r) {
        const int y = h - 1 - r;
        Bytes row(rowBytes, 0);
        for (int x = 0; x < w; ++x) {
            const Bgr c = PatternColor(x, y);
            std::copy(c.begin(), c.end(), row.begin() + x * (bits / 8));
            if (bits == 32) row[x * 4 + 3] = std::uint8_t(alpha ? alpha(x, y) : 0);
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    const std::size_t maskRow = (std::size_t(w) + 31) / 32 * 4;
    for (int r = 0; r < h; ++r) {
        Bytes row(maskRow, 0);
        for (int x = 0; x < w; ++x) {
            if (masked(x, h - 1 - r)) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

struct Image {
    int width;   // as the directory states it
    int height;
    Bytes data;
    std::uint32_t offsetOverride = 0;
};

Bytes Icon(const std::vector<Image>& images) {
    Bytes b;
    Put16(b, 0);
    Put16(b, 1);
    Put16(b, unsigned(images.size()));
    std::size_t offset = 6 + 16 * images.size();
    for (const Image& i : images) {
        b.push_back(std::uint8_t(i.width));
        b.push_back(std::uint8_t(i.height));
        Put16(b, 0);
        Put16(b, 1);
        Put16(b, 32);
        Put32(b, std::uint32_t(i.data.size()));
        Put32(b, i.offsetOverride ? i.offsetOverride : std::uint32_t(offset));
        offset += i.data.size();
    }
    for (const Image& i : images) b.insert(b.end(), i.data.begin(), i.data.end());
    return b;
}

const auto kNone = [](int, int) { return false; };

TEST(IconFile, LargestImageIsDrawnWithItsMaskOntoBlack) {
    const auto corner = [](int x, int y) { return x == 0 && y == 0; };
    const Bytes icon = Icon({{2, 2, DibImage(2, 2, 24, kNone)},
                             {5, 4, DibImage(5, 4, 24, corner)},
                             {3, 3, DibImage(3, 3, 24, kNone)}});
    const raster::Bitmap b = DecodeIcon(icon);
    ASSERT_EQ(b.Width(), 5);
    ASSERT_EQ(b.Height(), 4);
    EXPECT_EQ(PixelAt(b, 0, 0), (Bgr{0, 0, 0}));
    EXPECT_EQ(PixelAt(b, 4, 3), PatternColor(4, 3));
    EXPECT_EQ(PixelAt(b, 1, 0), PatternColor(1, 0));
}

TEST(IconFile, AlphaIsBlendedOntoBlack) {
    const auto half = [](int x, int) { return x == 0 ? 255 : x == 1 ? 128 : 0; };
    const raster::Bitmap b = DecodeIcon(Icon({{3, 2, DibImage(3, 2, 32, kNone, half)}}));
    EXPECT_EQ(PixelAt(b, 0, 1), PatternColor(0, 1));
    const Bgr full = PatternColor(1, 1);
    EXPECT_EQ(PixelAt(b, 1, 1), (Bgr{std::uint8_t((full[0] * 128 + 127) / 255),
                                     std::uint8_t((full[1] * 128 + 127) / 255),
                                     std::uint8_t((full[2] * 128 + 127) / 255)}));
    EXPECT_EQ(PixelAt(b, 2, 0), (Bgr{0, 0, 0}));

    // Without any alpha the AND mask decides.
    const auto diagonal = [](int x, int y) { return x == y; };
    const raster::Bitmap old = DecodeIcon(Icon({{3, 2, DibImage(3, 2, 32, diagonal)}}));
    EXPECT_EQ(PixelAt(old, 1, 1), (Bgr{0, 0, 0}));
    EXPECT_EQ(PixelAt(old, 2, 1), PatternColor(2, 1));
}

TEST(IconFile, DamagedImagesGiveWayToTheNextLargest) {
    Bytes broken = DibImage(8, 8, 24, kNone);
    broken[0] = 7;   // no such header size
    const Bytes icon = Icon({{8, 8, broken},
                             {6, 6, DibImage(6, 6, 24, kNone), 0xFFFFFF00u},   // outside the file
                             {2, 2, DibImage(2, 2, 24, kNone)}});
    EXPECT_EQ(DecodeIcon(icon).Width(), 2);
}

TEST(IconFile, UnreadableIconsAreRefused) {
    Bytes broken = DibImage(2, 2, 24, kNone);
    broken[0] = 7;
    EXPECT_THROW(DecodeIcon(Icon({{2, 2, broken}})), dib::DibError);
    Bytes truncated = Icon({{2, 2, DibImage(2, 2, 24, kNone)}});
    truncated.resize(12);
    EXPECT_THROW(DecodeIcon(truncated), dib::DibError);
    EXPECT_THROW(DecodeIcon(Bytes{0, 0, 1, 0, 0, 0}), dib::DibError);
    Bytes png = Icon({{4, 4, Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3}}});
    EXPECT_THROW(DecodeIcon(png), dib::DibError);
}

TEST(IconFile, FilesFromAnImageEditorAreRead) {
    const std::string data = std::string(std::getenv("VANTORIA_TEST_DATA")) + "/imaging/";
    // A 256 x 256 PNG image (half-transparent blue, a red corner) and a
    // 16 x 16 bitmap image.
    const raster::Bitmap png = LoadIconFile(data + "png-and-bmp.ico");
    ASSERT_EQ(png.Width(), 256);
    ASSERT_EQ(png.Height(), 256);
    EXPECT_EQ(PixelAt(png, 5, 5), (Bgr{0, 0, 255}));
    const Bgr blue = PixelAt(png, 100, 100);
    EXPECT_NEAR(blue[0], 102, 2);
    EXPECT_NEAR(blue[1], 51, 2);
    EXPECT_NEAR(blue[2], 26, 2);

    const raster::Bitmap bmp = LoadIconFile(data + "two-bmp.ico");
    ASSERT_EQ(bmp.Width(), 48);
    EXPECT_EQ(PixelAt(bmp, 47, 47), (Bgr{255, 0, 0}));
}

TEST(IconFile, LoaderReadsIconsNatively) {
    imagingtest::Sandbox box;
    const std::string src = std::string(std::getenv("VANTORIA_TEST_DATA")) + "/imaging/two-bmp.ico";
    const std::string path = (box.Root() / "x.Ico").string();
    std::filesystem::copy_file(src, path);
    TSpi_load loader;
    EXPECT_TRUE(loader.SetFile(path));
    EXPECT_TRUE(loader.LoadPicture());
    EXPECT_EQ(loader.Bitmap()->Width(), 48);
}

// A PNG of the test pattern, opaque, made by libspng.
Bytes Png(int w, int h, bool interlaced) {
    Bytes rgba;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Bgr c = PatternColor(x, y);
            rgba.insert(rgba.end(), {c[2], c[1], c[0], 255});
        }
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{std::uint32_t(w), std::uint32_t(h), 8, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 0, 0,
                   std::uint8_t(interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE)};
    spng_set_ihdr(ctx, &ihdr);
    EXPECT_EQ(spng_encode_image(ctx, rgba.data(), rgba.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE), 0);
    std::size_t size = 0;
    int error = 0;
    auto* data = static_cast<std::uint8_t*>(spng_get_png_buffer(ctx, &size, &error));
    Bytes png(data, data + (data ? size : 0));
    std::free(data);
    spng_ctx_free(ctx);
    return png;
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// An icon of `count` directory entries that all name the one `image`.
Bytes IconRepeating(const Bytes& image, unsigned count) {
    Bytes b;
    for (unsigned v : {0u, 1u, count}) Put16(b, v);
    for (unsigned i = 0; i < count; ++i) {
        for (unsigned v : {0u, 0u, 1u, 32u}) Put16(b, v);  // 256 x 256 as far as it can tell
        Put32(b, std::uint32_t(image.size()));
        Put32(b, 6 + 16 * count);
    }
    b.insert(b.end(), image.begin(), image.end());
    return b;
}

// Icon images are held to what a directory can state, 256 x 256, before
// anything is allocated, and one image that many entries name is tried once:
// 65535 entries naming a damaged PNG that claims 16384 x 16384 pixels used
// to build a 1 GB buffer per entry. PNG rows go straight into the bitmap,
// interlaced ones too.
TEST(IconFile, ImagesAreBoundedAndTriedOnce) {
    Bytes huge = Png(1, 1, false);
    for (int at : {16, 20}) {  // IHDR width and height, big-endian: 16384
        huge[at] = huge[at + 1] = huge[at + 3] = 0;
        huge[at + 2] = 0x40;
    }
    const std::uint32_t crc = Crc32(&huge[12], 17);  // chunk type and data
    for (int i = 0; i < 4; ++i) huge[29 + i] = std::uint8_t(crc >> (24 - 8 * i));
    const Bytes hostile = IconRepeating(huge, 65535);
    const std::string answer = imagingtest::InChild([&]() -> std::string {
        try {
            DecodeIcon(hostile);
            return "decoded";
        } catch (const dib::DibError& e) {
            return e.what();
        }
    }, 20);
    EXPECT_EQ(answer.rfind("no image of the icon can be read", 0), 0u) << answer;

    const Bytes big = Png(300, 300, false);
    const Bytes small = DibImage(16, 16, 24, kNone);
    const raster::Bitmap drawn = DecodeIcon(Icon({{0, 0, big}, {16, 16, small}}));
    EXPECT_EQ(drawn.Width(), 16);
    EXPECT_THROW(DecodeIcon(Icon({{0, 0, big}})), dib::DibError);

    const raster::Bitmap interlaced = DecodeIcon(Icon({{9, 7, Png(9, 7, true)}}));
    ASSERT_EQ(interlaced.Width(), 9);
    ASSERT_EQ(interlaced.Height(), 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) EXPECT_EQ(PixelAt(interlaced, x, y), PatternColor(x, y)) << x << "," << y;
}

}  // namespace
}  // namespace vantoria::imaging
