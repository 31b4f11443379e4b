// Choosing the reader for a file and decoding it, with the test plug-ins.

#include "imaging/Spi_load.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "imaging/ImagingTestSupport.h"
#include "imaging/InChild.h"
#include "imaging/NativePicture.h"
#include "platform/desktop/DesktopTestEnv.h"
#include "platform/dib/Dib.h"

namespace vantoria {
namespace {

using imagingtest::Bgr;
using imagingtest::PatternColor;
using imagingtest::PixelAt;
using imagingtest::Sandbox;
using Lines = std::vector<std::string>;

class Spi_loadTest : public ::testing::Test {
protected:
    // A loader over the plug-ins added so far to the folder "plugins".
    TSpi_load& Scan() {
        loader.SpiPathName = box.Folder("plugins");
        loader.LoadPlugins();
        box.ClearLog();
        return loader;
    }
    const raster::Bitmap& Picture() const { return *loader.Bitmap(); }
    void ExpectPattern(int width, int height) const {
        ASSERT_TRUE(loader.Bitmap().has_value());
        ASSERT_EQ(Picture().Width(), width);
        ASSERT_EQ(Picture().Height(), height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) ASSERT_EQ(PixelAt(Picture(), x, y), PatternColor(x, y));
        }
    }
    // The bits pointer the named plug-in logged for its last GetPicture.
    const std::uint8_t* LoggedBits() const {
        const std::string line = box.Log().back();
        return reinterpret_cast<const std::uint8_t*>(
            std::strtoull(line.substr(line.find("bits=") + 5).c_str(), nullptr, 16));
    }
    std::string WriteBmp(const std::string& name) const {
        raster::Bitmap b(2, 2);
        b.Fill(10, 20, 30);
        const std::string path = (box.Root() / name).string();
        b.SaveToFile(path);
        return path;
    }

    Sandbox box;
    TSpi_load loader;
};

TEST_F(Spi_loadTest, FirstPluginThatAcceptsWinsAndTheNextIsNotAsked) {
    box.AddPlugin("refuse", "a.spi");
    box.AddPlugin("accept", "b.spi");
    box.AddPlugin("accept", "c.spi");
    Scan();
    const std::string file = box.Picture("x.pic");
    EXPECT_TRUE(loader.SetFile(file));
    // Each plug-in gets a fresh descriptor at the start of the file.
    EXPECT_EQ(box.Log(), (Lines{"a IsSupported pos=0", "b IsSupported pos=0"}));
    EXPECT_EQ(loader.CurrentPlugin(), loader.PluginList()->Next);
    EXPECT_EQ(loader.FileName(), file);
    EXPECT_EQ(loader.FileExt(), ".PIC");

    EXPECT_TRUE(loader.CheckFile());
    EXPECT_EQ(loader.CurrentPlugin(), loader.PluginList()->Next);
}

TEST_F(Spi_loadTest, NativeFilesNeverReachAPlugin) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    loader.color_bit = 7;
    for (const char* name : {"n.bmp", "n.BMP", "n.Bmp"}) {
        EXPECT_TRUE(loader.SetFile(WriteBmp(name))) << name;
        EXPECT_TRUE(loader.LoadPicture()) << name;
        EXPECT_EQ(PixelAt(Picture(), 1, 1), (Bgr{10, 20, 30}));
    }
    EXPECT_EQ(box.Log(), Lines{});
    EXPECT_EQ(loader.color_bit, 7);
    EXPECT_EQ(loader.CurrentPlugin(), nullptr);

    // ".dib" is no native extension: offered to the plug-ins.
    EXPECT_FALSE(loader.SetFile(WriteBmp("n.dib")));
    EXPECT_EQ(box.Log(), Lines{"a IsSupported pos=0"});
}

TEST_F(Spi_loadTest, FileThatCannotBeOpenedIsOfferedToNoPlugin) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    EXPECT_FALSE(loader.SetFile((box.Root() / "missing.pic").string()));
    EXPECT_FALSE(loader.SetFile(box.Folder("folder.pic")));
    EXPECT_EQ(box.Log(), Lines{});
}

