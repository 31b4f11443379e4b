// Bitmap::SaveToFile: the file's bytes, and what a failed write leaves.

#include "platform/raster/RasterTestUtil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantoria::raster {
namespace {

using test::Le32;
using test::ReadFile;
using test::TempDir;

std::string ErrorOf(const Bitmap& b, const std::string& path) {
    try {
        b.SaveToFile(path);
    } catch (const RasterError& e) {
        return e.what();
    }
    return "no error";
}

TEST(BitmapFileTest, WritesAHeaderAndBottomUpPaddedRows) {
    TempDir dir;
    const Bitmap b = test::CoordPicture(5, 3);  // 15 bytes a row, padded to 16
    b.SaveToFile(dir / "a.bmp");
    const std::string s = ReadFile(dir / "a.bmp");
    ASSERT_EQ(s.size(), 54u + 16 * 3);
    EXPECT_EQ(s.substr(0, 2), "BM");
    EXPECT_EQ(Le32(s, 2), 54u + 48);  // bfSize
    EXPECT_EQ(Le32(s, 10), 54u);      // bfOffBits
    EXPECT_EQ(Le32(s, 14), 40u);      // biSize
    EXPECT_EQ(Le32(s, 18), 5u);
    EXPECT_EQ(Le32(s, 22), 3u);       // positive: bottom-up
    EXPECT_EQ(Le32(s, 26), 1u | 24u << 16);  // one plane, 24 bits
    EXPECT_EQ(Le32(s, 30), 0u);       // BI_RGB
    EXPECT_EQ(Le32(s, 34), 48u);
    for (int fileRow = 0; fileRow < 3; ++fileRow) {
        const std::size_t at = 54 + 16 * fileRow;
        EXPECT_EQ(0, std::memcmp(s.data() + at, b.ScanLine(2 - fileRow), 15));
        EXPECT_EQ(s[at + 15], '\0');
    }
    EXPECT_TRUE(test::SamePixels(test::ReadBmp(dir / "a.bmp"), b));
}

TEST(BitmapFileTest, BottomUpStorageWritesTheSameFile) {
    TempDir dir;
    const Bitmap top = test::CoordPicture(8, 5);
    const std::size_t row = RowBytes(8);
    auto* data = static_cast<std::uint8_t*>(std::malloc(row * 5));
    for (int y = 0; y < 5; ++y) std::memcpy(data + row * (4 - y), top.ScanLine(y), row);
    const Bitmap bottom = Bitmap::Adopt(8, 5, true, {data, [](std::uint8_t* p) { std::free(p); }});
    top.SaveToFile(dir / "top.bmp");
    bottom.SaveToFile(dir / "bottom.bmp");
    EXPECT_EQ(ReadFile(dir / "top.bmp"), ReadFile(dir / "bottom.bmp"));
}

TEST(BitmapFileTest, ImageMagickReadsTheFile) {
    if (std::system("command -v identify >/dev/null 2>&1") != 0) GTEST_SKIP() << "no identify";
    TempDir dir;
    test::CoordPicture(301, 7).SaveToFile(dir / "m.bmp");
    const std::string cmd = "identify -format '%w %h %[pixel:p{300,6}]' '" + (dir / "m.bmp") +
                            "' > '" + (dir / "out.txt") + "' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << ReadFile(dir / "out.txt");
    // Pixel (300, 6): blue 300 & 255 = 44, green 6, red 300 >> 8 = 1.
    EXPECT_EQ(ReadFile(dir / "out.txt"), "301 7 srgb(1,6,44)");
}

TEST(BitmapFileTest, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    test::CoordPicture(9, 9).SaveToFile(dir / "b.bmp");
    ::chmod((dir / "b.bmp").c_str(), 0640);
    const Bitmap second = test::CoordPicture(3, 2);
    second.SaveToFile(dir / "b.bmp");
    EXPECT_TRUE(test::SamePixels(test::ReadBmp(dir / "b.bmp"), second));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "b.bmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(BitmapFileTest, WritesThroughSymbolicLinks) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    ASSERT_EQ(::symlink("sub/real.bmp", (dir / "link.bmp").c_str()), 0);  // dangling at first
    ASSERT_EQ(::symlink((dir / "link.bmp").c_str(), (dir / "sub/chain.bmp").c_str()), 0);
    const Bitmap first = test::CoordPicture(4, 4);
    first.SaveToFile(dir / "link.bmp");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.bmp"));
    EXPECT_TRUE(test::SamePixels(test::ReadBmp(dir / "sub/real.bmp"), first));
    const Bitmap second = test::CoordPicture(2, 3);
    second.SaveToFile(dir / "sub/chain.bmp");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "sub/chain.bmp"));
    EXPECT_TRUE(test::SamePixels(test::ReadBmp(dir / "sub/real.bmp"), second));
}

TEST(BitmapFileTest, FailuresNameThePathAndTheReason) {
    TempDir dir;
    const Bitmap b = test::CoordPicture(2, 2);
    EXPECT_EQ(ErrorOf(b, dir / "missing/x.bmp"),
              "cannot write " + (dir / "missing/x.bmp") + ": No such file or directory");
    EXPECT_EQ(ErrorOf(b, dir.Path() + "/"), "cannot write " + dir.Path() + "/: Is a directory");
    EXPECT_EQ(ErrorOf(b, dir.Path()), "cannot write " + dir.Path() + ": Is a directory");
    EXPECT_EQ(ErrorOf(Bitmap(), dir / "e.bmp"),
              "cannot write " + (dir / "e.bmp") + ": the picture is empty (0 x 0)");
    EXPECT_EQ(ErrorOf(Bitmap(0, 5), dir / "e.bmp"),
              "cannot write " + (dir / "e.bmp") + ": the picture is empty (0 x 5)");
    EXPECT_FALSE(std::filesystem::exists(dir / "e.bmp"));
}

TEST(BitmapFileTest, AFailedWriteKeepsThePreviousFile) {
    TempDir dir;
    const Bitmap old = test::CoordPicture(10, 10);
    old.SaveToFile(dir / "keep.bmp");
    const std::string before = ReadFile(dir / "keep.bmp");

    // A file size limit makes the write fail part-way, as a full disk would.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string error = ErrorOf(test::CoordPicture(100, 100), dir / "keep.bmp");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(error, "cannot write " + (dir / "keep.bmp") + ": File too large");
    EXPECT_EQ(ReadFile(dir / "keep.bmp"), before);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace vantoria::raster
