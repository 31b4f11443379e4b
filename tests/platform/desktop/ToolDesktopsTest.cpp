// The desktops reached through command-line tools, against stand-ins that
// record their arguments: what each tool is told, fresh picture names,
// paths that must stay one argument, and failures.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "platform/desktop/DeskWallpaper.h"
#include "platform/desktop/Quoting.h"
#include "platform/desktop/ToolRunner.h"
#include "platform/desktop/DesktopTestEnv.h"
#include "platform/dib/Dib.h"
#include "platform/raster/Bitmap.h"
#include "platform/registry/Registry.h"

namespace vantoria::desktop {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Args = std::vector<std::string>;

std::string RegistryValue(const std::string& name) {
    registry::TRegistry reg;
    return reg.OpenKey("\\Control Panel\\desktop", false) ? reg.ReadString(name) : "<no key>";
}

void SetTile(bool tile) {
    registry::TRegistry reg;
    EXPECT_TRUE(reg.OpenKey("\\Control Panel\\desktop", true));
    reg.WriteString("TileWallPaper", tile ? "1" : "0");
    reg.CloseKey();
}

class ToolDesktopTest : public ::testing::Test {
protected:
    explicit ToolDesktopTest(const char* desktop = "kde") : box_(desktop), tools_(box_.Dir() + "/tools") {}

    // A buffer file such as composition writes, in a folder of its own.
    std::string Buffer(const std::string& folder = "start") const {
        const std::string dir = box_.Dir() + "/" + folder;
        std::filesystem::create_directories(dir);
        raster::Bitmap picture(4, 3);
        picture.Fill(10, 20, 30);
        picture.SaveToFile(dir + "/Runo.bmp");
        return dir + "/Runo.bmp";
    }
    std::string OnlyCachedCopy() const {
        const auto copies = box_.CachedCopies();
        EXPECT_EQ(copies.size(), 1u);
        return copies.empty() ? "" : copies.front();
    }

