// The decode helper: plug-ins that crash, hang, eat memory, lie or reach for
// files cost one failure each and leave the next decode working; pictures
// come back whole, and the loader's choice of plug-in carries over from one
// helper to the next.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "ImagingTestSupport.h"
#include "imaging/DecodeHelper.h"
#include "imaging/DecodePicture.h"
#include "imaging/Spi_load.h"
#include "support/TestBmp.h"

using namespace vantoria;
using imagingtest::Sandbox;

namespace {

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) { ::setenv(name, value, 1); }
    ~ScopedEnv() { ::unsetenv(name_); }

private:
    const char* name_;
};

std::string Hostile(const Sandbox& box) { return box.Write("hostile.pic", "HOSTILE picture"); }

TEST(DecodeHelper, EachHostilePluginCostsOneFailureAndTheNextDecodeWorks) {
    const ScopedEnv budget("VANTORIA_MEMORY_LIMIT", "268435456");
    const struct {
        const char* variant;
        const char* failure;
    } cases[] = {
        {"crash", "the plug-in png.spi ended with signal 11"},
        {"hang", "the picture took longer than 1 s"},
        {"hog", "the image plug-in failed to decode"},
        {"liar", "too large to show"},
        // Refused the file, the network and the program, it fails as a
        // plug-in that cannot read its input; had any of them worked, it
        // would have aborted.
        {"snoop", "the image plug-in failed to decode"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variant);
        // Only the one that hangs is given a short time; the others must end
        // by themselves, however loaded the machine.
        const ScopedEnv timeout("VANTORIA_DECODE_TIMEOUT", std::string(c.variant) == "hang" ? "1" : "20");
        Sandbox box;
        box.AddPlugin("accept", "a.spi");
        box.AddPlugin(c.variant, "png.spi");
        const std::string good = box.Picture("good.tst", "width=5\nheight=2");
        TSpi_load loader;
        loader.SpiPathName = box.Folder("plugins");

        const auto start = std::chrono::steady_clock::now();
        const imaging::DecodedPicture bad = imaging::DecodePicture(loader, Hostile(box));
        EXPECT_FALSE(bad.picture);
        EXPECT_NE(bad.failure.find(c.failure), std::string::npos) << bad.failure;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

        const imaging::DecodedPicture next = imaging::DecodePicture(loader, good);
        ASSERT_TRUE(next.picture) << next.failure;
        EXPECT_EQ(next.picture->Width(), 5);
    }
}

TEST(DecodeHelper, TheWarmHelperMakesEachDecodesHelperAndOutlivesACrash) {
    Sandbox box;
    box.AddPlugin("accept", "a.spi");
    box.AddPlugin("crash", "png.spi");
    const std::string good = box.Picture("good.tst", "width=5\nheight=2");
    TSpi_load loader;
    loader.SpiPathName = box.Folder("plugins");
    loader.Helper().KeepWarm = true;
    // The first decodes start the warm helper and run before it is ready;
    // the later ones are its copies.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(imaging::DecodePicture(loader, good).picture);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (int i = 0; i < 2; ++i) {
        const imaging::DecodedPicture bad = imaging::DecodePicture(loader, Hostile(box));
        EXPECT_NE(bad.failure.find("the plug-in png.spi ended with signal 11"), std::string::npos) << bad.failure;
        const imaging::DecodedPicture next = imaging::DecodePicture(loader, good);
        ASSERT_TRUE(next.picture) << next.failure;
        EXPECT_EQ(next.picture->Width(), 5);
    }
}

TEST(DecodeHelper, HandsThePictureOverWholeAndCarriesTheChosenPluginOver) {
    Sandbox box;
    box.AddPlugin("accept", "a.spi");
    TSpi_load loader;
    loader.SpiPathName = box.Folder("plugins");
    loader.color_bit = 7;

    // Large enough to lie in a shared block of the helper's heap.
    const std::string bmp = box.Folder("pictures") + "/big.bmp";
    vantoria::test::WriteBmp24(bmp, 1999, 1201, [](int x, int y) {
        return vantoria::test::Rgb{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x ^ y)};
    });
    const imaging::DecodedPicture big = imaging::DecodePicture(loader, bmp);
    ASSERT_TRUE(big.picture) << big.failure;
    ASSERT_EQ(big.picture->Width(), 1999);
    ASSERT_EQ(big.picture->Height(), 1201);
    for (const auto& [x, y] : {std::pair{0, 0}, {1998, 0}, {0, 1200}, {1998, 1200}, {777, 555}}) {
        const imagingtest::Bgr expected{static_cast<std::uint8_t>(x ^ y), static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x)};
        EXPECT_EQ(imagingtest::PixelAt(*big.picture, x, y), expected) << x << "," << y;
    }
    EXPECT_EQ(loader.color_bit, 7);   // a native decode leaves it alone

    const imaging::DecodedPicture small = imaging::DecodePicture(loader, box.Picture("p.tst", "width=3\nheight=2"));
    ASSERT_TRUE(small.picture) << small.failure;
    EXPECT_EQ(imagingtest::PixelAt(*small.picture, 2, 1), imagingtest::PatternColor(2, 1));
    EXPECT_EQ(loader.color_bit, 24);

    // No plug-in takes this one: the plug-in chosen before is asked, in a
    // new helper, as the one loader of a single process would ask it.
    const imaging::DecodedPicture refused = imaging::DecodePicture(loader, box.Picture("q.tst", "accept=nobody"));
    EXPECT_FALSE(refused.picture);
    EXPECT_NE(refused.failure.find("the image plug-in"), std::string::npos) << refused.failure;

    const std::string missing = box.Folder("pictures") + "/missing.png";
    EXPECT_NE(imaging::DecodePicture(loader, missing).failure.find("No such file"), std::string::npos);
}

