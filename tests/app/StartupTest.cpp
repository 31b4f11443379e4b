// Starts the real tray program (offscreen, private config and runtime
// folders) and checks its start-up and ending rules from outside.

#include "platform/instance/InstanceLock.h"
#include "support/Child.h"

#include <gtest/gtest.h>
// Xlib's macros after the test framework.
#include "app/X11Windows.h"
#include "platform/desktop/XvfbServer.h"
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace vantoria::test;

namespace {

class StartupTest : public ::testing::Test {
protected:
    std::map<std::string, std::string> Env() const {
        return {{"QT_QPA_PLATFORM", "offscreen"},
                {"XDG_CONFIG_HOME", config_.Path()},
                {"XDG_RUNTIME_DIR", runtime_.Path()}};
    }
    std::unique_ptr<Child> Start(std::vector<std::string> args = {}) const {
        return std::make_unique<Child>(VANTORIA_PROGRAM, args, Env(), work_.Path());
    }
    // On a real X display instead of offscreen.
    std::unique_ptr<Child> StartOnX11(const std::string& display) const {
        auto env = Env();
        env["QT_QPA_PLATFORM"] = "xcb";
        env["DISPLAY"] = display;
        return std::make_unique<Child>(VANTORIA_PROGRAM, std::vector<std::string>{}, env, work_.Path());
    }
    // The normal instance holds the guard once it is up; its signal
    // handlers are in place before that.
    bool GuardHeld() const {
        ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
        return !vantoria::InstanceLock::Acquire("Runo");
    }
    // Whether some process holds the guard beside the settings, read from
    // the kernel's list of locks so that looking never takes it.
    bool SettingsGuardHeld() const {
        const std::string lock = config_.Path() + "/vantoria/" + vantoria::InstanceLock::SettingsLockName("Runo");
        struct stat st {};
        if (::stat(lock.c_str(), &st) != 0) return false;
        char file[64];
        std::snprintf(file, sizeof file, "%02x:%02x:%llu ", major(st.st_dev), minor(st.st_dev),
                      static_cast<unsigned long long>(st.st_ino));
        std::istringstream locks(ReadFile("/proc/locks"));
        for (std::string line; std::getline(locks, line);)
            if (line.find("FLOCK") != std::string::npos && (line + " ").find(file) != std::string::npos) return true;
        return false;
    }
    std::string Registry() const { return ReadFile(config_.Path() + "/vantoria/registry.reg"); }

    TempDir config_, runtime_, work_;
};

TEST_F(StartupTest, SigtermSavesEverySettingAndTheNextStartReadsThemBack) {
    auto first = Start();
    ASSERT_TRUE(WaitUntil([&] { return GuardHeld(); })) << first->Output();
    first->Signal(SIGTERM);
    ASSERT_EQ(first->Wait(), 0) << first->Output();
    EXPECT_EQ(first->Output(), "");

    const std::string reg = Registry();
    EXPECT_NE(reg.find("[HKEY_CURRENT_USER\\Control Panel\\desktop]"), std::string::npos) << reg;
    EXPECT_NE(reg.find("[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]"), std::string::npos) << reg;
    const std::string folder = "\"" + work_.Path() + "\"";
    EXPECT_NE(reg.find("\"PathPlugin\"=" + folder), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"PathWall\"=" + folder), std::string::npos) << reg;
    for (const char* name : {"RunAp", "WallPaper", "WallBuffer", "WallPosition", "WallSize", "WallArrange",
                             "NoRunAp", "AutoWallChg", "AutoWallChgTime", "StartLastWall", "StartLastWallCount",
                             "FileMask", "BtnFlat", "ChgWallWindow_Left", "ChgWallWindow_Top", "SaveWindowPos"}) {
        EXPECT_NE(reg.find("\"" + std::string(name) + "\"="), std::string::npos) << name;
    }

    // Started from another folder, the second run keeps the stored folders.
    TempDir elsewhere;
    Child second(VANTORIA_PROGRAM, {}, Env(), elsewhere.Path());
    ASSERT_TRUE(WaitUntil([&] { return GuardHeld(); }));
    second.Signal(SIGHUP);
    ASSERT_EQ(second.Wait(), 0);
    EXPECT_NE(Registry().find("\"PathWall\"=" + folder), std::string::npos);
}

TEST_F(StartupTest, SecondNormalStartLeavesSilentlyWhileDebugStartRunsBeside) {
    auto first = Start();
    ASSERT_TRUE(WaitUntil([&] { return GuardHeld(); }));

    auto second = Start();
    EXPECT_EQ(second->Wait(), 1);
    EXPECT_EQ(second->Output(), "");

    auto debug = Start({"/DEBUG"});
    // The debug instance holds no guard: once it handles signals, an
    // interrupt ends it through its close path with 0, where a refused
    // instance would have left with 1 on its own.
    ASSERT_TRUE(WaitUntil([&] { return debug->Catches(SIGINT) || !debug->Running(); }));
    debug->Signal(SIGINT);
    EXPECT_EQ(debug->Wait(), 0) << debug->Output();

    EXPECT_TRUE(first->Running());
    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(), 0);
    // The guard went with the process: a new normal start is possible.
    EXPECT_FALSE(GuardHeld());
}

