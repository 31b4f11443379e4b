// ComposeWallPaper end to end: the file each mode writes, and what reaches
// the caller when something fails.

#include "compose/ComposeTestUtil.h"

#include "compose/WallBufferPath.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <climits>

namespace vantoria::compose::test {
namespace {

using raster::RasterError;
using raster::test::ReadBmp;
using raster::test::ReadFile;
using raster::test::SamePixels;

class WallComposerTest : public ComposerTest {
protected:
    raster::test::TempDir dir;
    void SetUp() override {
        settings.StartDir = dir.Path();
        settings.WallBuffer = kDefaultWallBuffer;
    }
    Bitmap Compose(int mode) {
        EXPECT_TRUE(composer.ComposeWallPaper(mode)) << mode;
        return ReadBmp(WallBufferPath(settings));
    }
};

TEST_F(WallComposerTest, ModeZeroAndUnknownModesWriteThePictureUnchanged) {
    picture = CoordPicture(300, 200);
    for (const int mode : {0, 7, -1, INT_MIN, INT_MAX}) EXPECT_TRUE(SamePixels(Compose(mode), picture));
    EXPECT_EQ(screenReads, 0);
}

TEST_F(WallComposerTest, EachModeWritesItsSize) {
    struct Case { int mode, w, h; ScreenSize screen; int ew, eh; };
    const Case cases[] = {
        {1, 640, 480, {1280, 1024}, 1280, 1024}, {2, 800, 600, {1024, 768}, 1023, 768},
        {3, 800, 600, {1024, 768}, 1023, 768},   {3, 600, 800, {768, 1024}, 768, 1023},
        {4, 1280, 600, {1024, 768}, 1024, 600},  {5, 64, 48, {1024, 768}, 64, 96},
        {6, 64, 48, {1024, 768}, 128, 48},       {6, 600, 300, {1024, 768}, 1200, 300},
        {5, 1280, 1024, {1024, 768}, 1024, 768}, {5, 3, 500, {800, 600}, 3, 1000},
    };
    for (const Case& c : cases) {
        picture = CoordPicture(c.w, c.h);
        screen = c.screen;
        const Bitmap out = Compose(c.mode);
        EXPECT_EQ(out.Width(), c.ew) << "mode " << c.mode << " " << c.w << "x" << c.h;
        EXPECT_EQ(out.Height(), c.eh) << "mode " << c.mode << " " << c.w << "x" << c.h;
    }
}

TEST_F(WallComposerTest, ModesTwoAndThreeWriteIdenticalFiles) {
    picture = CoordPicture(123, 77);
    for (const ScreenSize s : {ScreenSize{1024, 768}, ScreenSize{600, 900}, ScreenSize{500, 500}}) {
        screen = s;
        Compose(2);
        const std::string two = ReadFile(WallBufferPath(settings));
        Compose(3);
        EXPECT_EQ(ReadFile(WallBufferPath(settings)), two);
    }
}

// Tiled from the screen's top-left corner, the file shows the picture with
// its top-left pixel at (SW div 2 - W div 2, SH div 2 - H div 2), as far as
// it is on the screen.
TEST_F(WallComposerTest, TiledResultsCentreThePicture) {
    const int pictures[][2] = {{64, 48}, {101, 61}, {600, 300}, {7, 1}, {1, 9}};
    const ScreenSize screens[] = {{1024, 768}, {768, 1024}, {1000, 1000}, {333, 201}};
    for (const int mode : {4, 5, 6}) {
        for (const auto [w, h] : pictures) {
            for (const ScreenSize s : screens) {
                picture = CoordPicture(w, h);
                screen = s;
                const Bitmap out = Compose(mode);
                const int left = s.width / 2 - w / 2;
                const int top = s.height / 2 - h / 2;
                for (int j = std::max(0, -top); j < h && top + j < s.height; ++j) {
                    for (int i = std::max(0, -left); i < w && left + i < s.width; ++i) {
                        ASSERT_EQ(CoordAt(out, (left + i) % out.Width(), (top + j) % out.Height()),
                                  (Point{i, j})) << "mode " << mode << " " << w << "x" << h;
                    }
                }
            }
        }
    }
}

TEST_F(WallComposerTest, AFailedStepLeavesTheRestToRun) {
    // Too wide to double: the centring still cuts the picture to the screen.
    picture = CoordPicture(40000, 1);
    const Result doubled = composer.ComposeWallPaper(6);
    EXPECT_FALSE(doubled);
    EXPECT_THAT(doubled.reason, ::testing::StartsWith("AlternateHorizontally failed: "));
    const Bitmap out = ReadBmp(WallBufferPath(settings));
    ASSERT_EQ(out.Width(), 1024);
    EXPECT_EQ(CoordAt(out, 0, 0), (Point{(20000 - 512) % 4096, 0}));  // encoded modulo 4096
    // No screen: the centring fails and the block is written as built.
    picture = CoordPicture(64, 48);
    screenFails = true;
    EXPECT_THAT(composer.ComposeWallPaper(5).reason, ::testing::StartsWith("CentreForTiling failed: "));
    EXPECT_EQ(ReadBmp(WallBufferPath(settings)).Height(), 96);
}

TEST_F(WallComposerTest, ReadsTheScreenAndThePathAtEachCallAndReplacesTheFile) {
    picture = CoordPicture(640, 480);
    EXPECT_EQ(Compose(1).Width(), 1024);
    screen = {800, 600};
    EXPECT_EQ(Compose(1).Width(), 800);
    EXPECT_EQ(dir.Entries(), 1);
    settings.WallBuffer = "other.bmp";
    Compose(0);
    EXPECT_EQ(dir.Entries(), 2);
}

TEST_F(WallComposerTest, WriteFailuresReachTheCallerAndKeepThePreviousFile) {
    picture = CoordPicture(20, 10);
    Compose(0);
    const std::string before = ReadFile(WallBufferPath(settings));
    settings.WallBuffer = "";  // names the folder itself
    EXPECT_THROW(composer.ComposeWallPaper(0), RasterError);
    settings.WallBuffer = "missing/Runo.bmp";
    EXPECT_THROW(composer.ComposeWallPaper(4), RasterError);
    settings.WallBuffer = kDefaultWallBuffer;
    picture = Bitmap();  // nothing decoded: refused rather than a header-only file
    EXPECT_THROW(composer.ComposeWallPaper(0), RasterError);
    EXPECT_EQ(ReadFile(WallBufferPath(settings)), before);
}

// A buffer file that names the picture itself, by whatever path, would
// overwrite the user's picture: refused before anything is written.
TEST_F(WallComposerTest, NeverWritesOverThePictureItCameFrom) {
    picture = CoordPicture(20, 10);
    picture.SaveToFile(dir / "photo.bmp");
    const std::string before = ReadFile(dir / "photo.bmp");
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::create_symlink("photo.bmp", dir / "link.bmp");
    std::filesystem::create_hard_link(dir / "photo.bmp", dir / "hard.bmp");
    for (const std::string buffer : {"photo.bmp", "sub/../photo.bmp", "link.bmp", "hard.bmp"}) {
        settings.WallBuffer = buffer;
        for (const std::string shown : {"photo.bmp", "link.bmp"}) {
            try {
                static_cast<void>(composer.ComposeWallPaper(1, dir / shown));
                ADD_FAILURE() << buffer << " written over " << shown;
            } catch (const RasterError& e) {
                EXPECT_NE(std::string(e.what()).find("it is the picture being shown, " + (dir / shown)),
                          std::string::npos) << e.what();
            }
        }
    }
    EXPECT_EQ(ReadFile(dir / "photo.bmp"), before);
    EXPECT_EQ(dir.Entries(), 4);
}

}  // namespace
}  // namespace vantoria::compose::test
