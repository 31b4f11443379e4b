// Decoding packed DIBs: every header kind and depth, bit fields, RLE, short
// colour tables and truncated pixel data.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/dib/Dib.h"
#include "platform/dib/DibTestWriter.h"

using namespace dibtest;
using vantoria::dib::DecodeDib;
using vantoria::raster::Bitmap;

namespace {

std::uint32_t Colour(int i) { return (0x102030u + 0x030507u * static_cast<std::uint32_t>(i)) & 0xFFFFFF; }

std::vector<std::uint32_t> Palette(int n) {
    std::vector<std::uint32_t> p;
    for (int i = 0; i < n; ++i) p.push_back(Colour(i));
    return p;
}

Bitmap Decode(const Dib& d) { return DecodeDib(Info(d), d.pixels); }

// Rows of colour indexes from the bottom up; -1 is black.
void ExpectRows(const Bitmap& b, const std::vector<std::vector<int>>& rows) {
    const int h = static_cast<int>(rows.size());
    for (int r = 0; r < h; ++r) {
        for (int x = 0; x < static_cast<int>(rows[r].size()); ++x) {
            const int i = rows[r][x];
            EXPECT_EQ(Pixel(b, x, h - 1 - r), i < 0 ? 0u : Colour(i)) << "x " << x << " row " << r;
        }
    }
}

const std::vector<int> kBlack6(6, -1);

}  // namespace

TEST(DibDecode, IndexedDepthsOddWidthsAndBothRowOrders) {
    for (int bits : {1, 2, 4, 8}) {
        for (int width : {1, 3, 5, 8, 9, 17, 33}) {
            for (bool topDown : {false, true}) {
                auto index = [&](int x, int r) { return std::uint32_t((x * 3 + r * 5) % (1 << bits)); };
                const Bitmap b = Decode({.width = width, .height = topDown ? -3 : 3, .bits = std::uint16_t(bits),
                                         .palette = Palette(1 << bits), .pixels = Rows(width, 3, bits, index)});
                ASSERT_EQ(b.Width(), width);
                ASSERT_EQ(b.Height(), 3);
                for (int r = 0; r < 3; ++r) {
                    for (int x = 0; x < width; ++x) {
                        ASSERT_EQ(Pixel(b, x, topDown ? r : 2 - r), Colour(index(x, r))) << bits << " bits, x " << x;
                    }
                }
            }
        }
    }
}

TEST(DibDecode, EveryHeaderKindGivesTheSamePicture) {
    for (std::uint32_t header : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u}) {
        const Bitmap b = Decode({.headerSize = header, .width = 4, .height = 2, .bits = 8, .palette = Palette(256),
                                 .pixels = Rows(4, 2, 8, [](int x, int r) { return x + 4u * r; })});
        ExpectRows(b, {{0, 1, 2, 3}, {4, 5, 6, 7}});
    }
}

TEST(DibDecode, TrueColourAndBitFieldMasksOfAnyWidth) {
    struct Case {
        std::uint16_t bits;
        std::vector<std::uint32_t> masks;   // none: BI_RGB
        std::uint32_t pixel;
        std::uint32_t rgb;
    };
    const Case cases[] = {
        {24, {}, 0x123456, 0x123456},
        {32, {}, 0xAB123456, 0x123456},
        {16, {}, 0x7FFF, 0xFFFFFF},                              // 5-5-5, stretched to 255
        {16, {}, 0x8000 | (16u << 10) | (1u << 5) | 30u, 0x8408F7},   // top bit unused
        {16, {0xF800, 0x07E0, 0x001F}, (16u << 11) | (32u << 5) | 8u, 0x848242},
        {16, {0x0F00, 0x00F0, 0x000F}, 0xFF80, 0xFF8800},
        {16, {0x8000, 0x7FE0, 0x001F}, 0x8000 | (0x200u << 5) | 31u, 0xFF80FF},
        {32, {0x3FF00000, 0x000FFC00, 0x000003FF}, (1023u << 20) | (512u << 10) | 3u, 0xFF8000},
        {32, {0xFF000000, 0x00FF0000, 0x0000FF00}, 0x12345678, 0x123456},
        {32, {0x00000007, 0x00000038, 0x00000000}, 3u | (7u << 3), 0x6DFF00},
        {32, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, 0x7F123456, 0x123456},
    };
    for (const Case& c : cases) {
        for (std::uint32_t header : {40u, 52u, 56u, 108u, 124u}) {
            for (std::uint32_t compression : {3u, 6u}) {
                Dib d{.headerSize = header, .width = 2, .height = 1, .bits = c.bits,
                      .compression = c.masks.empty() ? 0 : compression, .masks = c.masks,
                      .pixels = Rows(2, 1, c.bits, [&](int, int) { return c.pixel; })};
                if (compression == 6 || header == 56) d.masks.resize(4);
                EXPECT_EQ(Pixel(Decode(d), 1, 0), c.rgb)
                    << std::hex << c.pixel << std::dec << " header " << header << " compression " << compression;
            }
        }
    }
}

