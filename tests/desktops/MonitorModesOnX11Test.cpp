// MonitorMode 1 and 2 on a private X server split into monitors: a picture
// of its own on each monitor, or one picture across all of them with the
// gaps between them black; and a drawing whose monitors change under it.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "compose/MonitorCompositions.h"
#include "desktops/RootPixels.h"
#include "desktops/XvfbMonitors.h"
#include "platform/desktop/X11Root.h"
#include "settings/ApSystem.h"
#include "platform/desktop/XvfbServer.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

constexpr int kRootW = 3328, kRootH = 1024;

struct Area {
    int x, y, w, h;
    bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// Two 1024 x 768 monitors side by side, the left one primary, and a
// 1280 x 1024 one beside them; below the first two is no monitor.
constexpr Area kLeft{0, 0, 1024, 768}, kRight{1024, 0, 1024, 768}, kBig{2048, 0, 1280, 1024};

Rgb Colour(int which, int x, int y) { return {(x * 3 + which * 70) % 256, (y * 5) % 256, which * 60 + 10}; }

class MonitorModesOnX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Get()) << "no Xvfb";
        if (!std::filesystem::exists("/usr/bin/xrandr")) GTEST_SKIP() << "xrandr is not installed";
        ASSERT_EQ(SetMonitors(server_, {{"*left", "1024/270x768/203+0+0"},
                                        {"right", "1024/270x768/203+1024+0"},
                                        {"big", "1280/338x1024/270+2048+0"}}),
                  "");
    }

    void Settings(const std::string& values) {
        std::filesystem::create_directories(work_.Path() + "/config/vantoria");
        std::ofstream(work_.Path() + "/config/vantoria/registry.reg")
            << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
            << values << "\n";
    }

    void Change(const std::string& file) {
        Child run(VANTORIA_CHANGE_PROGRAM, {"--desktop", "x11", "--no-run", file},
                  {{"XDG_CONFIG_HOME", work_.Path() + "/config"}, {"DISPLAY", server_.Name()}}, work_.Path());
        ASSERT_EQ(run.Wait(), 0) << run.Output();
        root_ = RootPixels(server_.Get(), kRootW, kRootH);
        ASSERT_FALSE(root_.Empty());
    }

    XvfbServer server_{std::to_string(kRootW) + "x" + std::to_string(kRootH) + "x24"};
    TempDir work_;
    RootPixels root_;
};

TEST_F(MonitorModesOnX11Test, APictureEachAndOnePictureAcrossAllMonitors) {
    // Pictures that the layout leaves unscaled, centred (WallPosition 0, WallSize 0).
    constexpr int kW = 301, kH = 61;
    for (int i = 0; i < 3; ++i)
        WriteBmp24(work_.Path() + "/p" + std::to_string(i) + ".bmp", kW, kH,
                   [i](int x, int y) { return Colour(i, x, y); });

    // Mode 1: the primary monitor shows the changed file, the others the
    // files assigned to them by name.
    Settings("\"WallPosition\"=\"0\"\n\"WallSize\"=\"0\"\n\"MonitorMode\"=\"1\"\n\"MonitorWallPapers\"=\"right\t" +
             work_.Path() + "/p1.bmp\\nbig\t" + work_.Path() + "/p2.bmp\\n\"");
    Change(work_.Path() + "/p0.bmp");
    std::string first;
    const Area monitors[] = {kLeft, kRight, kBig};
    EXPECT_EQ(root_.Mismatches(
                  [&](int x, int y) {
                      for (int i = 0; i < 3; ++i) {
                          const Area& m = monitors[i];
                          if (!m.Contains(x, y)) continue;
                          const int px = x - m.x - (m.w - kW) / 2, py = y - m.y - (m.h - kH) / 2;
                          return px >= 0 && px < kW && py >= 0 && py < kH ? Colour(i, px, py) : Rgb{};
                      }
                      return Rgb{};
                  },
                  &first),
              0)
        << first;

    // Mode 2: one wide picture centred on the box of all three, crossing
    // from the right monitor into the big one; nothing in the gap below.
    constexpr int kWideW = 1201, kWideH = 700;
    WriteBmp24(work_.Path() + "/wide.bmp", kWideW, kWideH, [](int x, int y) { return Colour(1, x, y); });
    Settings("\"WallPosition\"=\"0\"\n\"WallSize\"=\"0\"\n\"MonitorMode\"=\"2\"");
    Change(work_.Path() + "/wide.bmp");
    const int left = (kRootW - kWideW) / 2, top = (kRootH - kWideH) / 2;
    first.clear();
    EXPECT_EQ(root_.Mismatches(
                  [&](int x, int y) {
                      const bool shown = kLeft.Contains(x, y) || kRight.Contains(x, y) || kBig.Contains(x, y);
                      const int px = x - left, py = y - top;
                      return shown && px >= 0 && px < kWideW && py >= 0 && py < kWideH ? Colour(1, px, py) : Rgb{};
                  },
                  &first),
              0)
        << first;

    // Two monitors with a gap between them: the box spans the gap, which stays black.
    Child remove("/usr/bin/xrandr", {"--delmonitor", "right"}, {{"DISPLAY", server_.Name()}}, work_.Path());
    ASSERT_EQ(remove.Wait(), 0) << remove.Output();
    Change(work_.Path() + "/wide.bmp");
    first.clear();
    EXPECT_EQ(root_.Mismatches(
                  [&](int x, int y) {
                      const bool shown = kLeft.Contains(x, y) || kBig.Contains(x, y);
                      const int px = x - left, py = y - top;
                      return shown && px >= 0 && px < kWideW && py >= 0 && py < kWideH ? Colour(1, px, py) : Rgb{};
                  },
                  &first),
              0)
        << first;
}

