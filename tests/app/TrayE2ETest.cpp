// Whole sessions with the tray program on a private X server, with trayer as
// the notification area and xdotool as the user's hand.

#include "support/Child.h"
#include "support/TestBmp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
// Xlib's macros after the test framework.
#include <X11/extensions/XTest.h>

#include "app/X11Windows.h"
#include "desktops/DesktopSession.h"
#include "platform/desktop/XvfbServer.h"

using namespace vantoria::test;

namespace {

constexpr int kRed = 0xC81E1E;
constexpr int kDoubleClickMs = 400;  // the program's double-click interval, as the test sets it

class TrayE2ETest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(x_.Get(), nullptr) << "no Xvfb";
        ASSERT_FALSE(bus_.Address().empty()) << "no session bus";
        // A small red picture: centred it leaves the screen's corners bare,
        // tiled it covers them.
        WriteBmp24(work_.Path() + "/picture.bmp", 8, 8, [](int, int) { return Rgb{0xC8, 0x1E, 0x1E}; });
        std::filesystem::create_directories(config_.Path() + "/vantoria");
        std::ofstream(config_.Path() + "/vantoria/registry.reg")
            << "Windows Registry Editor Version 5.00\n\n"
            << "[HKEY_CURRENT_USER\\Control Panel\\desktop]\n\"TileWallPaper\"=\"0\"\n\"Wallpaper\"=\"\"\n\n"
            << "[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
            << "\"WallPaper\"=\"" << work_.Path() << "/picture.bmp\"\n\"WallPosition\"=\"0\"\n"
            << "\"NoRunAp\"=\"1\"\n";
    }

    std::map<std::string, std::string> AppEnv() const {
        return {{"QT_QPA_PLATFORM", "xcb"},          {"XDG_CONFIG_HOME", config_.Path()},
                {"XDG_RUNTIME_DIR", runtime_.Path()}, {"XDG_CACHE_HOME", work_.Path() + "/cache"},
                {"VANTORIA_DESKTOP", "x11"},          {"HOME", work_.Path()},
                {"DBUS_SESSION_BUS_ADDRESS", bus_.Address()},
                {"VANTORIA_DOUBLE_CLICK_MS", std::to_string(kDoubleClickMs)}};
    }
    std::unique_ptr<Child> StartTrayer() const { return StartTrayStrip(x_, 24, ""); }
    // xdotool with the test's display; its output.
    static std::string Xdo(const std::vector<std::string>& args) {
        Child tool("/usr/bin/xdotool", args, {}, "");
        tool.Wait();
        return tool.Output();
    }
    static std::string Id(Window window) { return std::to_string(window); }

    Window WaitForIcon() {
        std::optional<Window> icon;
        EXPECT_TRUE(WaitUntil([&] { return (icon = FindTrayIcon(x_.Get())).has_value(); }));
        return icon.value_or(0);
    }
    std::optional<Window> WaitForWindow(const std::string& title) {
        std::optional<Window> found;
        WaitUntil([&] { return (found = FindMappedWindow(x_.Get(), title)).has_value(); });
        return found;
    }
    void Click(Window window, int x, int y, const std::string& button = "1") {
        Xdo({"mousemove", "--window", Id(window), std::to_string(x), std::to_string(y), "click", button});
    }
    // Two left clicks at (x, y) of `window`, sent in one go on the test's own
    // connection: the server stamps both presses at once, well inside the
    // program's interval however loaded the machine is.
    void DoubleClick(Window window, int x, int y) {
        Display* d = x_.Get();
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates(d, window, DefaultRootWindow(d), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(d, DefaultScreen(d), rootX, rootY, CurrentTime);
        for (int i = 0; i < 2; ++i) {
            XTestFakeButtonEvent(d, 1, True, CurrentTime);
            XTestFakeButtonEvent(d, 1, False, CurrentTime);
        }
        XSync(d, False);
    }
    // Returns once the program's event loop has answered a call over the
    // bus, twice: what was due before has run, and what it drew is sent.
    void RoundTrip() const {
        for (int i = 0; i < 2; ++i) {
            Child call("/usr/bin/dbus-send",
                       {"--session", "--print-reply", "--dest=example.brightmoss.Vantoria",
                        "/example/brightmoss/Vantoria", "org.freedesktop.DBus.Properties.Get",
                        "string:example.brightmoss.Vantoria", "string:Wallpaper"},
                       {{"DBUS_SESSION_BUS_ADDRESS", bus_.Address()}}, "");
            EXPECT_EQ(call.Wait(), 0) << call.Output();
        }
    }
    unsigned long Corner() { return RootPixel(x_.Get(), 639, 479); }

    XvfbServer x_{"640x480x24"};
    TempDir config_, runtime_, work_;
    SessionBus bus_{{}, runtime_.Path()};
};

