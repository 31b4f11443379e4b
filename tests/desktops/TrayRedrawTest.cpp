// The tray program on a private X server: when the monitors change under
// it (here xrandr splitting the screen in two), it draws the current
// wallpaper again, centred on each new monitor.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/X11Windows.h"
#include "desktops/DesktopSession.h"
#include "desktops/RootPixels.h"
#include "desktops/XvfbMonitors.h"
#include "platform/desktop/XvfbServer.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

constexpr int kW = 101, kH = 61;
constexpr int kRootW = 1280, kRootH = 480;

Rgb PictureAt(int x, int y) { return {x * 2 + 1, y * 4 + 1, 200}; }

TEST(TrayRedrawTest, AMonitorChangeRedrawsTheWallpaperForTheNewMonitors) {
    if (FindProgram("xrandr").empty()) GTEST_SKIP() << "xrandr is not installed";
    XvfbServer server(std::to_string(kRootW) + "x" + std::to_string(kRootH) + "x24");
    ASSERT_TRUE(server.Get()) << "no Xvfb";
    TempDir work, config, runtime;
    WriteBmp24(work.Path() + "/pic.bmp", kW, kH, PictureAt);
    // The last session left our buffer on the desktop, centred.
    std::filesystem::create_directories(config.Path() + "/vantoria");
    std::ofstream(config.Path() + "/vantoria/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Control Panel\\desktop]\n\"TileWallPaper\"=\"0\"\n\"Wallpaper\"=\""
        << work.Path() << "/Runo.bmp\"\n\n"
        << "[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n\"WallPaper\"=\"" << work.Path()
        << "/pic.bmp\"\n\"WallPosition\"=\"0\"\n\"WallSize\"=\"0\"\n\"NoRunAp\"=\"0\"\n\"RunAp\"=\"/bin/touch "
        << work.Path() << "/ran\"\n";

    // A tray host in a strip along the top, so the program docks instead of
    // asking for one in a message box over the wallpaper.
    constexpr int kTrayHeight = 24;
    const auto trayer = StartTrayStrip(server, kTrayHeight, work.Path());
    ASSERT_TRUE(trayer->Running()) << trayer->Output();

    Child tray(VANTORIA_PROGRAM, {}, BareX11TrayEnv(server, work.Path(), config.Path(), runtime.Path()), work.Path());
    // Once its icon is docked the program has started whole, watching the
    // monitors among the rest; a change from then on reaches it. (A window
    // count alone may rise with the tray host's own windows, or before the
    // program looks at the monitors.)
    ASSERT_TRUE(WaitUntil([&] { return !tray.Running() || FindTrayIcon(server.Get()).has_value(); }))
        << tray.Output();
    ASSERT_TRUE(tray.Running()) << tray.Output();

    ASSERT_EQ(SetMonitors(server, {{"*left", "640/170x480/127+0+0"}, {"right", "640/170x480/127+640+0"}}), "");
    std::string first;
    const bool redrawn = WaitUntil(
        [&] {
            tray.Running();
            first.clear();
            return RootPixels(server.Get(), kRootW, kRootH, kTrayHeight)
                       .Mismatches(
                           [](int x, int y) {
                               const int px = x % 640 - (640 - kW) / 2, py = y - (kRootH - kH) / 2;
                               return px >= 0 && px < kW && py >= 0 && py < kH ? PictureAt(px, py) : Rgb{};
                           },
                           &first) == 0;
        },
        std::chrono::seconds(60));
    EXPECT_TRUE(redrawn) << first << "\n" << tray.Output();
    // Only the layout changed, not the picture: no after-change program.
    EXPECT_FALSE(std::filesystem::exists(work.Path() + "/ran"));
}

}  // namespace
}  // namespace vantoria::test
