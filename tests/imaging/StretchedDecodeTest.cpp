// A picture the change stretches is handed over by the decode helper
// already stretched: the wallpaper is the one the decode of the picture,
// then its composition, gives, byte for byte, through the helper and in
// process alike; and a helper's reply stretched to any size but the one
// asked for, or malformed, is refused.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>

#include "ImagingTestSupport.h"
#include "compose/WallComposer.h"
#include "imaging/DecodePicture.h"
#include "imaging/DecodeProtocol.h"
#include "imaging/Spi_load.h"
#include "settings/ApSystem.h"
#include "support/TestBmp.h"

using namespace vantoria;
namespace fs = std::filesystem;

namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (value) ::setenv(name, value, 1);
    }
    ~ScopedEnv() { ::unsetenv(name_); }

private:
    const char* name_;
};

constexpr int kStretch = 1;

// The stretched wallpaper of `file` on `screen`, from a decode for `wanted`.
raster::Bitmap Wallpaper(TSpi_load& loader, const std::string& file, imaging::WantedSize wanted,
                         raster::ScreenSize screen, bool expectStretched) {
    const imaging::DecodedPicture decoded = imaging::DecodePicture(loader, file, wanted);
    EXPECT_TRUE(decoded.picture) << decoded.failure;
    if (!decoded.picture) return {};
    EXPECT_EQ(decoded.stretched, expectStretched);
    EXPECT_EQ(decoded.size, (raster::ScreenSize{2000, 1401}));
    const TApSystem settings;
    const compose::WallComposer composer(*decoded.picture, settings, [screen] { return screen; }, decoded.size);
    raster::Bitmap work;
    EXPECT_TRUE(composer.Compose(kStretch, work));
    return work;
}

bool SameBytes(const raster::Bitmap& a, const raster::Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.Empty()) return false;
    for (int y = 0; y < a.Height(); ++y) {
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), raster::RowBytes(a.Width())) != 0) return false;
    }
    return true;
}

TEST(StretchedDecode, TheHelpersStretchIsTheCompositionsByteForByte) {
    const imagingtest::Sandbox box;
    const std::string plugins = box.Folder("plugins");
    fs::create_symlink(fs::path(SHIPPED_PLUGIN_DIR) / "jpeg.spi", fs::path(plugins) / "jpeg.spi");
    const std::string bmp = box.Folder("pictures") + "/big.bmp";
    vantoria::test::WriteBmp24(bmp, 2000, 1401, [](int x, int y) {
        return vantoria::test::Rgb{static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x ^ y)};
    });
    const std::string jpeg = box.Folder("pictures") + "/big.jpg";
    const std::string make = "convert -size 2000x1401 plasma:fractal -seed 7 -quality 90 '" + jpeg + "'";
    const bool haveJpeg = std::system(make.c_str()) == 0;

    TSpi_load loader;
    loader.SpiPathName = plugins;
    // 900 x 600 is served by the JPEG's half (1000 x 701); 1500 x 1000 by
    // the whole picture only, and large enough for the memfd made ahead;
    // 1999 x 1401 is handed over in three bands of rows (526, 700, 175).
    for (const std::string& file : haveJpeg ? std::vector{bmp, jpeg} : std::vector{bmp}) {
        for (const raster::ScreenSize screen :
             {raster::ScreenSize{900, 600}, raster::ScreenSize{1500, 1000}, raster::ScreenSize{1999, 1401}}) {
            SCOPED_TRACE(file + " on " + std::to_string(screen.width) + "x" + std::to_string(screen.height));
            const imaging::WantedSize reduced{screen.width, screen.height};
            const imaging::WantedSize exact{screen.width, screen.height, true};
            const raster::Bitmap before = Wallpaper(loader, file, reduced, screen, false);
            ASSERT_EQ(before.Width(), screen.width);
            for (const char* heap : {"0", "1"}) {
                const ScopedEnv shared("VANTORIA_SHARED_HEAP", heap);
                EXPECT_TRUE(SameBytes(Wallpaper(loader, file, exact, screen, true), before)) << "shared heap " << heap;
            }
            const ScopedEnv here("VANTORIA_DECODE_IN_PROCESS", "1");
            EXPECT_TRUE(SameBytes(Wallpaper(loader, file, exact, screen, true), before)) << "in process";
        }
    }
    // Onto a screen larger than the picture the picture comes whole: the
    // composition's stretch then gives the same bytes for fewer handed over.
    const raster::ScreenSize large{2400, 1500};
    const raster::Bitmap grown = Wallpaper(loader, bmp, {large.width, large.height, true}, large, false);
    EXPECT_TRUE(SameBytes(grown, Wallpaper(loader, bmp, {}, large, false)));
    if (!haveJpeg) GTEST_SKIP() << "convert is missing: the JPEG cases did not run";
}