TEST_F(TrayE2ETest, ASessionThroughTheTrayMenuAndIconClicks) {
    auto trayer = StartTrayer();
    Child app(VANTORIA_PROGRAM, {}, AppEnv(), work_.Path());
    const Window icon = WaitForIcon();
    ASSERT_NE(icon, 0u) << app.Output();

    // Settings: display position "並べて表示" (tiled), OK: redrawn at once.
    Xdo({"mousemove", "--window", Id(icon), "8", "8", "click", "3"});
    std::optional<Window> setup;
    ASSERT_TRUE(WaitUntil([&] {
        Xdo({"key", "s"});
        return (setup = WaitForWindow("設定")).has_value();
    })) << app.Output();
    Click(*setup, 40, 98);    // the second item of 表示位置
    Click(*setup, 208, 312);  // OK
    EXPECT_TRUE(WaitUntil([&] { return Corner() == kRed; })) << std::hex << Corner();

    // About, from the menu as well.
    Xdo({"mousemove", "--window", Id(icon), "8", "8", "click", "3"});
    std::optional<Window> about;
    ASSERT_TRUE(WaitUntil([&] {
        Xdo({"key", "a"});
        return (about = WaitForWindow("バージョン情報")).has_value();
    }));
    Click(*about, 152, 188);  // OK
    ASSERT_TRUE(WaitUntil([&] { return !FindMappedWindow(x_.Get(), "バージョン情報"); }));

    // A double click redraws and opens no chooser.
    const std::string buffer = work_.Path() + "/Runo.bmp";
    ASSERT_TRUE(std::filesystem::remove(buffer));
    DoubleClick(icon, 8, 8);
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(buffer); }));
    // The first click was taken in before the redraw; a single click would
    // act one interval after it, so once an interval has passed and the
    // program has answered since, it would be on the screen.
    std::this_thread::sleep_for(std::chrono::milliseconds(kDoubleClickMs));
    RoundTrip();
    EXPECT_FALSE(FindMappedWindow(x_.Get(), "壁紙の選択"));

    // Exit: the new display position is stored.
    Xdo({"mousemove", "--window", Id(icon), "8", "8", "click", "3"});
    EXPECT_TRUE(WaitUntil([&] {
        Xdo({"key", "e"});
        return !app.Running();
    }));
    EXPECT_EQ(app.Wait(), 0) << app.Output();
    EXPECT_NE(ReadFile(config_.Path() + "/vantoria/registry.reg").find("\"WallPosition\"=\"1\""), std::string::npos);
}

TEST_F(TrayE2ETest, WithoutATrayHostTheUserIsToldOnceAndTheIconDocksWhenOneStarts) {
    Child app(VANTORIA_PROGRAM, {}, AppEnv(), work_.Path());
    ASSERT_TRUE(WaitUntil([&] { return FindMappedDialog(x_.Get(), "Vantoria").has_value(); })) << app.Output();
    EXPECT_FALSE(FindTrayIcon(x_.Get()));

    auto trayer = StartTrayer();
    EXPECT_NE(WaitForIcon(), 0u) << app.Output();
    // The message has done its job and goes.
    EXPECT_TRUE(WaitUntil([&] { return !FindMappedDialog(x_.Get(), "Vantoria"); }));
    app.Signal(SIGTERM);
    EXPECT_EQ(app.Wait(), 0) << app.Output();
}