// The helper loads plug-ins only as far as the one named for the file's
// extension and asks them in a copy of itself; what it decodes, chooses and
// reports must be what one process with all of them loaded would, with a
// plug-in that crashes in the copy named as before.
TEST(DecodeHelper, LoadsPluginsOnlyAsFarAsTheFileNeedsAndDecodesAsBefore) {
    namespace fs = std::filesystem;
    Sandbox box;
    const std::string folder = box.Folder("plugins");
    std::ofstream(folder + "/a_broken.spi") << "not a library";
    box.AddPlugin("no_getpicture", "b_noget.spi");
    box.AddPlugin("crash", "c_crash.spi");
    box.AddPlugin("refuse", "d_refuse.spi");
    box.AddPlugin("accept", "e_tst.spi");
    box.AddPlugin("accept", "f_any.spi");
    box.AddPlugin("marker", "z_marker.spi");
    const std::string marker = box.Folder("pictures") + "/loaded";
    const ScopedEnv sign("VANTORIA_TEST_MARKER", marker.c_str());
    // Both plug-ins take it; the first in order reads it, at its width.
    const std::string good = box.Picture("good.tst", "accept=e_tst,f_any\nwidth_f_any=9");
    const std::string nobody = box.Picture("nobody.tst", "accept=nobody");

    std::string inProcess;
    {
        const ScopedEnv here("VANTORIA_DECODE_IN_PROCESS", "1");
        TSpi_load loader;
        loader.SpiPathName = folder;
        const imaging::DecodedPicture read = imaging::DecodePicture(loader, good);
        ASSERT_TRUE(read.picture) << read.failure;
        ASSERT_EQ(read.picture->Width(), 4);
        inProcess = imaging::DecodePicture(loader, nobody).failure;
        ASSERT_TRUE(fs::remove(marker));
    }
    for (const bool early : {false, true}) {
        SCOPED_TRACE(early ? "loaded ahead of the request" : "loaded on the request");
        TSpi_load loader;
        loader.SpiPathName = folder;
        if (early) loader.Helper().Prepare(folder);
        const imaging::DecodedPicture read = imaging::DecodePicture(loader, good);
        ASSERT_TRUE(read.picture) << read.failure;
        EXPECT_EQ(read.picture->Width(), 4);
        if (!early) {
            EXPECT_FALSE(fs::exists(marker));   // never needed, never loaded
        }
        const std::string hostile = box.Write("hostile.tst", "HOSTILE picture");
        EXPECT_NE(imaging::DecodePicture(loader, hostile).failure.find("the plug-in c_crash.spi ended with signal 11"),
                  std::string::npos);
        // Taken by none: every plug-in asked, then the one chosen before.
        EXPECT_EQ(imaging::DecodePicture(loader, nobody).failure, inProcess);
        EXPECT_TRUE(fs::exists(marker));
        fs::remove(marker);
    }
}

// A picture comes over whole both ways the helper hands one over: as the
// shared block the plug-in wrote it in, and copied into a new memfd (where
// shared memory has only small pages), bottom-up rows and top-down alike.
TEST(DecodeHelper, HandsLargePicturesOverWholeFromTheSharedHeapAndAsACopy) {
    Sandbox box;
    box.AddPlugin("accept", "a.spi");
    TSpi_load loader;
    loader.SpiPathName = box.Folder("plugins");
    for (const char* heap : {"0", "1"}) {
        const ScopedEnv shared("VANTORIA_SHARED_HEAP", heap);
        for (const char* rows : {"topdown=0", "topdown=1"}) {
            SCOPED_TRACE(std::string("shared heap ") + heap + ", " + rows);
            const std::string file = box.Picture(std::string("big") + heap + rows + ".tst",
                                                 std::string("width=1999\nheight=1201\n") + rows);
            const imaging::DecodedPicture big = imaging::DecodePicture(loader, file);
            ASSERT_TRUE(big.picture) << big.failure;
            ASSERT_EQ(big.picture->Width(), 1999);
            ASSERT_EQ(big.picture->Height(), 1201);
            for (const auto& [x, y] : {std::pair{0, 0}, {1998, 0}, {0, 1200}, {1998, 1200}, {777, 555}})
                EXPECT_EQ(imagingtest::PixelAt(*big.picture, x, y), imagingtest::PatternColor(x, y)) << x << "," << y;
        }
    }
}

}  // namespace