TEST(DibDecode, Large16BitPicturesDecodeAsSmallOnes) {
    // Large pictures go through a table of all 65536 pixel values.
    const std::vector<std::uint32_t> masks = {0xF800, 0x07E0, 0x001F};
    const Dib big{.width = 512, .height = -512, .bits = 16, .compression = 3, .masks = masks,
                  .pixels = Rows(512, 512, 16, [](int x, int r) { return r * 128u + x; })};
    const Bitmap b = Decode(big);
    for (int r = 0; r < 512; r += 7) {
        const Bitmap row = Decode({.width = 512, .height = 1, .bits = 16, .compression = 3, .masks = masks,
                                   .pixels = Bytes(big.pixels.begin() + r * 1024, big.pixels.begin() + r * 1024 + 1024)});
        ASSERT_EQ(std::memcmp(b.ScanLine(r), row.ScanLine(0), 512 * 3), 0) << "row " << r;
    }
}

TEST(DibDecode, Rle8EscapesCutsAndUnwrittenPixels) {
    // Runs, an odd absolute run with its pad byte, end of line, delta, a run
    // past the row end, an even absolute run, end of bitmap.
    Dib d{.width = 6, .height = 4, .bits = 8, .compression = 1, .palette = Palette(4),
          .pixels = {3, 1, 0, 3, 2, 3, 2, 0, 0, 0, 2, 2, 0, 2, 1, 1, 5, 3, 0, 0, 0, 4, 1, 2, 3, 1, 0, 1}};
    const std::vector<int> row0 = {1, 1, 1, 2, 3, 2};
    ExpectRows(Decode(d), {row0, {2, 2, -1, -1, -1, -1}, {-1, -1, -1, 3, 3, 3}, {1, 2, 3, 1, -1, -1}});
    d.pixels.resize(10);   // a stream cut short shows what it has
    ExpectRows(Decode(d), {row0, kBlack6, kBlack6, kBlack6});
    d.pixels = {2, 1, 0, 2, 0, 200, 6, 2, 0, 0, 6, 2};   // a delta off the top ends the picture
    ExpectRows(Decode(d), {{1, 1, -1, -1, -1, -1}, kBlack6, kBlack6, kBlack6});
    d.pixels = {0, 3, 1, 1, 1, 0, 0, 255, 2, 2, 2, 2, 2, 2};   // absolute run past row and data end
    ExpectRows(Decode(d), {{1, 1, 1, 2, 2, 2}, kBlack6, kBlack6, kBlack6});
}

TEST(DibDecode, Rle4EscapesAndPadding) {
    const Dib d{.width = 5, .height = 3, .bits = 4, .compression = 2, .palette = Palette(8),
                .pixels = {5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0, 0, 2, 2, 0, 9, 0x66, 0, 1}};
    ExpectRows(Decode(d), {{1, 2, 1, 2, 1}, {3, 4, 5, 6, 7}, {-1, -1, 6, 6, 6}});
}

TEST(DibDecode, ColourIndexesPastTheTableAreBlack) {
    Dib d{.width = 4, .height = 1, .bits = 8, .colorsUsed = 2, .palette = Palette(2), .pixels = {0, 1, 2, 255}};
    ExpectRows(Decode(d), {{0, 1, -1, -1}});
    d.colorsUsed = 0xFFFFFFFF;   // capped to what 8 bits can index
    d.palette = Palette(256);
    ExpectRows(Decode(d), {{0, 1, 2, 255}});
    Bytes info = Info(d);   // a block shorter than its table: whole entries count
    info.resize(40 + 3 * 4 + 2);
    ExpectRows(DecodeDib(info, d.pixels), {{0, 1, 2, -1}});

    // Entries past the declared count are no colours, even when present.
    d = {.width = 4, .height = 1, .bits = 8, .colorsUsed = 2, .palette = Palette(4), .pixels = {0, 1, 2, 3}};
    ExpectRows(Decode(d), {{0, 1, -1, -1}});
    const Bytes file = File(d);
    ExpectRows(vantoria::dib::DecodeBmp(file), {{0, 1, -1, -1}});
}

TEST(DibDecode, TruncatedRowsAreDecodedAndTheRestIsBlack) {
    Dib d{.width = 3, .height = 4, .bits = 8, .palette = Palette(4), .pixels = Rows(3, 4, 8, [](int x, int) { return x; })};
    d.pixels.resize(2 * 4 + 3);   // two whole rows and a piece
    ExpectRows(Decode(d), {{0, 1, 2}, {0, 1, 2}, {-1, -1, -1}, {-1, -1, -1}});
}