// Monitors that change while the drawing is made: the drawing is made again
// for the monitors there are now.
TEST_F(MonitorModesOnX11Test, ADrawingWhoseMonitorsChangedIsMadeAgain) {
    const std::string buffer = work_.Path() + "/buffer.bmp";
    WriteBmp24(buffer, 1024, 768, [](int, int) { return Rgb{0, 200, 0}; });
    ::setenv("DISPLAY", server_.Name().c_str(), 1);
    bool changed = false;
    MonitorComposer composer;
    composer.compose = [&](const Monitor& m) -> std::optional<raster::Bitmap> {
        if (!changed) {
            changed = true;  // a hot-plug while the first drawing is made
            Child remove("/usr/bin/xrandr", {"--delmonitor", "right"}, {{"DISPLAY", server_.Name()}}, work_.Path());
            EXPECT_EQ(remove.Wait(), 0);
            EXPECT_EQ(SetMonitors(server_, {{"wide", "2304/600x1024/270+1024+0"}}), "");
            Child del("/usr/bin/xrandr", {"--delmonitor", "big"}, {{"DISPLAY", server_.Name()}}, work_.Path());
            EXPECT_EQ(del.Wait(), 0);
        }
        if (m.width == 1024 && m.height == 768) return std::nullopt;
        raster::Bitmap own(m.width, m.height);
        own.Fill(0, 0, 200);  // red
        return own;
    };
    ASSERT_TRUE(desktop::SetX11RootWallpaper(buffer, false, composer).ok);
    root_ = RootPixels(server_.Get(), kRootW, kRootH);
    std::string first;
    EXPECT_EQ(root_.Mismatches(
                  [&](int x, int y) {
                      if (kLeft.Contains(x, y)) return Rgb{0, 200, 0};
                      return x >= 1024 ? Rgb{200, 0, 0} : Rgb{};
                  },
                  &first),
              0)
        << first;
}

// Every monitor's picture is made in its turn and gone before the next one:
// however many monitors an X client adds, one of them is held at a time.
TEST_F(MonitorModesOnX11Test, MonitorPicturesAreHeldOneAtATime) {
    const std::string buffer = work_.Path() + "/buffer.bmp";
    WriteBmp24(buffer, 64, 64, [](int, int) { return Rgb{9, 9, 9}; });
    ::setenv("DISPLAY", server_.Name().c_str(), 1);
    int live = 0, most = 0, made = 0;
    MonitorComposer composer;
    composer.sizeOnly = false;
    composer.compose = [&](const Monitor& m) -> std::optional<raster::Bitmap> {
        ++made;
        most = std::max(most, ++live);
        auto* pixels = new std::uint8_t[raster::RowBytes(m.width) * static_cast<std::size_t>(m.height)]();
        return raster::Bitmap::Adopt(m.width, m.height, false, {pixels, [&live](std::uint8_t* p) {
                                                                    --live;
                                                                    delete[] p;
                                                                }});
    };
    ASSERT_TRUE(desktop::SetX11RootWallpaper(buffer, false, composer).ok);
    EXPECT_EQ(made, 3);
    EXPECT_EQ(most, 1);
    EXPECT_EQ(live, 0);

    // A size the memory budget cannot hold is refused before it is made.
    ::setenv("VANTORIA_MEMORY_LIMIT", "4000000", 1);
    TApSystem settings;
    const MonitorComposer sized = compose::ForOtherMonitorSizes(raster::Bitmap(64, 64), settings, 1,
                                                                [] { return raster::ScreenSize{64, 64}; });
    Monitor large;
    large.width = 1280;
    large.height = 1024;
    large.name = "big";
    EXPECT_FALSE(sized(large));
    EXPECT_NE(sized.problem->find("big"), std::string::npos) << *sized.problem;
    EXPECT_NE(sized.problem->find("MB"), std::string::npos) << *sized.problem;
    ::unsetenv("VANTORIA_MEMORY_LIMIT");
}

}  // namespace
}  // namespace vantoria::test
