#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry/RegIniFile.h"
#include "platform/registry/RegistryTestEnv.h"
#include "settings/Settings.h"

namespace vantoria {
namespace {

namespace fs = std::filesystem;
using test::RegistryTest;

TApSystem Loaded() {
    TApSystem s;
    LoadSettings(s);
    return s;
}

void ExpectDefaults(const TApSystem& s) {
    EXPECT_EQ(s.PathPlugin, "");
    EXPECT_EQ(s.PathWall, "");
    EXPECT_EQ(s.RunAp, "");
    EXPECT_EQ(s.WallBuffer, "Runo.bmp");
    EXPECT_EQ(s.WallPaper, "");
    EXPECT_EQ(s.WallPosition, 2);
    EXPECT_EQ(s.WallArrange, 0);
    EXPECT_EQ(s.WallSize, 0);
    EXPECT_FALSE(s.NoRunAp || s.AutoWallChg || s.StartLastWall || s.BtnFlat || s.RegErase);
    EXPECT_EQ(s.AutoWallChgTime, 1);
    EXPECT_EQ(s.StartLastWallCount, 0);
    EXPECT_EQ(s.FileMask, kDefaultFileMask);
    EXPECT_EQ(s.ChgWallWindow_Left, 0);
    EXPECT_EQ(s.ChgWallWindow_Top, 0);
    EXPECT_EQ(s.SaveWindowPos, 0);
}

TEST_F(RegistryTest, FirstStartRunsOnDefaultsWithBothFoldersTheWorkingDirectory) {
    TApSystem s = Loaded();
    ExpectDefaults(s);
    CompleteStartup(s);
    EXPECT_EQ(s.StartDir, fs::current_path().string());
    EXPECT_EQ(s.PathPlugin, s.StartDir);
    EXPECT_EQ(s.PathWall, s.StartDir);

    s.PathPlugin = "/plugins";
    s.PathWall = "";
    CompleteStartup(s, "/start");
    EXPECT_EQ(s.PathPlugin, "/plugins");
    EXPECT_EQ(s.PathWall, "/start");
    EXPECT_EQ(s.StartDir, "/start");
}

TEST_F(RegistryTest, FirstSaveWritesAll18ValuesInSaveOrder) {
    TApSystem s = Loaded();
    CompleteStartup(s, "/w");
    ASSERT_TRUE(SaveOrEraseSettings(s));
    const std::string text = FileText();
    const std::string expected =
        "[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
        "\"PathPlugin\"=\"/w\"\n\"PathWall\"=\"/w\"\n\"RunAp\"=\"\"\n\"WallPaper\"=\"\"\n"
        "\"WallBuffer\"=\"Runo.bmp\"\n\"WallPosition\"=\"2\"\n\"WallSize\"=\"0\"\n\"WallArrange\"=\"0\"\n"
        "\"NoRunAp\"=\"0\"\n\"AutoWallChg\"=\"0\"\n\"AutoWallChgTime\"=\"1\"\n\"StartLastWall\"=\"0\"\n"
        "\"StartLastWallCount\"=\"0\"\n\"FileMask\"=\"" + std::string(kDefaultFileMask) + "\"\n"
        "\"BtnFlat\"=\"0\"\n\"ChgWallWindow_Left\"=\"0\"\n\"ChgWallWindow_Top\"=\"0\"\n"
        "\"SaveWindowPos\"=\"0\"\n"
        // the values beyond the 18 follow them
        "\"AutoWallShuffle\"=\"0\"\n\"MonitorMode\"=\"0\"\n\"AutoWallShuffleRound\"=\"\"\n"
        "\"MonitorWallPapers\"=\"\"\n\n";
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Brightmoss]\n\n"), std::string::npos);
}

TEST_F(RegistryTest, SaveThenLoadGivesEveryValueBack) {
    TApSystem s;
    s.RegErase = false;
    s.AutoWallChg = s.StartLastWall = s.BtnFlat = s.NoRunAp = true;
    s.WallBuffer = "buf \"1\".bmp";
    s.WallPaper = "/pics/壁紙\\a=b].png";
    s.PathPlugin = "/spi";
    s.PathWall = "/pics";
    s.StartDir = "/not/stored";
    s.RunAp = "\"/usr/bin/x y\" --z";
    s.FileMask = "*.png";
    s.ChgWallWindow_Left = -30;
    s.ChgWallWindow_Top = 40;
    s.SaveWindowPos = 5;
    s.WallSize = 3;
    s.WallPosition = 1;
    s.WallArrange = 2;
    s.AutoWallChgTime = 999;
    s.StartLastWallCount = 17;
    ASSERT_TRUE(SaveOrEraseSettings(s));

    TApSystem back = Loaded();
    EXPECT_EQ(back.StartDir, "");
    back.StartDir = s.StartDir;
    EXPECT_EQ(std::tie(back.AutoWallChg, back.StartLastWall, back.BtnFlat, back.NoRunAp, back.WallBuffer,
                       back.WallPaper, back.PathPlugin, back.PathWall, back.RunAp, back.FileMask),
              std::tie(s.AutoWallChg, s.StartLastWall, s.BtnFlat, s.NoRunAp, s.WallBuffer, s.WallPaper,
                       s.PathPlugin, s.PathWall, s.RunAp, s.FileMask));
    EXPECT_EQ(std::tie(back.ChgWallWindow_Left, back.ChgWallWindow_Top, back.SaveWindowPos, back.WallSize,
                       back.WallPosition, back.WallArrange, back.AutoWallChgTime, back.StartLastWallCount),
              std::tie(s.ChgWallWindow_Left, s.ChgWallWindow_Top, s.SaveWindowPos, s.WallSize,
                       s.WallPosition, s.WallArrange, s.AutoWallChgTime, s.StartLastWallCount));
}

TEST_F(RegistryTest, ValuesBeyondThe18SurviveASaveAndAreOffInAnOlderFile) {
    TApSystem s = Loaded();
    EXPECT_EQ(s.AutoWallShuffle, 0);
    EXPECT_EQ(s.MonitorMode, 0);
    EXPECT_EQ(s.AutoWallShuffleRound, "");
    s.AutoWallShuffle = 1;
    s.MonitorMode = 2;
    s.AutoWallShuffleRound = "1f 2e";
    s.MonitorWallPapers = "DP-1\t/a b.png\n";
    ASSERT_TRUE(SaveOrEraseSettings(s));
    const TApSystem back = Loaded();
    EXPECT_EQ(std::tie(back.AutoWallShuffle, back.MonitorMode, back.AutoWallShuffleRound, back.MonitorWallPapers),
              std::tie(s.AutoWallShuffle, s.MonitorMode, s.AutoWallShuffleRound, s.MonitorWallPapers));
}

TEST_F(RegistryTest, StoredOddValuesReadAsTheRulesSay) {
    {
        registry::TRegIniFile ini(kSettingsKey);
        ini.WriteString("Runo", "BtnFlat", "5");
        ini.WriteString("Runo", "NoRunAp", "-1");
        ini.WriteString("Runo", "AutoWallChg", "2");
        ini.WriteString("Runo", "StartLastWall", "256");
        ini.WriteString("Runo", "SaveWindowPos", "5");
        ini.WriteString("Runo", "WallPosition", "centre");
        ini.WriteString("Runo", "AutoWallChgTime", "99999999999");
        ini.WriteString("Runo", "PathPlugin", "");
    }
    TApSystem s = Loaded();
    EXPECT_TRUE(s.BtnFlat && s.NoRunAp && s.AutoWallChg && s.StartLastWall);  // any non-zero is true
    EXPECT_EQ(s.SaveWindowPos, 5);
    EXPECT_EQ(s.WallPosition, 2);
    EXPECT_EQ(s.AutoWallChgTime, 1);
    CompleteStartup(s, "/w");
    EXPECT_EQ(s.PathPlugin, "/w");

    ASSERT_TRUE(SaveOrEraseSettings(s));
    const std::string text = FileText();
    for (const char* flag : {"BtnFlat", "NoRunAp", "AutoWallChg", "StartLastWall"})
        EXPECT_NE(text.find("\"" + std::string(flag) + "\"=\"1\""), std::string::npos) << flag;
    EXPECT_NE(text.find("\"SaveWindowPos\"=\"5\""), std::string::npos);
    EXPECT_NE(text.find("\"WallPosition\"=\"2\""), std::string::npos);
}

TEST_F(RegistryTest, EraseAtExitRemovesTheSectionOnly) {
    TApSystem s = Loaded();
    s.WallPosition = 0;
    ASSERT_TRUE(SaveOrEraseSettings(s));
    s.RegErase = true;
    ASSERT_TRUE(SaveOrEraseSettings(s));

    const registry::RegistrySnapshot snapshot = registry::ReadRegistryFile(File());
    EXPECT_TRUE(snapshot.model.HasKey("HKEY_CURRENT_USER\\Software\\Brightmoss"));
    EXPECT_FALSE(snapshot.model.HasKey("HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo"));
    EXPECT_TRUE(snapshot.model.HasKey("HKEY_CURRENT_USER\\Control Panel\\desktop"));
    ExpectDefaults(Loaded());  // the next start is a first start
}

TEST_F(RegistryTest, UnwritableConfigFolderGivesOneErrorLine) {
    fs::create_directories(Dir() / "config");
    fs::permissions(Dir() / "config", fs::perms::all & ~(fs::perms::owner_write | fs::perms::group_write |
                                                         fs::perms::others_write));
    const test::ChildOutcome outcome = test::RunUnprivileged(Dir(), [] {
        TApSystem s;
        s.WallBuffer = "x";
        return !SaveOrEraseSettings(s);
    });
    EXPECT_TRUE(outcome.passed);
    EXPECT_EQ(outcome.stderrText, "vantoria: cannot save settings to " + File().string() +
                                      ": Permission denied\n");
    EXPECT_FALSE(fs::exists(File().parent_path()));
}

}  // namespace
}  // namespace vantoria
