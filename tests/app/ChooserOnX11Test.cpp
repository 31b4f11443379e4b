// The tray program's forms on a private X server: a choice made in the
// chooser is still there when it is opened again, with OK enabled, and a
// change tick of the automatic change while it is open leaves it alone.

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
#include <QListWidget>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

// Last: Xlib's macros would break the Qt headers.
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

TEST(ChooserOnX11Test, TheChoiceSurvivesReopeningAndAChangeTickWhileOpen) {
    XvfbServer server("320x240x24");
    ASSERT_TRUE(server.Get()) << "no Xvfb";
    TempDir work;
    const fs::path base = work.Path();
    for (const char* sub : {"config/vantoria", "runtime", "start", "pics"}) fs::create_directories(base / sub);
    fs::permissions(base / "runtime", fs::perms::owner_all);
    for (const char* name : {"A.bmp", "b.bmp", "C.bmp"})
        WriteBmp24((base / "pics" / name).string(), 8, 8, [](int, int) { return Rgb{10, 120, 200}; });
    std::ofstream(base / "config/vantoria/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
           "\"NoRunAp\"=\"1\"\n\"PathWall\"=\"" << (base / "pics").string() << "\"\n";
    const ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
    const ScopedEnv config("XDG_CONFIG_HOME", (base / "config").string());
    const ScopedEnv runtime("XDG_RUNTIME_DIR", (base / "runtime").string());
    const ScopedEnv desktop("VANTORIA_DESKTOP", "none");
    const ScopedEnv screen("VANTORIA_SCREEN", "64x48");
    const fs::path previousDir = fs::current_path();
    fs::current_path(base / "start");
    const std::string chosen = (base / "pics" / "C.bmp").string();
    {
        int argc = 1;
        char name[] = "chooser_x11_test";
        char* argv[] = {name, nullptr};
        Application app(argc, argv);
        TrayForms forms;
        AppRunning = true;

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
            EXPECT_EQ(ApSystem.WallPaper, (base / "pics" / "A.bmp").string()) << "the tick changed the wallpaper";
            EXPECT_EQ(chooser.SelectedFile(), chosen);
            EXPECT_TRUE(OkButton(chooser)->isEnabled());
            OkButton(chooser)->click();
        });
        EXPECT_EQ(ApSystem.WallPaper, chosen);
    }
    ResetTrayState();
    fs::current_path(previousDir);
}

}  // namespace