TEST_F(Spi_loadTest, NativeReaderErrorsPassToTheCaller) {
    EXPECT_TRUE(loader.SetFile((box.Root() / "missing.bmp").string()));
    EXPECT_THROW(static_cast<void>(loader.LoadPicture()), dib::DibError);
    EXPECT_TRUE(loader.SetFile(box.Write("text.bmp", "not a bitmap at all")));
    EXPECT_THROW(static_cast<void>(loader.LoadPicture()), dib::DibError);
    loader.SetFile(box.Write("meta.wmf", std::string("\xD7\xCD\xC6\x9A", 4) + std::string(40, '\0')));
    try {
        static_cast<void>(loader.LoadPicture());
        ADD_FAILURE() << "a metafile was read";
    } catch (const dib::DibError& e) {
        EXPECT_NE(std::string(e.what()).find("metafiles are not supported"), std::string::npos);
    }
}

TEST_F(Spi_loadTest, FirstNonNativeFileNobodyAcceptsIsAnError) {
    box.AddPlugin("refuse", "a.spi");
    Scan();
    EXPECT_FALSE(loader.SetFile(box.Picture("x.pic")));
    EXPECT_THROW(static_cast<void>(loader.LoadPicture()), imaging::SpiError);
}

// A file no plug-in could be shown because it does not open says so, not
// that no plug-in reads it.
TEST_F(Spi_loadTest, AFileThatDoesNotOpenGivesTheOpenError) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    const std::string missing = (box.Root() / "missing.png").string();
    for (const auto& [path, reason] : {std::pair{missing, "cannot open " + missing + ": No such file or directory"},
                                       std::pair{box.Folder("folder.png"), std::string("is not a regular file")}}) {
        loader.SetFile(path);
        try {
            static_cast<void>(loader.LoadPicture());
            ADD_FAILURE() << path;
        } catch (const imaging::SpiError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
}

TEST_F(Spi_loadTest, PluginWithoutGetPictureInfoIsAnError) {
    box.AddPlugin("no_getpictureinfo", "a.spi");
    Scan();
    EXPECT_TRUE(loader.SetFile(box.Picture("x.pic")));
    EXPECT_THROW(static_cast<void>(loader.LoadPicture()), imaging::SpiError);
}

TEST_F(Spi_loadTest, ChosenPluginCarriesOverToAFileNobodyAccepts) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    ASSERT_TRUE(loader.SetFile(box.Picture("first.pic", "accept=a")));
    ASSERT_TRUE(loader.LoadPicture());
    EXPECT_EQ(loader.color_bit, 24);
    const auto chosen = loader.CurrentPlugin();

    loader.color_bit = 5;
    box.ClearLog();
    EXPECT_FALSE(loader.SetFile(box.Picture("second.pic", "accept=nobody")));
    EXPECT_EQ(loader.CurrentPlugin(), chosen);
    EXPECT_FALSE(loader.LoadPicture());   // the old plug-in cannot read it
    EXPECT_EQ(box.Log(), (Lines{"a IsSupported pos=0", "a GetPictureInfo"}));
    ASSERT_TRUE(loader.Bitmap().has_value());
    EXPECT_TRUE(Picture().Empty());
    EXPECT_EQ(loader.color_bit, 5);
    EXPECT_FALSE(loader.LastError().empty());
}

TEST_F(Spi_loadTest, ChosenPluginStaysCallableAfterTheListIsReplaced) {
    const std::string first = box.AddPlugin("accept", "a.spi");
    Scan();
    ASSERT_TRUE(loader.SetFile(box.Picture("x.pic", "accept=a")));
    std::filesystem::remove(first);
    box.AddPlugin("accept", "b.spi", "other");
    loader.SpiPathName = box.Folder("other");
    loader.LoadPlugins();
    ASSERT_NE(loader.PluginList(), loader.CurrentPlugin());

    EXPECT_TRUE(loader.LoadPicture());
    ExpectPattern(4, 3);
}

TEST_F(Spi_loadTest, FailingGetPictureInfoLeavesNothing) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    loader.SetFile(box.Picture("x.pic", "fail_info=1"));
    EXPECT_FALSE(loader.LoadPicture());
    EXPECT_TRUE(Picture().Empty());
    EXPECT_EQ(loader.color_bit, 0);
    EXPECT_EQ(loader.errer, 0);
}

TEST_F(Spi_loadTest, FailingGetPictureKeepsTheReportedSize) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    loader.SetFile(box.Picture("x.pic", "fail_picture=1\nwidth=5\nheight=7\ndepth=8"));
    EXPECT_FALSE(loader.LoadPicture());
    EXPECT_EQ(Picture().Width(), 5);
    EXPECT_EQ(Picture().Height(), 7);
    EXPECT_EQ(loader.color_bit, 8);
}

