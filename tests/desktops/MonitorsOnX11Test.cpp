// vantoria-change on a private X server whose screen is split into several
// RandR monitors: every monitor shows the layout composed for its own size,
// laid out from its own origin, and what no monitor shows stays black.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/desktop/XvfbServer.h"
#include "platform/dib/Dib.h"
#include "desktops/RootPixels.h"
#include "desktops/XvfbMonitors.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

constexpr int kW = 101, kH = 61;  // the picture: odd sides test the rounding
constexpr int kRootW = 3328, kRootH = 1024;

Rgb PictureAt(int x, int y) { return {x * 2 + 1, y * 4 + 1, 200}; }

struct Area {
    int x, y, w, h;
    bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// Two 1024 x 768 monitors side by side, the left one primary, and a
// 1280 x 1024 one beside them; the strip below the first two is no monitor's.
constexpr Area kLeft{0, 0, 1024, 768}, kRight{1024, 0, 1024, 768}, kBig{2048, 0, 1280, 1024};

class MonitorsOnX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Get()) << "no Xvfb";
        if (!std::filesystem::exists("/usr/bin/xrandr")) GTEST_SKIP() << "xrandr is not installed";
        WriteBmp24(work_.Path() + "/pic.bmp", kW, kH, PictureAt);
        // xrandr splits the one output into monitors; "*" marks the primary.
        ASSERT_EQ(SetMonitors(server_, {{"*left", "1024/270x768/203+0+0"},
                                        {"right", "1024/270x768/203+1024+0"},
                                        {"big", "1280/338x1024/270+2048+0"}}),
                  "");
    }

    void Change(std::vector<std::string> args) {
        args.insert(args.end(), {"--desktop", "x11", "--no-run", work_.Path() + "/pic.bmp"});
        Child run(VANTORIA_CHANGE_PROGRAM, args,
                  {{"XDG_CONFIG_HOME", work_.Path() + "/config"}, {"DISPLAY", server_.Name()}}, work_.Path());
        ASSERT_EQ(run.Wait(), 0) << run.Output();
        root_ = RootPixels(server_.Get(), kRootW, kRootH);
        ASSERT_FALSE(root_.Empty());
    }

    // Centred on each monitor in `monitors`, black elsewhere.
    int CentredMismatches(const std::vector<Area>& monitors, std::string& first) const {
        return root_.Mismatches(
            [&](int x, int y) {
                for (const Area& m : monitors) {
                    if (!m.Contains(x, y)) continue;
                    // An odd pixel of room goes right and down.
                    const int px = x - m.x - (m.w - kW) / 2, py = y - m.y - (m.h - kH) / 2;
                    return px >= 0 && px < kW && py >= 0 && py < kH ? PictureAt(px, py) : Rgb{};
                }
                return Rgb{};
            },
            &first);
    }

    XvfbServer server_{std::to_string(kRootW) + "x" + std::to_string(kRootH) + "x24"};
    TempDir work_;
    RootPixels root_;
};

TEST_F(MonitorsOnX11Test, EveryMonitorShowsTheLayoutOfItsOwnSize) {
    std::string first;
    Change({"--position", "0", "--size", "0"});
    EXPECT_EQ(CentredMismatches({kLeft, kRight, kBig}, first), 0) << first;

    // Tiled with one copy centred: each monitor's own composition, tiled
    // from its top-left corner, has a copy in that monitor's middle.
    Change({"--position", "2", "--arrange", "0"});
    first.clear();
    EXPECT_EQ(root_.Mismatches(
                  [&](int x, int y) {
                      for (const Area& m : {kLeft, kRight, kBig}) {
                          if (!m.Contains(x, y)) continue;
                          const int cx = m.x + m.w / 2 - kW / 2, cy = m.y + m.h / 2 - kH / 2;
                          return PictureAt(Mod(x - cx, kW), Mod(y - cy, kH));
                      }
                      return Rgb{};
                  },
                  &first),
              0)
        << first;
    // The buffer file is the primary monitor's composition.
    const raster::Bitmap buffer = dib::LoadBmpFile(work_.Path() + "/Runo.bmp");
    ASSERT_EQ(buffer.Width(), kW);
    ASSERT_EQ(buffer.Height(), kH);
    int wrong = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const std::uint8_t* p = buffer.ScanLine(y) + 3 * x;
            const Rgb want = PictureAt(Mod(x - (512 - kW / 2), kW), Mod(y - (384 - kH / 2), kH));
            wrong += Rgb{p[2], p[1], p[0]} != want;
        }
    EXPECT_EQ(wrong, 0);

    // --monitors names other monitors than the server's: the large one first,
    // so primary; the right half of the split shows nothing.
    Change({"--position", "0", "--size", "0", "--monitors", "1280x1024+2048+0,1024x768+0+0"});
    first.clear();
    EXPECT_EQ(CentredMismatches({kLeft, kBig}, first), 0) << first;
}

}  // namespace
}  // namespace vantoria::test
