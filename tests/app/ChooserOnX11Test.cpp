// The tray program's forms on a private X server: a choice made in the
// chooser is still there when it is opened again, with OK enabled, and a
// change tick of the automatic change while it is open leaves it alone;
// with a picture of its own on each monitor, the chooser's Preview and OK
// put the picture on the monitor the chooser is on.

#include <gtest/gtest.h>

#include "app/AppState.h"
#include "app/Application.h"
#include "app/TrayForms.h"
#include "app/formMain.h"
#include "change/formChgWall.h"
#include "settings/ApSystem.h"
#include "support/Child.h"
#include "support/TestBmp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

// Last: Xlib's macros would break the Qt headers.
#include "desktops/RootPixels.h"
#include "desktops/XvfbMonitors.h"
#include "platform/desktop/XvfbServer.h"

using namespace vantoria;
using namespace vantoria::test;
namespace fs = std::filesystem;

namespace {

// Opens the chooser as the tray's Change command does and runs `inside`
// in its modal loop; whatever `inside` leaves open is cancelled.
void WithChooserOpen(const std::function<void(Tform_ChgWall&)>& inside) {
    QTimer::singleShot(0, [&] {
        inside(*form_ChgWall);
        if (form_ChgWall->isVisible()) form_ChgWall->reject();
    });
    form_Main->act_ChgWallExecute();
}

QAbstractButton* OkButton(const Tform_ChgWall& form) {
    return form.findChild<QAbstractButton*>(QStringLiteral("bbtn_Ok"));
}

QAbstractButton* PreviewButton(const Tform_ChgWall& form) {
    return form.findChild<QAbstractButton*>(QStringLiteral("bbtn_Preview"));
}

// Private folders and settings for the tray program's forms, run in this
// process on `server`, from a start folder of its own.
class FormsSession {
public:
    // `values`: more lines of the program's settings, given the pictures folder.
    FormsSession(const XvfbServer& server, const std::string& desktop,
                const std::function<std::string(const fs::path&)>& values)
        : base_(work_.Path()), display_("DISPLAY", server.Name()),
          config_("XDG_CONFIG_HOME", (base_ / "config").string()),
          cache_("XDG_CACHE_HOME", (base_ / "cache").string()),
          runtime_("XDG_RUNTIME_DIR", (base_ / "runtime").string()), desktop_("VANTORIA_DESKTOP", desktop) {
        for (const char* sub : {"config/vantoria", "runtime", "cache", "start", "pics"})
            fs::create_directories(base_ / sub);
        fs::permissions(base_ / "runtime", fs::perms::owner_all);
        std::ofstream(base_ / "config/vantoria/registry.reg")
            << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
               "\"NoRunAp\"=\"1\"\n\"PathWall\"=\"" << Pics().string() << "\"\n" << values(Pics());
        fs::current_path(base_ / "start");
    }
    ~FormsSession() {
        ResetTrayState();
        fs::current_path(previousDir_);
    }
    fs::path Pics() const { return base_ / "pics"; }