    // The monitors are the test's own, never those of a display it runs under.
    const test::ScopedEnv noX_{"DISPLAY", std::nullopt}, noWayland_{"WAYLAND_DISPLAY", std::nullopt},
        noSway_{"SWAYSOCK", std::nullopt}, noMonitors_{"VANTORIA_MONITORS", std::nullopt};
    test::DesktopSandbox box_;
    test::StandIns tools_;
};

TEST_F(ToolDesktopTest, PlasmaGetsAScriptForEveryDesktop) {
    tools_.Add("dbus-send");
    const std::string buffer = Buffer();
    SetTile(true);
    {
        // Monitors unknown: Plasma tiles from the screen's centre, so it gets
        // our own tiling from the top-left, as large as the screen, centred.
        const test::ScopedEnv screen("VANTORIA_SCREEN", "8x4");
        ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    }
    SetTile(false);
    ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    ASSERT_TRUE(SetDeskWallpaper("").ok);

    const auto calls = tools_.Calls("dbus-send");
    ASSERT_EQ(calls.size(), 3u);
    const Args fixed{"--session", "--print-reply", "--dest=org.kde.plasmashell", "/PlasmaShell",
                     "org.kde.PlasmaShell.evaluateScript"};
    for (const Args& call : calls) {
        ASSERT_EQ(call.size(), 6u);
        EXPECT_EQ(Args(call.begin(), call.begin() + 5), fixed);
        EXPECT_THAT(call[5], StartsWith("string:var all = desktops();"));
    }
    EXPECT_THAT(calls[0][5], HasSubstr("d.wallpaperPlugin = \"org.kde.image\";"));
    EXPECT_THAT(calls[0][5], HasSubstr("d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];"));
    EXPECT_THAT(calls[0][5], HasSubstr("d.writeConfig(\"Image\", \"file://" + box_.CacheDir().string() + "/wallpaper-"));
    EXPECT_THAT(calls[0][5], HasSubstr("d.writeConfig(\"FillMode\", 6);"));
    EXPECT_THAT(calls[1][5], HasSubstr("d.writeConfig(\"FillMode\", 6);"));
    EXPECT_THAT(calls[2][5], HasSubstr("d.wallpaperPlugin = \"org.kde.color\";"));
    EXPECT_THAT(calls[2][5], Not(HasSubstr("Image")));
    // The profile records the buffer file, not the desktop's copy; removal empties it.
    EXPECT_EQ(RegistryValue("Wallpaper"), "");
    EXPECT_TRUE(box_.CachedCopies().empty());
}

// With its monitors known, Plasma draws each desktop's picture one to one
// at any display scale only when it is as large as the monitor: each gets
// one of its own device-pixel size, found by where its screen starts.
TEST_F(ToolDesktopTest, PlasmaGetsEachMonitorAPictureOfItsOwnSize) {
    tools_.Add("dbus-send");
    const test::ScopedEnv monitors("VANTORIA_MONITORS", "8x4+0+0,4x2+8+1");
    const std::string buffer = Buffer();  // 4 x 3, one colour
    for (const bool tile : {false, true}) {
        SetTile(tile);
        ASSERT_EQ(SetDeskWallpaper(buffer).reason, "");
        const std::string script = tools_.Calls("dbus-send").back()[5];
        EXPECT_THAT(script, HasSubstr("d.writeConfig(\"FillMode\", 2);"));
        const std::string start = "{x: 0, y: 0, uri: \"file://", second = "{x: 8, y: 1, uri: \"file://";
        ASSERT_THAT(script, HasSubstr(start));
        ASSERT_THAT(script, HasSubstr(second));
        auto picture = [&](const std::string& entry) {
            const std::size_t at = script.find(entry) + entry.size();
            return dib::LoadBmpFile(script.substr(at, script.find('"', at) - at));
        };
        const raster::Bitmap primary = picture(start), other = picture(second);
        ASSERT_EQ(std::pair(primary.Width(), primary.Height()), std::pair(8, 4));
        ASSERT_EQ(std::pair(other.Width(), other.Height()), std::pair(4, 2));
        // Centred, black beside it; tiled from each monitor's corner, no black.
        auto lit = [](const raster::Bitmap& b, int x, int y) { return b.ScanLine(y)[3 * x] == 10; };
        EXPECT_EQ(lit(primary, 0, 0), tile);
        EXPECT_TRUE(lit(primary, 2, 0) && lit(primary, 5, 2) && lit(other, 0, 0) && lit(other, 3, 1));
        EXPECT_EQ(lit(primary, 7, 3), tile);
        EXPECT_EQ(box_.CachedCopies().size(), 2u);
    }
}

TEST_F(ToolDesktopTest, EachChangeShowsAFreshNameAndKeepsOnlyTheNewest) {
    tools_.Add("dbus-send");
    const std::string buffer = Buffer();
    ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    const std::string first = OnlyCachedCopy();
    ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    const std::string second = OnlyCachedCopy();
    EXPECT_NE(first, second);
    EXPECT_THAT(second, StartsWith(box_.CacheDir().string() + "/wallpaper-"));
    EXPECT_EQ(test::ReadFile(second), test::ReadFile(buffer));
    EXPECT_THAT(tools_.Calls("dbus-send")[1][5], HasSubstr(FileUri(second)));
    EXPECT_EQ(RegistryValue("Wallpaper"), buffer);
}

TEST_F(ToolDesktopTest, ARefusedChangeKeepsTheShownPictureAndRecordsNothing) {
    tools_.Add("dbus-send");
    const std::string buffer = Buffer();
    ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    const std::string shown = OnlyCachedCopy();

    tools_.Add("dbus-send", 1, "", "Error org.freedesktop.DBus.Error.ServiceUnknown: no plasmashell\nmore\n");
    const std::string other = Buffer("elsewhere");
    const DesktopResult result = SetDeskWallpaper(other);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reason, "dbus-send failed: Error org.freedesktop.DBus.Error.ServiceUnknown: no plasmashell");
    EXPECT_EQ(OnlyCachedCopy(), shown);
    EXPECT_EQ(RegistryValue("Wallpaper"), buffer);

