// Icons: the largest image drawn, its transparent parts black.

#include "imaging/IconFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "imaging/ImagingTestSupport.h"
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

}  // namespace
}  // namespace vantoria::imaging