TEST_F(TrayE2ETest, AnInstalledProgramStartedThroughItsDesktopEntryDocksAndUsesTheInstalledPlugins) {
    TempDir install;
    const std::string prefix = install.Path() + "/prefix";
    Child installer(CMAKE_COMMAND, {"--install", VANTORIA_BUILD_DIR, "--prefix", prefix}, {}, "");
    ASSERT_EQ(installer.Wait(std::chrono::seconds(60)), 0) << installer.Output();

    // The command of the desktop entry, found on PATH as the desktop would.
    const std::string entry = ReadFile(prefix + "/share/applications/vantoria.desktop");
    const auto exec = entry.find("\nExec=");
    ASSERT_NE(exec, std::string::npos) << entry;
    const std::string command = entry.substr(exec + 6, entry.find('\n', exec + 6) - exec - 6);
    EXPECT_TRUE(std::filesystem::exists(prefix + "/share/vantoria/Runo.hlp"));
    EXPECT_TRUE(std::filesystem::exists(prefix + "/share/icons/hicolor/scalable/apps/vantoria.svg"));

    // A new user, no settings yet: the pictures folder is the wallpaper
    // folder (and so the chooser's), not the start folder of plug-in links.
    {
        TempDir home;
        std::filesystem::create_directories(home.Path() + "/.config");
        std::filesystem::create_directories(home.Path() + "/Pictures");
        std::ofstream(home.Path() + "/.config/user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n";
        auto env = AppEnv();
        env["PATH"] = prefix + "/bin:/usr/bin:/bin";
        env["HOME"] = home.Path();
        env["XDG_CONFIG_HOME"] = "";
        env["XDG_DATA_HOME"] = "";
        auto trayer = StartTrayer();
        Child app("/bin/sh", {"-c", "exec " + command}, env, "/");
        ASSERT_NE(WaitForIcon(), 0u) << app.Output();
        app.Signal(SIGTERM);
        EXPECT_EQ(app.Wait(), 0) << app.Output();
        const std::string reg = ReadFile(home.Path() + "/.config/vantoria/registry.reg");
        EXPECT_NE(reg.find("\"PathWall\"=\"" + home.Path() + "/Pictures\"\n"), std::string::npos) << reg;
        EXPECT_NE(reg.find("\"PathPlugin\"=\"" + home.Path() + "/.local/share/vantoria\"\n"), std::string::npos) << reg;
        trayer->Signal(SIGTERM);
        trayer->Wait();
        WaitUntil([&] { return !FindTrayIcon(x_.Get()); });
    }

    // A PNG: only the installed plug-in reads it.
    std::ofstream(config_.Path() + "/vantoria/registry.reg", std::ios::app)
        << "\"WallPaper\"=\"" << VANTORIA_SAMPLE_PNG << "\"\n\"WallPosition\"=\"1\"\n";
    auto env = AppEnv();
    env["PATH"] = prefix + "/bin:/usr/bin:/bin";
    env["XDG_DATA_HOME"] = install.Path() + "/data";
    auto trayer = StartTrayer();
    Child app("/bin/sh", {"-c", "exec " + command}, env, "/");
    const Window icon = WaitForIcon();
    ASSERT_NE(icon, 0u) << app.Output();

    DoubleClick(icon, 8, 8);
    const std::string buffer = install.Path() + "/data/vantoria/Runo.bmp";
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(buffer); })) << app.Output();
    EXPECT_TRUE(WaitUntil([&] { return Corner() != 0; })) << app.Output();
    app.Signal(SIGTERM);
    EXPECT_EQ(app.Wait(), 0) << app.Output();
}

TEST_F(TrayE2ETest, AtLoginTheRecordedWallpaperIsPutBackOnlyWhereTheDesktopForgetsIt) {
    // What the last change recorded: the buffer file, tiled.
    const std::string buffer = work_.Path() + "/Runo.bmp";
    WriteBmp24(buffer, 8, 8, [](int, int) { return Rgb{0xC8, 0x1E, 0x1E}; });
    std::ofstream(config_.Path() + "/vantoria/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Control Panel\\desktop]\n"
        << "\"TileWallPaper\"=\"1\"\n\"Wallpaper\"=\"" << buffer << "\"\n";
    auto env = AppEnv();
    env["XDG_CURRENT_DESKTOP"] = "";
    env.erase("VANTORIA_DESKTOP");
    const auto restore = [&](const std::map<std::string, std::string>& e, std::vector<std::string> args) {
        Child change(VANTORIA_CHANGE_PROGRAM, args, e, work_.Path());
        const auto code = change.Wait();
        return std::make_pair(code, change.Output());
    };

    // A desktop that keeps its own wallpaper is left alone.
    auto gnome = env;
    gnome["XDG_CURRENT_DESKTOP"] = "GNOME";
    gnome["PATH"] = work_.Path();  // and no tool of it is ever run
    EXPECT_EQ(restore(gnome, {"--restore"}), std::make_pair(std::optional<int>(0), std::string()));
    EXPECT_EQ(Corner(), 0u);

    // Bare X11 forgets it at logout: put back, tiled, without a picture file.
    EXPECT_EQ(restore(env, {"--restore"}), std::make_pair(std::optional<int>(0), std::string()));
    EXPECT_EQ(Corner(), static_cast<unsigned long>(kRed));

    EXPECT_EQ(restore(env, {"--restore", buffer}).first, 1);
}

}  // namespace