    tools_.Add("dbus-send", 3);
    EXPECT_EQ(SetDeskWallpaper(other).reason, "dbus-send failed: exit code 3");
    EXPECT_THAT(SetDeskWallpaper(box_.Dir() + "/missing.bmp").reason,
                StartsWith("cannot read " + box_.Dir() + "/missing.bmp: "));
    const test::StandIns nothing(box_.Dir() + "/empty", false);
    EXPECT_EQ(SetDeskWallpaper(other).reason, "cannot run dbus-send: not found");
    EXPECT_EQ(OnlyCachedCopy(), shown);
}

// Changes running at once (the tray program, scripts) take turns: the
// desktop is always left with a copy that is still there, and only that one.
TEST_F(ToolDesktopTest, ConcurrentChangesLeaveTheDesktopACopyThatExists) {
    const test::ScopedEnv sway("VANTORIA_DESKTOP", "sway");
    const std::string shown = box_.Dir() + "/shown";
    // Records what the desktop was given, slowly enough for changes to overlap.
    const std::filesystem::path script = box_.Dir() + "/tools/bin/swaymsg";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$4\" > '" << shown << ".new'\nsleep 0.05\nmv '" << shown
                          << ".new' '" << shown << "'\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const std::string buffer = Buffer();
    std::vector<pid_t> children;
    for (int i = 0; i < 4; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) ::_exit(SetDeskWallpaper(buffer).ok ? 0 : 1);
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(OnlyCachedCopy(), test::ReadFile(shown));
}

TEST_F(ToolDesktopTest, PathsStayOneArgumentAndAreNeverRunByAShell) {
    // The cache folder is what the tools see; give it every character that
    // a shell or a script would act on.
    const std::string odd = box_.Dir() + "/a b'c\"d$(touch pwned);e\\f`g`";
    const test::ScopedEnv cache("XDG_CACHE_HOME", odd);
    const std::string buffer = Buffer("start $(touch pwned); 'x'");
    for (const char* tool : {"dbus-send", "pcmanfm-qt", "xfconf-query", "swaymsg"}) tools_.Add(tool);

    ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    const std::string copy = OnlyCachedCopy();
    EXPECT_THAT(copy, StartsWith(odd + "/vantoria/wallpaper-"));
    EXPECT_EQ(RegistryValue("Wallpaper"), buffer);
    const std::string uri = tools_.Calls("dbus-send")[0][5];
    EXPECT_THAT(uri, HasSubstr("/a%20b%27c%22d%24%28touch%20pwned%29%3Be%5Cf%60g%60/vantoria/wallpaper-"));

    const test::ScopedEnv lxqt("VANTORIA_DESKTOP", "lxqt");
    ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    EXPECT_EQ(tools_.Calls("pcmanfm-qt")[0][1], OnlyCachedCopy());

    const test::ScopedEnv sway("VANTORIA_DESKTOP", "sway");
    const DesktopResult refused = SetDeskWallpaper(buffer);
    EXPECT_FALSE(refused.ok);
    EXPECT_THAT(refused.reason, HasSubstr("XDG_CACHE_HOME"));
    EXPECT_TRUE(tools_.Calls("swaymsg").empty());
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    EXPECT_FALSE(std::filesystem::exists(box_.Dir() + "/pwned"));
}

class XfceTest : public ToolDesktopTest {
protected:
    XfceTest() : ToolDesktopTest("xfce") {}
};

