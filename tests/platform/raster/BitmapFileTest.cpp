// Bitmap::SaveToFile: the file's bytes, and what a failed write leaves.

#include "platform/raster/RasterTestUtil.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
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
    EXPECT_EQ(Le32(s, 2), 54u + 48);          // bfSize
    EXPECT_EQ(Le32(s, 10), 54u);              // bfOffBits
    EXPECT_EQ(Le32(s, 14), 40u);              // biSize
    EXPECT_EQ(Le32(s, 18), 5u);               // biWidth
    EXPECT_EQ(Le32(s, 22), 3u);               // biHeight > 0: bottom-up
    EXPECT_EQ(Le32(s, 26), 1u | 24u << 16);   // one plane, 24 bits
    EXPECT_EQ(Le32(s, 30), 0u);               // BI_RGB
    EXPECT_EQ(Le32(s, 34), 48u);              // biSizeImage
    for (int fileRow = 0; fileRow < 3; ++fileRow) {
        EXPECT_EQ(0, std::memcmp(s.data() + 54 + 16 * fileRow, b.ScanLine(2 - fileRow), 15));
        EXPECT_EQ(s[54 + 16 * fileRow + 15], '\0');
    }

    // Bottom-up storage (as a decoder hands it over) gives the same file.
    const std::size_t row = RowBytes(5);
    auto* data = static_cast<std::uint8_t*>(std::calloc(row * 3, 1));
    for (int y = 0; y < 3; ++y) std::memcpy(data + row * (2 - y), b.ScanLine(y), 15);
    Bitmap::Adopt(5, 3, true, {data, [](std::uint8_t* p) { std::free(p); }}).SaveToFile(dir / "u.bmp");
    EXPECT_EQ(ReadFile(dir / "u.bmp"), s);
}

TEST(BitmapFileTest, ImageMagickReadsTheFile) {
    // CI installs the reference reader; where it is missing the test says which package it wants.
    ASSERT_EQ(std::system("command -v identify >/dev/null 2>&1"), 0) << "identify is missing: install imagemagick";
    TempDir dir;
    test::CoordPicture(301, 7).SaveToFile(dir / "m.bmp");
    const std::string cmd = "identify -format '%w %h %[pixel:p{300,6}]' '" + (dir / "m.bmp") +
                            "' > '" + (dir / "out.txt") + "' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << ReadFile(dir / "out.txt");
    EXPECT_EQ(ReadFile(dir / "out.txt"), "301 7 srgb(1,6,44)");  // B 300 & 255, G 6, R 300 >> 8
}

TEST(BitmapFileTest, ReplacesTheFileKeepingItsModeAndLinks) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    ASSERT_EQ(::symlink("sub/real.bmp", (dir / "link.bmp").c_str()), 0);  // dangling at first
    test::CoordPicture(9, 9).SaveToFile(dir / "link.bmp");
    ::chmod((dir / "sub/real.bmp").c_str(), 0640);

    const Bitmap second = test::CoordPicture(3, 2);
    second.SaveToFile(dir / "link.bmp");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.bmp"));
    EXPECT_TRUE(test::SamePixels(test::ReadBmp(dir / "sub/real.bmp"), second));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "sub/real.bmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.Entries(), 2);  // no temporary file left behind
}

TEST(BitmapFileTest, FailuresNameThePathAndTheReasonAndKeepThePreviousFile) {
    TempDir dir;
    const Bitmap b = test::CoordPicture(10, 10);
    EXPECT_EQ(ErrorOf(b, dir / "no/x.bmp"), "cannot write " + (dir / "no/x.bmp") + ": No such file or directory");
    EXPECT_EQ(ErrorOf(b, dir.Path() + "/"), "cannot write " + dir.Path() + "/: Is a directory");
    EXPECT_EQ(ErrorOf(b, dir.Path()), "cannot write " + dir.Path() + ": Is a directory");
    EXPECT_EQ(ErrorOf(Bitmap(0, 5), dir / "e.bmp"),
              "cannot write " + (dir / "e.bmp") + ": the picture is empty (0 x 5)");

    b.SaveToFile(dir / "keep.bmp");
    const std::string before = ReadFile(dir / "keep.bmp");
    // A file size limit makes the write fail part-way, as a full disk would.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto* handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string error = ErrorOf(test::CoordPicture(100, 100), dir / "keep.bmp");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);

    EXPECT_EQ(error, "cannot write " + (dir / "keep.bmp") + ": File too large");
    EXPECT_EQ(ReadFile(dir / "keep.bmp"), before);
    EXPECT_EQ(dir.Entries(), 1);
}

// A change killed while it writes the buffer leaves no temporary file: the
// file size limit's signal kills the writer part-way, as a kill would.
TEST(BitmapFileTest, AWriterKilledHalfwayLeavesNothingBehind) {
    TempDir dir;
    test::CoordPicture(100, 100).SaveToFile(dir / "Runo.bmp");
    const std::string before = ReadFile(dir / "Runo.bmp");
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit noCore{0, 0}, small{4096, 4096};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::signal(SIGXFSZ, SIG_DFL);
        test::CoordPicture(200, 200).SaveToFile(dir / "Runo.bmp");
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    EXPECT_EQ(dir.Entries(), 1);
    EXPECT_EQ(ReadFile(dir / "Runo.bmp"), before);
}

// A device, a FIFO or a folder at the buffer path, reached directly, through
// a link or through "..", is refused and stays exactly as it was.
TEST(BitmapFileTest, WritesOverNothingButARegularFile) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    std::filesystem::create_directory(dir / "folder");
    const Bitmap b = test::CoordPicture(4, 4);
    for (const std::string thing : {"fifo", "null", "folder"}) {
        ASSERT_EQ(::symlink(thing.c_str(), (dir / (thing + ".lnk")).c_str()), 0);
        for (const std::string& path : {dir / thing, dir / (thing + ".lnk"), dir / ("sub/../" + thing)}) {
            const std::string error = ErrorOf(b, path);
            EXPECT_TRUE(error.find("not a regular file") != std::string::npos ||
                        error.find("Is a directory") != std::string::npos) << path << ": " << error;
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo"));
    EXPECT_TRUE(std::filesystem::is_character_file(dir / "null"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
    EXPECT_EQ(dir.Entries(), 7);  // the three, their links, "sub": nothing else

    // In a shared sticky folder the kernel refuses to follow another user's
    // link, where the system asks it to; the link's target stays untouched.
    if (ReadFile("/proc/sys/fs/protected_symlinks").starts_with("1") && ::geteuid() == 0) {
        std::filesystem::create_directory(dir / "shared");
        ::chmod((dir / "shared").c_str(), 01777);
        std::ofstream(dir / "victim") << "precious";
        ASSERT_EQ(::symlink((dir / "victim").c_str(), (dir / "shared/Runo.bmp").c_str()), 0);
        ASSERT_EQ(::lchown((dir / "shared/Runo.bmp").c_str(), 65534, 65534), 0);
        EXPECT_NE(ErrorOf(b, dir / "shared/Runo.bmp"), "no error");
        EXPECT_EQ(ReadFile(dir / "victim"), "precious");
    }
}

}  // namespace
}  // namespace vantoria::raster
