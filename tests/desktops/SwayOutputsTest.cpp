// One picture across the two outputs of a headless sway: each output shows
// its part of it, set per output through swaymsg. sway refuses to run as
// root, so the compositor and the change run as an unprivileged user.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "desktops/DesktopSession.h"
#include "desktops/HeadlessSway.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

constexpr int kW = 300, kH = 100;
constexpr int kBoxW = 720, kBoxH = 300;  // 400 x 300 at 0,0 and 320 x 240 at 400,0

Rgb PictureAt(int x, int y) { return {(x * 3) % 256, y * 2 + 1, 90}; }

TEST(SwayOutputsTest, OnePictureAcrossTwoOutputs) {
    if (const std::string missing = MissingProgram({"sway", "swaybg", "grim", "setpriv", "swaymsg"}); !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0711);
    const std::string home = dir.Path() + "/home", run = dir.Path() + "/run";
    for (const std::string& d : {home, run, home + "/config-home", home + "/config-home/vantoria"}) {
        std::filesystem::create_directories(d);
        ASSERT_EQ(::chown(d.c_str(), kNobodyId, kNobodyId), 0);
        ::chmod(d.c_str(), 0700);
    }
    std::ofstream(home + "/config") << "xwayland disable\n"
                                       "output HEADLESS-1 mode 400x300 position 0 0\n"
                                       "output HEADLESS-2 mode 320x240 position 400 0\n";
    // Unscaled and centred (WallPosition 0, WallSize 0), across both outputs.
    const std::string registry = home + "/config-home/vantoria/registry.reg";
    std::ofstream(registry) << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
                               "\"WallPosition\"=\"0\"\n\"WallSize\"=\"0\"\n\"MonitorMode\"=\"2\"\n";
    WriteBmp24(home + "/pic.bmp", kW, kH, PictureAt);
    for (const std::string& f : {registry, home + "/pic.bmp"}) ASSERT_EQ(::chown(f.c_str(), kNobodyId, kNobodyId), 0);
    const std::string change = CopyWithDecodeHelper(VANTORIA_CHANGE_PROGRAM, dir.Path());
    auto env = HeadlessSwayEnv(home, home + "/config-home", run);
    env["WLR_HEADLESS_OUTPUTS"] = "2";
    Child sway(FindProgram("setpriv"), AsNobody({FindProgram("sway"), "-c", home + "/config"}), env, home);
    ASSERT_TRUE(WaitForSwaySockets(sway, run, env)) << sway.Output();

    Child run_change(FindProgram("setpriv"), AsNobody({change, "--no-run", home + "/pic.bmp"}), env, home);
    ASSERT_EQ(run_change.Wait(), 0) << run_change.Output();

    const int left = (kBoxW - kW) / 2, top = (kBoxH - kH) / 2;
    for (const auto& [output, ox, ow, oh] :
         {std::tuple{"HEADLESS-1", 0, 400, 300}, std::tuple{"HEADLESS-2", 400, 320, 240}}) {
        std::string first;
        const bool shown = WaitUntil(
            [&, output = output, ox = ox, ow = ow, oh = oh] {
                sway.Running();
                return SwayShows(env, dir.Path(), output, ow, oh,
                                 [&](const std::vector<Rgb>&, int x, int y) {
                                     const int px = ox + x - left, py = y - top;
                                     return px >= 0 && px < kW && py >= 0 && py < kH ? PictureAt(px, py) : Rgb{};
                                 },
                                 first);
            },
            std::chrono::seconds(30));
        EXPECT_TRUE(shown) << output << ": " << first;
    }
}

}  // namespace
}  // namespace vantoria::test
