// vantoria-change on a private X server: for every layout the root window
// must show the picture where the layout puts it, and the profile must hold
// the last change's tiling and the buffer path.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include "platform/desktop/XvfbServer.h"
#include "support/Child.h"
#include "support/TestBmp.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <sys/stat.h>

using namespace vantoria::test;

namespace {

constexpr int kW = 50, kH = 30;          // the picture
constexpr int kSW = 320, kSH = 240;      // the screen

Rgb PictureAt(int x, int y) { return {128, y * 8, x * 5}; }

int Mod(int p, int q) { return ((p % q) + q) % q; }

class ChangeOnX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Get()) << "no Xvfb";
        WriteBmp24(work_.Path() + "/pic.bmp", kW, kH, PictureAt);
    }
    void Change(std::vector<std::string> layout, bool succeeds = true) {
        layout.insert(layout.end(), {"--desktop", "x11", "--no-run", work_.Path() + "/pic.bmp"});
        Child run(VANTORIA_CHANGE_PROGRAM, layout,
                  {{"XDG_CONFIG_HOME", work_.Path() + "/config"}, {"DISPLAY", server_.Name()}}, work_.Path());
        ASSERT_EQ(run.Wait() == 0, succeeds) << run.Output();
        output_ = run.Output();
        XImage* image = XGetImage(server_.Get(), DefaultRootWindow(server_.Get()), 0, 0, kSW, kSH, AllPlanes, ZPixmap);
        ASSERT_TRUE(image);
        root_.assign(static_cast<std::size_t>(kSW) * kSH, {});
        for (int y = 0; y < kSH; ++y) {
            for (int x = 0; x < kSW; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                root_[static_cast<std::size_t>(y) * kSW + x] = {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
            }
        }
        XDestroyImage(image);
    }
    Rgb Root(int x, int y) const { return root_[static_cast<std::size_t>(y) * kSW + x]; }

    // Counts the screen pixels where `expected` differs from the root by
    // more than `tolerance` in any channel.
    int Mismatches(const std::function<Rgb(int, int)>& expected, int tolerance = 0) const {
        int bad = 0;
        for (int y = 0; y < kSH; ++y) {
            for (int x = 0; x < kSW; ++x) {
                const Rgb e = expected(x, y), r = Root(x, y);
                if (std::abs(e.r - r.r) > tolerance || std::abs(e.g - r.g) > tolerance ||
                    std::abs(e.b - r.b) > tolerance) {
                    ++bad;
                }
            }
        }
        return bad;
    }
    std::string Registry() const { return ReadFile(work_.Path() + "/config/vantoria/registry.reg"); }

    XvfbServer server_{"320x240x24"};
    TempDir work_;
    std::vector<Rgb> root_;
    std::string output_;
};

TEST_F(ChangeOnX11Test, CentredAndTiledPicturesStandWhereTheLayoutPutsThem) {
    // Centred, unchanged: the picture in the middle of black.
    Change({"--position", "0", "--size", "0"});
    const int cx = kSW / 2 - kW / 2, cy = kSH / 2 - kH / 2;
    EXPECT_EQ(Mismatches([&](int x, int y) {
                  const bool inside = x >= cx && x < cx + kW && y >= cy && y < cy + kH;
                  return inside ? PictureAt(x - cx, y - cy) : Rgb{0, 0, 0};
              }),
              0);
    EXPECT_NE(Registry().find("\"TileWallPaper\"=\"0\""), std::string::npos);

    // Tiled, unchanged: tiles from the top-left corner.
    Change({"--position", "1", "--size", "0"});
    EXPECT_EQ(Mismatches([](int x, int y) { return PictureAt(x % kW, y % kH); }), 0);

    // Tiled with one copy centred: the whole screen is the picture shifted
    // so that a copy starts at (SW/2 - W/2, SH/2 - H/2).
    Change({"--position", "2", "--arrange", "0"});
    EXPECT_EQ(Mismatches([&](int x, int y) { return PictureAt(Mod(x - cx, kW), Mod(y - cy, kH)); }), 0);
    const std::string reg = Registry();
    EXPECT_NE(reg.find("\"TileWallPaper\"=\"1\""), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"Wallpaper\"=\"" + work_.Path() + "/Runo.bmp\""), std::string::npos) << reg;
}

// The root gets the picture from memory while the buffer file is written: a
// file that cannot be written still fails the change, and is not recorded.
TEST_F(ChangeOnX11Test, ABufferFileThatCannotBeWrittenFailsTheChange) {
    ASSERT_EQ(::mkdir((work_.Path() + "/Runo.bmp").c_str(), 0700), 0);
    Change({"--position", "1", "--size", "0"}, false);
    EXPECT_NE(output_.find("cannot write"), std::string::npos) << output_;
    EXPECT_EQ(Registry().find("Runo.bmp"), std::string::npos) << Registry();
    EXPECT_EQ(Mismatches([](int x, int y) { return PictureAt(x % kW, y % kH); }), 0);
}

TEST_F(ChangeOnX11Test, AlternatingLayoutsKeepTheUnshiftedCopyCentred) {
    const int cx = kSW / 2 - kW / 2, cy = kSH / 2 - kH / 2;
    const int a = kW - kW / 2, b = kH - kH / 2;
    // Rows: every other row of copies is moved right by half a picture.
    Change({"--position", "2", "--arrange", "1"});
    EXPECT_EQ(Mismatches([&](int x, int y) {
                  const int row = static_cast<int>(std::floor((y - cy) / double(kH)));
                  const int shift = Mod(row, 2) ? a : 0;
                  return PictureAt(Mod(x - cx - shift, kW), Mod(y - cy, kH));
              }),
              0);
    // Columns: every other column of copies is moved down by half.
    Change({"--position", "2", "--arrange", "2"});
    EXPECT_EQ(Mismatches([&](int x, int y) {
                  const int column = static_cast<int>(std::floor((x - cx) / double(kW)));
                  const int shift = Mod(column, 2) ? b : 0;
                  return PictureAt(Mod(x - cx, kW), Mod(y - cy - shift, kH));
              }),
              0);
}

TEST_F(ChangeOnX11Test, ScaledLayoutsFillTheScreen) {
    // Stretched to the screen (and tiled, which changes nothing then): the
    // corners show the picture's corners, smoothly in between.
    Change({"--position", "1", "--size", "1"});
    const auto stretched = [](int x, int y) {
        return PictureAt(std::min(kW - 1, x * kW / kSW), std::min(kH - 1, y * kH / kSH));
    };
    EXPECT_EQ(Mismatches(stretched, 8), 0);

    // Fitted to the height on a wider screen: 30 -> 240 is a factor of 8,
    // so the picture is 400 wide and its middle 320 columns show.
    Change({"--position", "0", "--size", "2"});
    EXPECT_EQ(Mismatches([](int x, int y) { return PictureAt(std::min(kW - 1, (x + 40) / 8), y / 8); }, 8), 0);
}

}  // namespace
