// A Wayland session whose X server (Xwayland) shows an output scaled: the
// output's size is the compositor's mode in device pixels, its place the X
// server's. Here a headless sway with one output at twice the scale, and an
// Xvfb of that output's logical size standing for its Xwayland.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "desktops/DesktopSession.h"
#include "desktops/HeadlessSway.h"
#include "platform/desktop/DesktopTestEnv.h"
#include "platform/screen/Screen.h"
#include "support/Child.h"

namespace vantoria::test {
namespace {

TEST(WaylandSizesTest, AnOutputXwaylandShowsScaledHasItsDeviceSize) {
    if (const std::string missing = MissingProgram({"sway", "setpriv", "Xvfb"}); !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0711);
    const std::string home = dir.Path() + "/home", run = dir.Path() + "/run";
    for (const std::string& d : {home, run}) {
        std::filesystem::create_directories(d);
        ASSERT_EQ(::chown(d.c_str(), kNobodyId, kNobodyId), 0);
        ::chmod(d.c_str(), 0700);
    }
    std::ofstream(home + "/config") << "xwayland disable\noutput HEADLESS-1 mode 800x600 position 0 0 scale 2\n";
    auto env = HeadlessSwayEnv(home, home, run);
    Child sway(FindProgram("setpriv"), AsNobody({FindProgram("sway"), "-c", home + "/config"}), env, home);
    ASSERT_TRUE(WaitForSwaySockets(sway, run, env)) << sway.Output();
    XvfbServer xwayland("400x300x24");
    ASSERT_TRUE(xwayland.Get());

    const ScopedEnv x("DISPLAY", xwayland.Name()), wayland("WAYLAND_DISPLAY", run + "/" + env["WAYLAND_DISPLAY"]),
        runtime("XDG_RUNTIME_DIR", run), noSway("SWAYSOCK", std::nullopt), noGiven("VANTORIA_MONITORS", std::nullopt);
    std::string why;
    const std::optional<MonitorList> monitors = CurrentMonitors(why);
    ASSERT_TRUE(monitors) << why;
    ASSERT_EQ(monitors->size(), 1u);
    EXPECT_EQ(monitors->front().Size(), (raster::ScreenSize{800, 600}));
    EXPECT_EQ(PrimaryScreenSize(why), (raster::ScreenSize{800, 600}));
    // Without the compositor, the X server's size stands.
    const ScopedEnv noWayland("WAYLAND_DISPLAY", std::nullopt);
    EXPECT_EQ(PrimaryScreenSize(why), (raster::ScreenSize{400, 300}));
}

}  // namespace
}  // namespace vantoria::test