// Started at the same instant, one of them without a runtime folder, two
// programs of one user end with exactly one running; one killed outright
// leaves nothing that keeps the next starts out.
TEST_F(StartupTest, OneProgramRunsPerUserWhateverRuntimeFolderEachSeesEvenAfterAKill) {
    TempDir tmp;
    auto noRuntime = Env();
    noRuntime["XDG_RUNTIME_DIR"] = "";
    noRuntime["TMPDIR"] = tmp.Path();
    for (int round = 0; round < 2; ++round) {
        auto withRuntime = Start();
        Child without(VANTORIA_PROGRAM, {}, noRuntime, work_.Path());
        ASSERT_TRUE(WaitUntil([&] { return !withRuntime->Running() || !without.Running(); })) << round;
        Child& survivor = withRuntime->Running() ? *withRuntime : without;
        Child& refused = &survivor == &without ? *withRuntime : without;
        EXPECT_EQ(refused.Wait(), 1) << refused.Output();
        ASSERT_TRUE(WaitUntil([&] { return SettingsGuardHeld(); })) << survivor.Output();
        ASSERT_TRUE(survivor.Running()) << survivor.Output();
        survivor.Signal(SIGKILL);
        EXPECT_EQ(survivor.Wait(), std::nullopt);
        EXPECT_FALSE(SettingsGuardHeld());
    }
}

TEST_F(StartupTest, DamagedRegistryStartsOnDefaultsAndIsWrittenCleanAgain) {
    std::filesystem::create_directories(config_.Path() + "/vantoria");
    {
        std::ofstream out(config_.Path() + "/vantoria/registry.reg", std::ios::binary);
        out << "garbage\xff\xfe\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n\"WallPosition\"=\"1\"\n"
               "\"WallSize\"=\"abc\"\n\"RunAp\"=\"unterminated";
    }
    auto app = Start();
    ASSERT_TRUE(WaitUntil([&] { return GuardHeld(); }));
    app->Signal(SIGTERM);
    ASSERT_EQ(app->Wait(), 0) << app->Output();
    const std::string reg = Registry();
    EXPECT_EQ(reg.rfind("Windows Registry Editor Version 5.00", 0), 0u) << reg;
    EXPECT_NE(reg.find("\"WallPosition\"=\"1\""), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"WallSize\"=\"0\""), std::string::npos) << reg;
    EXPECT_EQ(reg.find("garbage"), std::string::npos) << reg;
}

TEST_F(StartupTest, ASignalIgnoredAtStartStaysIgnored) {
    // nohup: the hang-up signal is ignored before the program starts.
    struct sigaction ignore {}, saved {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGHUP, &ignore, &saved);
    auto app = Start();
    sigaction(SIGHUP, &saved, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return GuardHeld(); })) << app->Output();
    EXPECT_FALSE(app->Catches(SIGHUP));
    app->Signal(SIGHUP);
    // The terminate signal is still ours, and it comes after the hang-up.
    app->Signal(SIGTERM);
    EXPECT_EQ(app->Wait(), 0) << app->Output();
}

TEST_F(StartupTest, WithoutADisplayOneLineAndExitOne) {
    auto env = Env();
    env["QT_QPA_PLATFORM"] = "xcb";
    env["DISPLAY"] = ":nothing-here";
    Child app(VANTORIA_PROGRAM, {}, env, work_.Path());
    EXPECT_EQ(app.Wait(), 1) << app.Output();
    EXPECT_TRUE(app.Output().starts_with("vantoria: cannot open the display (")) << app.Output();
    EXPECT_EQ(std::count(app.Output().begin(), app.Output().end(), '\n'), 1) << app.Output();
}

TEST_F(StartupTest, LosingTheDisplaySavesTheSettingsAsAClose) {
    auto server = std::make_unique<XvfbServer>("320x240x24");
    ASSERT_NE(server->Get(), nullptr);
    auto app = StartOnX11(server->Name());
    // Up and running once it tells that it waits for a notification area.
    ASSERT_TRUE(WaitUntil([&] { return FindMappedWindow(server->Get(), "Vantoria").has_value(); }))
        << app->Output();
    // Nothing of the program's own is saved before the end.
    ASSERT_EQ(Registry().find("Brightmoss\\Runo]"), std::string::npos) << Registry();
    server.reset();             // the session's X server goes away
    app->Wait();
    EXPECT_FALSE(app->Running());
    const std::string reg = Registry();
    EXPECT_NE(reg.find("[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]"), std::string::npos) << app->Output();
    EXPECT_NE(reg.find("\"PathWall\"=\"" + work_.Path() + "\""), std::string::npos) << reg;
}

}  // namespace
