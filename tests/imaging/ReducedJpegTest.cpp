// A large JPEG decoded for a smaller drawing through the shipped JPEG
// plug-in's reduced decode: the smallest reduction still as large as asked,
// the picture's own size kept, the pixels those of the whole picture scaled.

#include "imaging/Spi_load.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "imaging/ImagingTestSupport.h"

namespace vantoria {
namespace {

namespace fs = std::filesystem;

TEST(ReducedJpegTest, TheLoaderTakesTheSmallestReductionThatServesAndKeepsThePicturesSize) {
    const imagingtest::Sandbox box;
    const std::string plugins = box.Folder("plugins");
    fs::create_symlink(fs::path(SHIPPED_PLUGIN_DIR) / "jpeg.spi", fs::path(plugins) / "jpeg.spi");
    const std::string file = (fs::path(box.Folder("pictures")) / "wide.jpg").string();
    const std::string make = "convert -size 1000x701 gradient:red-blue -quality 95 '" + file + "'";
    ASSERT_EQ(std::system(make.c_str()), 0) << "convert could not make the picture: install imagemagick";

    TSpi_load loader;
    loader.SpiPathName = plugins;
    loader.LoadPlugins();
    ASSERT_TRUE(loader.SetFile(file));
    ASSERT_TRUE(loader.LoadPicture());
    const raster::Bitmap whole = *loader.Bitmap();
    ASSERT_EQ(whole.Width(), 1000);

    struct Case { raster::ScreenSize atLeast, delivered; };
    for (const Case& c : {Case{{120, 120}, {250, 176}}, Case{{1, 120}, {250, 176}}, Case{{300, 200}, {500, 351}},
                          Case{{126, 88}, {250, 176}}, Case{{251, 1}, {500, 351}}, Case{{600, 1}, {1000, 701}},
                          Case{{100, 80}, {125, 88}}}) {
        ASSERT_TRUE(loader.LoadPicture(c.atLeast));
        const raster::Bitmap& got = *loader.Bitmap();
        EXPECT_EQ((raster::ScreenSize{got.Width(), got.Height()}), c.delivered) << c.atLeast.width;
        EXPECT_EQ(loader.PictureSize(), (raster::ScreenSize{1000, 701}));
        raster::Bitmap scaled(got.Width(), got.Height());
        scaled.StretchDraw(raster::MakeRect(0, 0, got.Width(), got.Height()), whole);
        for (int y = 0; y < got.Height(); ++y) {
            for (int i = 0; i < got.Width() * 3; ++i) ASSERT_NEAR(got.ScanLine(y)[i], scaled.ScanLine(y)[i], 6);
        }
    }
    // A picture that is also saved is decoded whole.
    loader.Save = true;
    loader.SFName = (fs::path(box.Folder("out")) / "saved.bmp").string();
    ASSERT_TRUE(loader.LoadPicture(raster::ScreenSize{120, 120}));
    EXPECT_EQ(loader.Bitmap()->Width(), 1000);
}

}  // namespace
}  // namespace vantoria