TEST_F(XfceTest, EveryBackdropGetsThePictureAndItsStyle) {
    tools_.Add("xfconf-query", 0,
               "/backdrop/screen0/monitorHDMI-1/workspace0/color-style\n"
               "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
               "/backdrop/screen0/monitor0/workspace1/last-image\n"
               "/backdrop/single-workspace-mode\n");
    const std::string buffer = Buffer();
    SetTile(true);
    ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    const std::string copy = OnlyCachedCopy();
    const std::string a = "/backdrop/screen0/monitorHDMI-1/workspace0/";
    const std::string b = "/backdrop/screen0/monitor0/workspace1/";
    auto set = [](const std::string& p, const char* type, const std::string& v) {
        return Args{"-c", "xfce4-desktop", "-p", p, "-n", "-t", type, "-s", v};
    };
    EXPECT_THAT(tools_.Calls("xfconf-query"),
                ElementsAre(Args{"-c", "xfce4-desktop", "-l"}, set(a + "image-style", "int", "2"),
                            set(a + "last-image", "string", copy), set(b + "image-style", "int", "2"),
                            set(b + "last-image", "string", copy)));

    SetTile(false);
    ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    EXPECT_EQ(tools_.Calls("xfconf-query")[6], set(a + "image-style", "int", "1"));

    ASSERT_TRUE(SetDeskWallpaper("").ok);
    const auto calls = tools_.Calls("xfconf-query");
    EXPECT_EQ(calls.end()[-2], set(a + "image-style", "int", "0"));
    EXPECT_EQ(calls.back(), set(b + "image-style", "int", "0"));
}

TEST_F(XfceTest, ANewDesktopGetsItsFirstBackdropCreated) {
    tools_.Add("xfconf-query", 1, "", "Channel \"xfce4-desktop\" contains no properties\n");
    ASSERT_FALSE(SetDeskWallpaper(Buffer()).ok);  // the stand-in refuses the settings too
    const auto calls = tools_.Calls("xfconf-query");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1][3], "/backdrop/screen0/monitor0/workspace0/image-style");
}

TEST_F(ToolDesktopTest, LxqtLxdeAndSwayGetTheirCommands) {
    tools_.Add("pcmanfm-qt");
    tools_.Add("pcmanfm");
    tools_.Add("swaymsg");
    const std::string buffer = Buffer();
    {
        const test::ScopedEnv lxqt("VANTORIA_DESKTOP", "lxqt");
        SetTile(true);
        ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
        EXPECT_EQ(tools_.Calls("pcmanfm-qt").back(),
                  (Args{"--set-wallpaper", OnlyCachedCopy(), "--wallpaper-mode", "tile"}));
        SetTile(false);
        ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
        EXPECT_EQ(tools_.Calls("pcmanfm-qt").back()[3], "center");
        ASSERT_TRUE(SetDeskWallpaper("").ok);
        EXPECT_EQ(tools_.Calls("pcmanfm-qt").back(), (Args{"--wallpaper-mode", "color"}));
    }
    {
        const test::ScopedEnv lxde("VANTORIA_DESKTOP", "lxde");
        SetTile(true);
        ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
        EXPECT_EQ(tools_.Calls("pcmanfm").back(), (Args{"--set-wallpaper", OnlyCachedCopy(), "--wallpaper-mode", "tile"}));
        SetTile(false);
        ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
        EXPECT_EQ(tools_.Calls("pcmanfm").back(), (Args{"--set-wallpaper", OnlyCachedCopy(), "--wallpaper-mode", "center"}));
    }
    const test::ScopedEnv sway("VANTORIA_DESKTOP", "sway");
    SetTile(true);
    ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    EXPECT_EQ(tools_.Calls("swaymsg").back(), (Args{"output", "*", "bg", OnlyCachedCopy(), "tile"}));
    SetTile(false);
    ASSERT_TRUE(SetDeskWallpaper(buffer).ok);
    EXPECT_EQ(tools_.Calls("swaymsg").back().back(), "center");
    ASSERT_TRUE(SetDeskWallpaper("").ok);
    EXPECT_EQ(tools_.Calls("swaymsg").back(), (Args{"output", "*", "bg", "#000000", "solid_color"}));
}

TEST_F(ToolDesktopTest, AHangingToolIsStopped) {
    const std::filesystem::path script = box_.Dir() + "/tools/bin/hang";
    std::ofstream(script) << "#!/bin/sh\nsleep 60 &\nsleep 60\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const ToolResult result = RunTool({"hang"}, std::chrono::milliseconds(300));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reason, "hang did not finish within 1 s");
}

}  // namespace
}  // namespace vantoria::desktop