TEST(StretchedDecode, TheProtocolRefusesAStretchOfAnotherSize) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
    const UniqueFd program(pair[0]), helper(pair[1]);

    imaging::decode::Request request;
    request.wantedWidth = 3840;
    request.wantedHeight = 2160;
    request.exact = true;
    ASSERT_TRUE(imaging::decode::SendRequest(program.Get(), request));
    const auto read = imaging::decode::ReadRequest(helper.Get());
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->exact);
    // An exact size no bitmap can have is not a request.
    request.wantedHeight = 0;
    ASSERT_TRUE(imaging::decode::SendRequest(program.Get(), request));
    EXPECT_FALSE(imaging::decode::ReadRequest(helper.Get()));
    request.wantedHeight = 2160;

    imaging::decode::Reply reply;
    reply.outcome = imaging::decode::Outcome::Picture;
    reply.width = 3840;
    reply.height = 2160;
    reply.stretched = true;
    ASSERT_TRUE(imaging::decode::SendReply(helper.Get(), reply));
    const auto got = imaging::decode::ReadReply(program.Get());
    ASSERT_TRUE(got);
    EXPECT_TRUE(got->stretched);
    EXPECT_TRUE(imaging::decode::StretchedAsAsked(request, *got));
    for (const auto& [width, height] : {std::pair{3840, 2161}, {1920, 1080}, {6000, 4000}}) {
        reply.width = width;
        reply.height = height;
        EXPECT_FALSE(imaging::decode::StretchedAsAsked(request, reply)) << width << "x" << height;
    }
    reply.width = 3840;
    reply.height = 2160;
    request.exact = false;   // a stretch nobody asked for
    EXPECT_FALSE(imaging::decode::StretchedAsAsked(request, reply));
    reply.stretched = false;
    EXPECT_TRUE(imaging::decode::StretchedAsAsked(request, reply));
}

// A reply comes back field for field; one cut short, with bytes over or
// with a flag other than 0 or 1 is not a reply.
TEST(StretchedDecode, TheProtocolRefusesMalformedReplies) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
    const UniqueFd program(pair[0]), helper(pair[1]);

    imaging::decode::Reply reply;
    reply.outcome = imaging::decode::Outcome::NoPicture;
    reply.message = "no pixels";
    reply.errer = -7;
    reply.colorBit = 24;
    reply.throughPlugin = true;
    reply.chosenPlugin = "/p/jpeg.spi";
    reply.refused = "one\ntwo\n";
    reply.width = 11;
    reply.height = 12;
    reply.pictureWidth = 13;
    reply.pictureHeight = 14;
    reply.bottomUp = true;
    reply.offset = 4096;
    ASSERT_TRUE(imaging::decode::SendReply(helper.Get(), reply));
    const auto got = imaging::decode::ReadReply(program.Get());
    ASSERT_TRUE(got);
    EXPECT_EQ(got->outcome, reply.outcome);
    EXPECT_EQ(got->message, reply.message);
    EXPECT_EQ(std::tuple(got->errer, got->colorBit, got->throughPlugin, got->bottomUp, got->stretched),
              std::tuple(-7, 24, true, true, false));
    EXPECT_EQ(std::tuple(got->width, got->height, got->pictureWidth, got->pictureHeight, got->offset),
              std::tuple(11, 12, 13, 14, std::uint64_t{4096}));
    EXPECT_EQ(got->chosenPlugin, reply.chosenPlugin);
    EXPECT_EQ(got->refused, reply.refused);

    ASSERT_TRUE(imaging::decode::SendReply(helper.Get(), reply));
    std::string bytes(65536, '\0');
    const ssize_t n = ::recv(program.Get(), bytes.data(), bytes.size(), 0);
    ASSERT_GT(n, 20);
    bytes.resize(static_cast<std::size_t>(n));
    std::string flagOfTwo = bytes;
    flagOfTwo[16] = 2;   // throughPlugin, after the magic, outcome, errer and colorBit
    for (const std::string& bad : {bytes.substr(0, bytes.size() - 1), bytes + '\0', flagOfTwo}) {
        ASSERT_EQ(::send(helper.Get(), bad.data(), bad.size(), 0), static_cast<ssize_t>(bad.size()));
        EXPECT_FALSE(imaging::decode::ReadReply(program.Get())) << bad.size();
    }
    ASSERT_EQ(::send(helper.Get(), bytes.data(), bytes.size(), 0), n);
    EXPECT_TRUE(imaging::decode::ReadReply(program.Get()));
}

}  // namespace
