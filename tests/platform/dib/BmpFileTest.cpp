// Bitmap files in memory and on disk, samples written by another program,
// taking over a plug-in's pixel block, and the header query.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/dib/Dib.h"
#include "platform/dib/DibTestWriter.h"

using namespace dibtest;
using namespace vantoria::dib;
using vantoria::raster::Bitmap;

namespace {

std::filesystem::path DataDir() { return std::filesystem::path(std::getenv("VANTORIA_TEST_DATA")) / "dib"; }

Dib Indexed(int width, int height) {
    return {.width = width, .height = height, .bits = 8, .colorsUsed = 4,
            .palette = {0x000080, 0x008000, 0x800000, 0xFFFFFF},
            .pixels = Rows(width, std::abs(height), 8, [](int x, int r) { return (x + r) % 4u; })};
}

void ExpectSame(const Bitmap& a, const Bitmap& b) {
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) ASSERT_EQ(Pixel(a, x, y), Pixel(b, x, y)) << x << "," << y;
    }
}

struct TempFile {
    std::filesystem::path path = std::filesystem::temp_directory_path() / ("dibtest-" + std::to_string(::getpid()));
    explicit TempFile(const Bytes& data) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    }
    ~TempFile() { std::filesystem::remove(path); }
};

}  // namespace

TEST(BmpFile, OffsetsAndSizeFields) {
    const Dib d = Indexed(5, 3);
    const Bitmap expected = DecodeDib(Info(d), d.pixels);
    Bytes file = File(d);
    file[2] = file[3] = file[4] = file[5] = 0xFF;   // bfSize is not used
    ExpectSame(DecodeBmp(file), expected);
    ExpectSame(DecodeBmp(File(d, 0)), expected);    // into the headers: the pixels follow the table
    ExpectSame(DecodeBmp(File(d, 20)), expected);
    Dib gap = d;
    gap.pixels.insert(gap.pixels.begin(), 7, 0xEE);
    ExpectSame(DecodeBmp(File(gap, static_cast<std::uint32_t>(14 + Info(d).size() + 7))), expected);
    // An offset inside the declared table: the table is shorter.
    Dib shortTable = d;
    shortTable.colorsUsed = 0;
    shortTable.palette.resize(2);
    const Bitmap b = DecodeBmp(File(shortTable));
    EXPECT_EQ(Pixel(b, 1, 2), 0x008000u);
    EXPECT_EQ(Pixel(b, 2, 2), 0u);
}

TEST(BmpFile, SamplesWrittenByImageMagickMatchTheirReference) {
    const std::tuple<const char*, const char*, int> samples[] = {   // file, reference, tolerance
        {"info-8bit.bmp", "colors40.ppm", 0}, {"info-rle8.bmp", "colors40.ppm", 0},
        {"core-8bit.bmp", "colors40.ppm", 0}, {"info-24bit.bmp", "colors40.ppm", 0},
        {"v5-argb32.bmp", "colors40.ppm", 0}, {"v5-rgb565.bmp", "colors40.ppm", 8},
        {"v5-rgb555.bmp", "colors40.ppm", 8}, {"info-4bit.bmp", "colors12.ppm", 0},
        {"info-1bit.bmp", "mono.ppm", 0},
    };
    for (const auto& [bmp, ppm, tolerance] : samples) {
        std::ifstream in(DataDir() / ppm, std::ios::binary);
        const Bytes reference(std::istreambuf_iterator<char>(in), {});   // "P6\n9 5\n255\n", RGB
        const Bitmap b = LoadBmpFile(DataDir() / bmp);
        ASSERT_EQ(b.Width(), 9);
        ASSERT_EQ(b.Height(), 5);
        for (int i = 0; i < 9 * 5 * 3; ++i) {
            ASSERT_LE(std::abs(b.ScanLine(i / 27)[i % 27 / 3 * 3 + 2 - i % 3] - reference[11 + i]), tolerance)
                << bmp << " at " << i / 3 % 9 << "," << i / 27;
        }
    }
}

TEST(BmpFile, LoadFromDiskAsFromMemoryAndNamesTheFileOnFailure) {
    for (Dib d : {Indexed(7, 4), Indexed(3, -2)}) {
        d.bits = 24;
        d.pixels = Rows(d.width, std::abs(d.height), 24, [](int x, int r) { return 0x10101u * (x + 9 * r); });
        const TempFile file(File(d));
        ExpectSame(LoadBmpFile(file.path), DecodeBmp(File(d)));
    }
    for (const char* path : {"/nonexistent/wall.bmp", "/tmp"}) {
        try {
            LoadBmpFile(path);
            ADD_FAILURE() << path;
        } catch (const DibError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(LoadBmpFile(TempFile(Bytes{}).path), DibError);
}

TEST(BmpFile, TakesOverComplete24BitRowsAndReleasesEverythingElse) {
    int released = 0;
    auto own = [&](const Bytes& bits) {
        auto* p = static_cast<std::uint8_t*>(std::malloc(bits.size()));
        std::copy(bits.begin(), bits.end(), p);
        return OwnedBits{{p, [&released](std::uint8_t* q) { ++released, std::free(q); }}, bits.size()};
    };
    Dib d{.width = 3, .height = 2, .bits = 24, .pixels = Rows(3, 2, 24, [](int x, int r) { return x + 16u * r; })};
    for (int height : {2, -2}) {   // bottom-up and top-down rows alike
        d.height = height;
        OwnedBits bits = own(d.pixels);
        const std::uint8_t* block = bits.block.data;
        const Bitmap b = DecodeDib(Info(d), std::move(bits));
        EXPECT_EQ(b.ScanLine(height > 0 ? 1 : 0), block);   // adopted, not copied
        EXPECT_EQ(Pixel(b, 2, height > 0 ? 0 : 1), 0x12u);
        EXPECT_EQ(released, height > 0 ? 0 : 1);   // only the bitmap before frees its block
    }
    EXPECT_EQ(released, 2);
    // Short rows and other depths are converted; a refused header throws.
    // The block is released at once in each case.
    EXPECT_EQ(Pixel(DecodeDib(Info(d), own(Bytes(d.pixels.begin(), d.pixels.end() - 1))), 2, 0), 0x02u);
    const Dib i = Indexed(3, 2);
    DecodeDib(Info(i), own(i.pixels));
    EXPECT_THROW(DecodeDib(Bytes{1, 2, 3}, own(d.pixels)), DibError);
    EXPECT_EQ(released, 5);
}

TEST(BmpFile, HeaderQueryReportsSizeAndDepth) {
    const DibInfo info = ReadDibHeader(Info({.headerSize = 124, .width = 640, .height = -480, .bits = 16,
                                             .compression = 3, .masks = {0xF800, 0x7E0, 0x1F}}));
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);
    EXPECT_TRUE(info.topDown);
    EXPECT_EQ(info.bitCount, 16);
    EXPECT_EQ(info.masks, (ChannelMasks{0xF800, 0x7E0, 0x1F, 0}));
    EXPECT_EQ(info.rowBytes, 1280u);
}
