// The tray program starting on several monitors of different sizes, after
// a login put back the buffer file alone (the primary monitor's picture):
// it draws every monitor's own composition once it runs.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "desktops/DesktopSession.h"
#include "desktops/RootPixels.h"
#include "desktops/XvfbMonitors.h"
#include "platform/desktop/XvfbServer.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

constexpr int kW = 101, kH = 61;
constexpr int kRootW = 1040, kRootH = 480;
constexpr int kTrayHeight = 24;

Rgb PictureAt(int x, int y) { return {x * 2 + 1, y * 4 + 1, 200}; }

TEST(TrayStartRedrawTest, SeveralMonitorsGetTheirOwnPictureWhenTheProgramStarts) {
    if (FindProgram("xrandr").empty() || FindProgram("trayer").empty()) GTEST_SKIP() << "xrandr or trayer missing";
    XvfbServer server(std::to_string(kRootW) + "x" + std::to_string(kRootH) + "x24");
    ASSERT_TRUE(server.Get()) << "no Xvfb";
    TempDir work, config, runtime;
    WriteBmp24(work.Path() + "/pic.bmp", kW, kH, PictureAt);
    ASSERT_EQ(SetMonitors(server, {{"*left", "640/170x480/127+0+0"}, {"right", "400/100x300/80+640+0"}}), "");
    // Tiled with one copy centred: a layout that depends on the monitor's size.
    std::filesystem::create_directories(config.Path() + "/vantoria");
    std::ofstream(config.Path() + "/vantoria/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n\"WallPaper\"=\"" << work.Path()
        << "/pic.bmp\"\n\"WallPosition\"=\"2\"\n\"WallArrange\"=\"0\"\n\"NoRunAp\"=\"1\"\n";
    const auto env = BareX11TrayEnv(server, work.Path(), config.Path(), runtime.Path());
    // The last change, then a login's --restore: the buffer file on both monitors.
    {
        auto once = env;
        once["VANTORIA_MONITORS"] = "640x480+0+0";
        Child change(VANTORIA_CHANGE_PROGRAM, {"--position", "2", "--arrange", "0", "--no-run", work.Path() + "/pic.bmp"},
                     once, work.Path());
        ASSERT_EQ(change.Wait(), 0) << change.Output();
        Child restore(VANTORIA_CHANGE_PROGRAM, {"--restore"}, env, work.Path());
        ASSERT_EQ(restore.Wait(), 0) << restore.Output();
    }
    auto expected = [](int x, int y) {
        const int mx = x < 640 ? 0 : 640, mw = x < 640 ? 640 : 400, mh = x < 640 ? 480 : 300;
        if (y >= mh) return Rgb{};
        const int cx = mx + mw / 2 - kW / 2, cy = mh / 2 - kH / 2;
        return PictureAt(Mod(x - cx, kW), Mod(y - cy, kH));
    };
    std::string first;
    ASSERT_NE(RootPixels(server.Get(), kRootW, kRootH, kTrayHeight).Mismatches(expected, &first), 0)
        << "--restore already drew each monitor's own picture";

    const auto trayer = StartTrayStrip(server, kTrayHeight, work.Path());
    ASSERT_TRUE(trayer->Running()) << trayer->Output();
    Child tray(VANTORIA_PROGRAM, {}, env, work.Path());
    const bool redrawn = WaitUntil(
        [&] {
            tray.Running();
            first.clear();
            return RootPixels(server.Get(), kRootW, kRootH, kTrayHeight).Mismatches(expected, &first) == 0;
        },
        std::chrono::seconds(30));
    EXPECT_TRUE(redrawn) << first << "\n" << tray.Output();
}

}  // namespace
}  // namespace vantoria::test
