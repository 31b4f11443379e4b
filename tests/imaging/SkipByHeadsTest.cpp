// A single decode passes over a plug-in whose declared heads rule the file
// out: never loaded, never asked, and the file read as if it had refused.
// One whose declaration cannot be trusted is loaded and asked as before.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "ImagingTestSupport.h"
#include "imaging/DecodePicture.h"
#include "imaging/Spi_load.h"

using namespace vantoria;
using imagingtest::Sandbox;

TEST(DeclaredHeads, APluginThatCannotTakeTheFileIsNeitherLoadedNorAsked) {
    namespace fs = std::filesystem;
    Sandbox box;
    // Each crashes when asked for a picture and leaves the marker when loaded.
    const std::string sound = box.Folder("sound"), broken = box.Folder("broken");
    box.AddPlugin("declared", "a_declared.spi", "sound");
    box.AddPlugin("accept", "e_tst.spi", "sound");
    box.AddPlugin("bad_heads", "a_bad.spi", "broken");
    box.AddPlugin("accept", "e_tst.spi", "broken");
    const std::string marker = box.Folder("pictures") + "/loaded";
    ::setenv("VANTORIA_TEST_MARKER", marker.c_str(), 1);
    const std::string good = box.Picture("good.tst", "accept=e_tst");
    const std::string nobody = box.Picture("nobody.tst", "accept=nobody");
    const std::string hostile = box.Write("hostile.tst", "HOSTILE picture");

    std::string inProcess;
    {
        ::setenv("VANTORIA_DECODE_IN_PROCESS", "1", 1);
        TSpi_load loader;
        loader.SpiPathName = sound;
        ASSERT_TRUE(imaging::DecodePicture(loader, good).picture);
        // Taken by none: every plug-in asked, then the one chosen before.
        inProcess = imaging::DecodePicture(loader, nobody).failure;
        ::unsetenv("VANTORIA_DECODE_IN_PROCESS");
        fs::remove(marker);
    }
    {
        TSpi_load loader;
        loader.SpiPathName = sound;
        const imaging::DecodedPicture read = imaging::DecodePicture(loader, good);
        ASSERT_TRUE(read.picture) << read.failure;
        EXPECT_FALSE(fs::exists(marker)) << "loaded for a file its heads rule out";
        EXPECT_EQ(imaging::DecodePicture(loader, nobody).failure, inProcess);
        EXPECT_FALSE(fs::exists(marker));
        // A file it may take: loaded, asked first, and it is the one that crashes.
        EXPECT_NE(imaging::DecodePicture(loader, hostile).failure.find("the plug-in a_declared.spi ended with signal 11"),
                  std::string::npos);
        EXPECT_TRUE(fs::exists(marker));
        fs::remove(marker);
    }
    {
        TSpi_load loader;
        loader.SpiPathName = broken;
        const imaging::DecodedPicture read = imaging::DecodePicture(loader, good);
        ASSERT_TRUE(read.picture) << read.failure;
        EXPECT_TRUE(fs::exists(marker)) << "a declaration in doubt must not keep a plug-in from being loaded";
    }
    ::unsetenv("VANTORIA_TEST_MARKER");
}