TEST_F(Spi_loadTest, CompleteTwentyFourBitRowsAreAdoptedNotCopied) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    loader.SetFile(box.Picture("up.pic", "width=5\nheight=3\ntext_info=1"));
    ASSERT_TRUE(loader.LoadPicture());
    ExpectPattern(5, 3);
    EXPECT_EQ(Picture().ScanLine(2), LoggedBits());   // bottom row first

    loader.SetFile(box.Picture("down.pic", "width=5\nheight=3\ntopdown=1"));
    ASSERT_TRUE(loader.LoadPicture());
    ExpectPattern(5, 3);
    EXPECT_EQ(Picture().ScanLine(0), LoggedBits());
    EXPECT_EQ(loader.errer, 0);

    // Copies keep the adopted block after the loader lets go of it.
    const raster::Bitmap copy = Picture();
    loader.FreePicture();
    EXPECT_FALSE(loader.Bitmap().has_value());
    EXPECT_EQ(PixelAt(copy, 4, 2), PatternColor(4, 2));
}

TEST_F(Spi_loadTest, ThirtyTwoBitPicturesAreConverted) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    loader.SetFile(box.Picture("x.pic", "bits=32\nwidth=3\nheight=2"));
    ASSERT_TRUE(loader.LoadPicture());
    ExpectPattern(3, 2);
    EXPECT_EQ(loader.color_bit, 32);
}

struct Palettised {
    int bits;
    int colors;    // biClrUsed
    int topDown;   // an int: no padding bytes for the test name printer
};

class PalettisedTest : public Spi_loadTest, public ::testing::WithParamInterface<Palettised> {};

TEST_P(PalettisedTest, ColourTableAndRowOrderAreHonoured) {
    const Palettised p = GetParam();
    box.AddPlugin("accept", "a.spi");
    Scan();
    loader.SetFile(box.Picture("x.pic", "bits=" + std::to_string(p.bits) + "\ncolors=" +
                                            std::to_string(p.colors) + "\ntopdown=" +
                                            std::to_string(p.topDown) + "\nwidth=11\nheight=5"));
    ASSERT_TRUE(loader.LoadPicture()) << loader.LastError();
    EXPECT_EQ(loader.color_bit, p.bits);
    const int entries = p.colors ? p.colors : 1 << p.bits;
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 11; ++x) {
            ASSERT_EQ(PixelAt(Picture(), x, y), imagingtest::PaletteColorAt(x, y, p.bits, entries))
                << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, PalettisedTest,
                         ::testing::Values(Palettised{1, 0, 0}, Palettised{1, 1, 1},
                                           Palettised{4, 0, 1}, Palettised{4, 3, 0},
                                           Palettised{8, 0, 0}, Palettised{8, 2, 1}));

// What a plug-in may get wrong, and the reason the decode then gives.
struct Lie {
    const char* params;
    const char* reason;
};

class LyingPluginTest : public Spi_loadTest, public ::testing::WithParamInterface<Lie> {};

TEST_P(LyingPluginTest, FailsWithAReasonAndTheReportedSize) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    loader.SetFile(box.Picture("x.pic", std::string("width=6\nheight=4\n") + GetParam().params));
    EXPECT_FALSE(loader.LoadPicture());
    EXPECT_EQ(loader.errer, imaging::kErrerBadData);
    EXPECT_NE(loader.LastError().find(GetParam().reason), std::string::npos) << loader.LastError();
    EXPECT_EQ(Picture().Width(), 6);
    EXPECT_EQ(Picture().Height(), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Lies, LyingPluginTest,
    ::testing::Values(Lie{"info_bytes=20", "truncated"},
                      Lie{"bits=8\ninfo_bytes=100", "colour table need"},
                      Lie{"bits=4\ncolors=16\ntable=3", "colour table need"},
                      Lie{"bits_bytes=50", "bytes of pixel data"},
                      Lie{"bits=1\nbits_bytes=0", "bytes of pixel data"},
                      Lie{"null_info=1", "no picture header"},
                      Lie{"null_bits=1", "no pixel data"},
                      Lie{"bih_width=7", "width"}));

TEST_F(Spi_loadTest, ImpossibleReportedSizeFailsBeforeGetPicture) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    for (const char* size : {"width=0", "height=-3", "width=100000"}) {
        box.ClearLog();
        loader.SetFile(box.Picture("x.pic", size));
        EXPECT_FALSE(loader.LoadPicture()) << size;
        EXPECT_EQ(loader.errer, imaging::kErrerBadData);
        EXPECT_TRUE(Picture().Empty());
        EXPECT_EQ(box.Log(), (Lines{"a IsSupported pos=0", "a GetPictureInfo"}));
    }
}