    // Runs `inside` with the application and the forms made, as the tray program has them.
    void Run(const std::function<void()>& inside) {
        int argc = 1;
        char name[] = "chooser_x11_test";
        char* argv[] = {name, nullptr};
        Application app(argc, argv);
        TrayForms forms;
        AppRunning = true;
        inside();
    }

private:
    TempDir work_;
    fs::path base_;
    fs::path previousDir_ = fs::current_path();
    ScopedEnv platform_{"QT_QPA_PLATFORM", "xcb"}, display_, config_, cache_, runtime_, desktop_;
};

TEST(ChooserOnX11Test, TheChoiceSurvivesReopeningAndAChangeTickWhileOpen) {
    XvfbServer server("320x240x24");
    ASSERT_TRUE(server.Get()) << "no Xvfb";
    const ScopedEnv screen("VANTORIA_SCREEN", "64x48");
    FormsSession session(server, "none", [](const fs::path&) { return ""; });
    for (const char* name : {"A.bmp", "b.bmp", "C.bmp"})
        WriteBmp24((session.Pics() / name).string(), 8, 8, [](int, int) { return Rgb{10, 120, 200}; });
    const std::string chosen = (session.Pics() / "C.bmp").string();
    session.Run([&] {
        WithChooserOpen([&](Tform_ChgWall& chooser) {
            chooser.findChild<QListWidget*>(QStringLiteral("flbox_Wall"))->setCurrentRow(2);
            OkButton(chooser)->click();
        });
        EXPECT_EQ(ApSystem.WallPaper, chosen);

        WithChooserOpen([&](Tform_ChgWall& chooser) {
            EXPECT_EQ(chooser.SelectedFile(), chosen);
            EXPECT_TRUE(OkButton(chooser)->isEnabled());
            // A one-minute period runs out while the chooser is open.
            ApSystem.AutoWallChg = true;
            ApSystem.AutoWallChgTime = 1;
            for (int tick = 0; tick < 62 && ApSystem.WallPaper == chosen; ++tick) form_Main->tmr_ChgWallTimer();
            ApSystem.AutoWallChg = false;
            EXPECT_EQ(ApSystem.WallPaper, (session.Pics() / "A.bmp").string()) << "the tick changed the wallpaper";
            EXPECT_EQ(chooser.SelectedFile(), chosen);
            EXPECT_TRUE(OkButton(chooser)->isEnabled());
            OkButton(chooser)->click();
        });
        EXPECT_EQ(ApSystem.WallPaper, chosen);
    });
}

// Two 640 x 480 monitors side by side, the left one primary; each shows its
// picture centred and unscaled on black.
TEST(ChooserOnX11Test, OnTheSecondMonitorPreviewAndOkChangeThatMonitorOnly) {
    constexpr int kRootW = 1280, kRootH = 480, kMonW = 640, kW = 61, kH = 41;
    XvfbServer server(std::to_string(kRootW) + "x" + std::to_string(kRootH) + "x24");
    ASSERT_TRUE(server.Get()) << "no Xvfb";
    if (!fs::exists("/usr/bin/xrandr")) GTEST_SKIP() << "xrandr is not installed";
    ASSERT_EQ(SetMonitors(server, {{"*left", "640/169x480/127+0+0"}, {"right", "640/169x480/127+640+0"}}), "");
    const auto colour = [](int which) {
        return [which](int x, int y) { return Rgb{x * 4 + 1, y * 6 + 1, which * 100 + 20}; };
    };
    FormsSession session(server, "x11", [](const fs::path& pics) {
        return "\"WallPosition\"=\"0\"\n\"WallSize\"=\"0\"\n\"MonitorMode\"=\"1\"\n\"WallPaper\"=\"" +
               (pics / "a.bmp").string() + "\"\n";
    });
    WriteBmp24((session.Pics() / "a.bmp").string(), kW, kH, colour(0));
    WriteBmp24((session.Pics() / "b.bmp").string(), kW, kH, colour(1));
    const std::string first = (session.Pics() / "a.bmp").string(), second = (session.Pics() / "b.bmp").string();
    // Which picture each monitor shows: 0 a.bmp, 1 b.bmp; `hidden` is the
    // open chooser, which covers the desktop.
    const auto shows = [&](int left, int right, QRect hidden = {}) {
        const RootPixels root(server.Get(), kRootW, kRootH);
        std::string wrong;
        const int bad = root.Mismatches(
            [&](int x, int y) {
                if (hidden.contains(x, y)) return root.At(x, y);
                const int which = x < kMonW ? left : right;
                const int px = x % kMonW - (kMonW - kW) / 2, py = y - (kRootH - kH) / 2;
                return px >= 0 && px < kW && py >= 0 && py < kH ? colour(which)(px, py) : Rgb{};
            },
            &wrong);
        return bad == 0 ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << bad << ": " << wrong;
    };
    session.Run([&] {
        form_Main->act_RedrawExecute();
        EXPECT_TRUE(shows(0, 0));

        WithChooserOpen([&](Tform_ChgWall& chooser) {
            // Mostly on the right monitor.
            chooser.move(kMonW - 40, 10);
            QApplication::processEvents();
            chooser.findChild<QListWidget*>(QStringLiteral("flbox_Wall"))->setCurrentRow(1);
            PreviewButton(chooser)->click();
            EXPECT_TRUE(shows(0, 1, chooser.frameGeometry())) << "after Preview";
            EXPECT_EQ(ApSystem.MonitorWallPapers, "") << "Preview stores nothing";
            OkButton(chooser)->click();
        });
        EXPECT_TRUE(shows(0, 1)) << "after OK";
        EXPECT_EQ(ApSystem.WallPaper, first);
        EXPECT_EQ(ApSystem.MonitorWallPapers, "right\t" + second + "\n");
        form_Main->act_RedrawExecute();
        EXPECT_TRUE(shows(0, 1)) << "after Redraw";

        // On the primary monitor, OK changes WallPaper and that monitor.
        WithChooserOpen([&](Tform_ChgWall& chooser) {
            chooser.move(0, 10);
            QApplication::processEvents();
            OkButton(chooser)->click();
        });
        EXPECT_TRUE(shows(1, 1)) << "OK on the primary monitor";
        EXPECT_EQ(ApSystem.WallPaper, second);
    });
}

}  // namespace
