// The running tray program on a private session bus, driven by vantoria-ctl
// as a keybinding would, with gdbus watching its change signal.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "desktops/DesktopSession.h"
#include "support/Child.h"
#include "support/TestBmp.h"

namespace vantoria::test {
namespace {

TEST(TrayBusTest, EveryCommandOfTheRunningProgram) {
    if (const std::string missing = MissingProgram({"trayer", "gdbus", "dbus-daemon"}); !missing.empty())
        GTEST_SKIP() << missing << " is not installed";
    DesktopSession session;
    ASSERT_TRUE(session.Ready()) << "no Xvfb or no session bus";
    const std::string pics = session.Dir() + "/pics";
    std::filesystem::create_directories(pics);
    for (const char* name : {"a", "b", "c"})
        WriteBmp24(pics + "/" + name + ".bmp", 20, 10, [name](int x, int y) { return Rgb{x, y, name[0]}; });
    std::filesystem::create_directories(session.ConfigHome() + "/vantoria");
    std::ofstream(session.ConfigHome() + "/vantoria/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n\"PathWall\"=\""
        << pics << "\"\n\"FileMask\"=\"*.bmp\"\n\"NoRunAp\"=\"1\"\n\"WallPosition\"=\"0\"\n";

    session.Start("trayer", {"--edge", "top", "--widthtype", "pixel", "--width", "64"});
    Child& watch = session.Start("gdbus", {"monitor", "--session", "--dest", "example.brightmoss.Vantoria"});
    auto ctl = [&](const std::vector<std::string>& args, std::string* out = nullptr) {
        return session.Run(VANTORIA_CTL_PROGRAM, args, out).value_or(-1);
    };
    std::string out;
    EXPECT_EQ(ctl({"status"}, &out), 2) << out;

    ::setenv("VANTORIA_DESKTOP", "x11", 1);  // the children inherit it
    Child& tray = session.Start(VANTORIA_PROGRAM, {});
    ASSERT_TRUE(WaitUntil([&] { return !tray.Running() || ctl({"status"}) == 0; })) << tray.Output();
    ::unsetenv("VANTORIA_DESKTOP");

    EXPECT_EQ(ctl({"status"}, &out), 0);
    EXPECT_EQ(out, "wallpaper: \nautomatic change: off\n");
    // Next goes through the folder; Previous back through what was shown.
    for (const char* expected : {"a", "b", "c", "a"}) {
        EXPECT_EQ(ctl({"next"}, &out), 0) << out;
        EXPECT_EQ(ctl({"status"}, &out), 0);
        EXPECT_EQ(out, "wallpaper: " + pics + "/" + expected + ".bmp\nautomatic change: off\n");
    }
    EXPECT_EQ(ctl({"previous"}), 0);
    EXPECT_EQ(ctl({"previous"}), 0);
    ctl({"status"}, &out);
    EXPECT_EQ(out, "wallpaper: " + pics + "/b.bmp\nautomatic change: off\n");
    // A file by a relative name, as the chooser's OK would take it; a
    // missing one fails with the message box's text, and no box opens.
    EXPECT_EQ(ctl({"set", "pics/c.bmp"}, &out), 0) << out;
    EXPECT_EQ(ctl({"set", "pics/none.bmp"}, &out), 1);
    EXPECT_NE(out.find("壁紙を作成できません。"), std::string::npos) << out;
    ctl({"status"}, &out);
    EXPECT_EQ(out, "wallpaper: " + pics + "/none.bmp\nautomatic change: off\n");
    EXPECT_EQ(ctl({"redraw"}, &out), 1);  // the missing file again
    EXPECT_EQ(ctl({"set", "pics/c.bmp"}), 0);
    EXPECT_EQ(ctl({"redraw"}, &out), 0) << out;
    EXPECT_EQ(ctl({"resume"}), 0);
    ctl({"status"}, &out);
    EXPECT_EQ(out, "wallpaper: " + pics + "/c.bmp\nautomatic change: on\n");
    EXPECT_EQ(ctl({"pause"}), 0);
    // The dialogs open after the answer.
    EXPECT_EQ(ctl({"show"}), 0);
    EXPECT_EQ(ctl({"settings"}), 0);
    EXPECT_TRUE(tray.Running()) << tray.Output();

    // Every change was announced, with its file.
    EXPECT_TRUE(WaitUntil([&] {
        watch.Running();
        return watch.Output().find("WallpaperChanged ('" + pics + "/c.bmp',)") != std::string::npos;
    })) << watch.Output();
    for (const char* name : {"a", "b"})
        EXPECT_NE(watch.Output().find("WallpaperChanged ('" + pics + "/" + name + ".bmp',)"), std::string::npos) << name;

    tray.Signal(SIGTERM);
    tray.Wait();
    EXPECT_EQ(ctl({"next"}, &out), 2) << out;
}

}  // namespace
}  // namespace vantoria::test