TEST_F(Spi_loadTest, RowsBeyondOrShortOfTheReportedHeightFillFromTheTop) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    // Two rows fewer: the pattern's rows 0 and 1 on top, black below.
    loader.SetFile(box.Picture("short.pic", "width=3\nheight=4\nbih_height=2"));
    ASSERT_TRUE(loader.LoadPicture()) << loader.LastError();
    EXPECT_EQ(Picture().Height(), 4);
    EXPECT_EQ(PixelAt(Picture(), 2, 1), PatternColor(2, 1));
    EXPECT_EQ(PixelAt(Picture(), 2, 2), (Bgr{0, 0, 0}));
    // Two rows more: the top rows are kept.
    loader.SetFile(box.Picture("tall.pic", "width=3\nheight=2\nbih_height=4"));
    ASSERT_TRUE(loader.LoadPicture()) << loader.LastError();
    ExpectPattern(3, 2);
}

TEST_F(Spi_loadTest, SaveWritesEveryPluginPictureToSFName) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    loader.Save = true;
    loader.SFName = (box.Root() / "saved.bmp").string();
    loader.SetFile(box.Picture("x.pic"));
    ASSERT_TRUE(loader.LoadPicture());
    raster::Bitmap saved = dib::LoadBmpFile(loader.SFName);
    EXPECT_EQ(PixelAt(saved, 3, 2), PatternColor(3, 2));

    // Also after a failed conversion: a black picture of the reported size.
    loader.SetFile(box.Picture("y.pic", "width=2\nheight=2\nbits_bytes=1"));
    EXPECT_FALSE(loader.LoadPicture());
    saved = dib::LoadBmpFile(loader.SFName);
    EXPECT_EQ(saved.Width(), 2);
    EXPECT_EQ(PixelAt(saved, 1, 1), (Bgr{0, 0, 0}));

    loader.SFName = (box.Root() / "no-such-folder" / "saved.bmp").string();
    EXPECT_THROW(static_cast<void>(loader.LoadPicture()), raster::RasterError);
}

// The address space this process uses now, in bytes.
std::uint64_t AddressSpace() {
    std::ifstream in("/proc/self/statm");
    std::uint64_t pages = 0;
    in >> pages;
    return pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

// A picture is allocated once, by the plug-in: the host used to reserve the
// reported size before GetPicture as well, twice the memory in all. And a
// picture the machine has not the memory for is refused with a clear reason
// before anything is allocated, natively read bitmaps too.
TEST_F(Spi_loadTest, PicturesAreAllocatedOnceAndOnlyWhenTheyFit) {
    box.AddPlugin("accept", "a.spi");
    Scan();
    const std::string big = box.Picture("big.pic", "width=4000\nheight=4000");  // 48 MB of rows
    const std::string answer = imagingtest::InChild([&]() -> std::string {
        // Room for the picture once, not twice.
        const rlimit limit{AddressSpace() + (80u << 20), AddressSpace() + (80u << 20)};
        ::setrlimit(RLIMIT_AS, &limit);
        loader.SetFile(big);
        return loader.LoadPicture() ? std::to_string(Picture().Width()) : loader.LastError();
    });
    EXPECT_EQ(answer, "4000");

    const test::ScopedEnv cap("VANTORIA_MEMORY_LIMIT", "10000000");
    box.ClearLog();
    loader.SetFile(big);
    EXPECT_FALSE(loader.LoadPicture());
    EXPECT_EQ(loader.errer, imaging::kErrerNoMemory);
    EXPECT_NE(loader.LastError().find("4000 x 4000 pixels needs 92 MB of memory, but only 9 MB are free"),
              std::string::npos) << loader.LastError();
    EXPECT_EQ(box.Log(), (Lines{"a IsSupported pos=0", "a GetPictureInfo"}));

    raster::Bitmap wide(3000, 1);
    const std::string bmp = (box.Root() / "wide.bmp").string();
    wide.SaveToFile(bmp);
    const test::ScopedEnv tiny("VANTORIA_MEMORY_LIMIT", "10000");
    try {
        imaging::LoadNativePicture(bmp);
        ADD_FAILURE() << "read without the memory for it";
    } catch (const dib::DibError& e) {
        EXPECT_NE(std::string(e.what()).find("MB of memory"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace vantoria
