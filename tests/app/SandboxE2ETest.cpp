// The tray program on a private X server with a plug-in that crashes: the
// Redraw and the chooser's preview that meet it each show one message, and
// the program goes on to change the wallpaper with a good file.

#include "support/Child.h"
#include "support/TestBmp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
// Xlib's macros after the test framework.
#include "app/X11Windows.h"
#include "platform/desktop/XvfbServer.h"

using namespace vantoria::test;

namespace {

constexpr unsigned long kRed = 0xC81E1E;

TEST(SandboxE2ETest, ACrashingPluginAtRedrawAndAtThePreviewLeavesTheTrayProgramRunning) {
    XvfbServer x("640x480x24");
    ASSERT_NE(x.Get(), nullptr) << "no Xvfb";
    TempDir config, runtime, work;
    namespace fs = std::filesystem;
    fs::create_directories(work.Path() + "/plugins");
    fs::copy_file(CRASHING_PLUGIN, work.Path() + "/plugins/png.spi");
    fs::create_directories(work.Path() + "/pictures");
    const std::string bad = work.Path() + "/pictures/bad.jpg";
    std::ofstream(bad) << "HOSTILE picture";
    WriteBmp24(work.Path() + "/pictures/good.bmp", 8, 8, [](int, int) { return Rgb{0xC8, 0x1E, 0x1E}; });
    fs::create_directories(config.Path() + "/vantoria");
    std::ofstream(config.Path() + "/vantoria/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_CURRENT_USER\\Control Panel\\desktop]\n\"TileWallPaper\"=\"0\"\n\"Wallpaper\"=\"\"\n\n"
        << "[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
        << "\"WallPaper\"=\"" << bad << "\"\n\"WallPosition\"=\"1\"\n\"NoRunAp\"=\"1\"\n"
        << "\"PathPlugin\"=\"" << work.Path() << "/plugins\"\n\"PathWall\"=\"" << work.Path() << "/pictures\"\n";
    const std::map<std::string, std::string> env{
        {"QT_QPA_PLATFORM", "xcb"},          {"XDG_CONFIG_HOME", config.Path()},
        {"XDG_RUNTIME_DIR", runtime.Path()}, {"XDG_CACHE_HOME", work.Path() + "/cache"},
        {"VANTORIA_DESKTOP", "x11"},         {"HOME", work.Path()}};
    Child trayer("/usr/bin/trayer",
                 {"--edge", "top", "--align", "left", "--widthtype", "pixel", "--width", "64", "--heighttype", "pixel",
                  "--height", "24"},
                 {}, "");
    Child app(VANTORIA_PROGRAM, {}, env, work.Path());
    const auto xdo = [](const std::vector<std::string>& args) {
        Child tool("/usr/bin/xdotool", args, {}, "");
        tool.Wait();
    };
    const auto click = [&](Window window, int px, int py, const std::vector<std::string>& how = {"1"}) {
        std::vector<std::string> args{"mousemove", "--window", std::to_string(window), std::to_string(px),
                                      std::to_string(py), "click"};
        args.insert(args.end(), how.begin(), how.end());
        xdo(args);
    };
    // One message box says the decode failed; Return closes it.
    const auto dismissMessage = [&] {
        std::optional<Window> box;
        if (!WaitUntil([&] { return (box = FindMappedDialog(x.Get(), "Vantoria")).has_value(); })) return false;
        WaitUntil([&] {
            xdo({"windowfocus", std::to_string(*box), "key", "Return"});
            return !FindMappedDialog(x.Get(), "Vantoria");
        });
        return !FindMappedDialog(x.Get(), "Vantoria");
    };

    std::optional<Window> icon;
    ASSERT_TRUE(WaitUntil([&] { return (icon = FindTrayIcon(x.Get())).has_value(); })) << app.Output();

    // Redraw of the stored picture, which the plug-in crashes on.
    click(*icon, 8, 8, {"--repeat", "2", "--delay", "60", "1"});
    ASSERT_TRUE(dismissMessage()) << app.Output();
    ASSERT_TRUE(app.Running()) << app.Output();

    // The chooser: the bad file's preview fails, the good one's is shown, OK
    // makes it the wallpaper.
    std::optional<Window> chooser;
    click(*icon, 8, 8, {"3"});   // the menu's 壁紙の変更(&W)
    ASSERT_TRUE(WaitUntil([&] {
        xdo({"key", "w"});
        return (chooser = FindMappedWindow(x.Get(), "壁紙の選択")).has_value();
    })) << app.Output();
    click(*chooser, 180, 44);   // bad.jpg, the first row of the file list
    ASSERT_TRUE(dismissMessage()) << app.Output();
    ASSERT_TRUE(app.Running()) << app.Output();
    click(*chooser, 180, 60);   // good.bmp
    click(*chooser, 358, 220);  // OK
    EXPECT_TRUE(WaitUntil([&] { return RootPixel(x.Get(), 639, 479) == kRed; }))
        << std::hex << RootPixel(x.Get(), 639, 479) << app.Output();
    EXPECT_TRUE(app.Running());
    app.Signal(SIGTERM);
    EXPECT_EQ(app.Wait(), 0) << app.Output();
}

}  // namespace
