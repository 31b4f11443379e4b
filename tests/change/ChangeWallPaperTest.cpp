// The change operation end to end in one process: a test plug-in decodes,
// the composition writes the buffer file, the "none" desktop records it, and
// a recording script stands in for the after-change program.

#include "change/ChangeWallPaper.h"

#include "imaging/Spi_load.h"
#include "platform/desktop/DesktopTestEnv.h"
#include "platform/registry/Registry.h"
#include "platform/report/Reporter.h"
#include "settings/ApSystem.h"
#include "support/Child.h"
#include "support/RecordingReporter.h"
#include "support/TestBmp.h"

#include <gtest/gtest.h>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vantoria;
using namespace vantoria::test;
namespace fs = std::filesystem;

namespace {

class ChangeWallPaperTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetReporter(&reporter_);
        // Put back as they were, so no later test writes into this folder.
        config_.emplace("XDG_CONFIG_HOME", dir_.Path() + "/config");
        desktop_.emplace("VANTORIA_DESKTOP", "none");
        fs::create_directories(dir_.Path() + "/plugins");
        fs::copy_file(TEST_PLUGIN, dir_.Path() + "/plugins/test.spi");
        fs::create_directories(dir_.Path() + "/start");
        settings_.StartDir = dir_.Path() + "/start";
        settings_.WallBuffer = "Runo.bmp";
        settings_.WallPosition = 2;
        settings_.RunAp = "after-change --flag";
        loader_.SpiPathName = dir_.Path() + "/plugins";
    }
    void TearDown() override {
        SetReporter(nullptr);
        desktop_.reset();
        config_.reset();
    }

    // The after-change program is started through ExecRunAp in the program
    // (tested on its own); here the starts are counted.
    bool RanOnce() const { return started_ == std::vector<std::string>{"after-change --flag"}; }
    bool NeverRan() const { return started_.empty(); }
    std::string Picture(const std::string& params) const {
        static int count = 0;
        const std::string path = dir_.Path() + "/pic" + std::to_string(++count) + ".tst";
        std::ofstream(path) << "VANTORIA-TESTPIC\n" << params << "\n";
        return path;
    }
    std::string Buffer() const { return settings_.StartDir + "/Runo.bmp"; }
    std::string DesktopValue(const char* name) const {
        registry::TRegistry reg;
        if (!reg.OpenKey("\\Control Panel\\desktop", false)) return "<no key>";
        return reg.ReadString(name);
    }

    TempDir dir_;
    std::optional<ScopedEnv> config_, desktop_;
    RecordingReporter reporter_;
    TApSystem settings_;
    TSpi_load loader_;
    std::vector<std::string> started_;
    WallpaperChanger changer_{loader_, settings_, [] { return raster::ScreenSize{64, 48}; },
                              [this](const std::string& commandLine) {
                                  started_.push_back(commandLine);
                                  return true;
                              }};
};

TEST_F(ChangeWallPaperTest, APluginPictureBecomesTheWallpaperAndTheProgramRuns) {
    const auto outcome = changer_.ChangeWallPaper(Picture("width=10\nheight=6"));
    EXPECT_TRUE(outcome.ok) << outcome.reason;
    EXPECT_TRUE(reporter_.messages.empty());
    EXPECT_EQ(changer_.Master().Width(), 10);
    const std::string bmp = ReadFile(Buffer());
    ASSERT_GE(bmp.size(), 54u);
    std::int32_t w = 0;
    std::memcpy(&w, bmp.data() + 18, 4);
    EXPECT_EQ(w, 10);  // mode 4 keeps the picture's size
    EXPECT_EQ(DesktopValue("Wallpaper"), Buffer());
    EXPECT_EQ(DesktopValue("TileWallPaper"), "1");
    EXPECT_TRUE(RanOnce());

    settings_.WallPosition = 0;
    settings_.NoRunAp = true;  // no second start
    EXPECT_TRUE(changer_.ChangeWallPaper(Picture("")).ok);
    EXPECT_EQ(DesktopValue("TileWallPaper"), "0");
    EXPECT_TRUE(RanOnce());
}

TEST_F(ChangeWallPaperTest, AnEmptyFileNameDoesNothingAtAll) {
    const auto outcome = changer_.ChangeWallPaper("");
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(reporter_.messages.empty());
    EXPECT_FALSE(fs::exists(Buffer()));
    EXPECT_TRUE(NeverRan());
}

TEST_F(ChangeWallPaperTest, EveryFailureShowsTheOneMessageAndTheProgramStillRuns) {
    std::ofstream(dir_.Path() + "/broken.bmp") << "BM not really";
    struct Case {
        const char* what;
        std::string file;
        std::function<void(TApSystem&)> setup;
    };
    const Case cases[] = {
        {"native decode error", dir_.Path() + "/broken.bmp", [](TApSystem&) {}},
        {"plug-in GetPicture fails", Picture("fail_picture=1"), [](TApSystem&) {}},
        {"plug-in lies about its rows", Picture("bits_bytes=5"), [](TApSystem&) {}},
        {"buffer folder missing", Picture(""), [](TApSystem& s) { s.StartDir += "/missing"; }},
        {"empty WallBuffer", Picture(""), [](TApSystem& s) { s.WallBuffer.clear(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TApSystem saved = settings_;
        c.setup(settings_);
        reporter_.messages.clear();
        started_.clear();

        const auto outcome = changer_.ChangeWallPaper(c.file);
        EXPECT_FALSE(outcome.ok);
        ASSERT_EQ(reporter_.messages.size(), 1u);
        EXPECT_EQ(reporter_.messages[0],
                  "壁紙を作成できません。Susieプラグインフォルダを変更した場合は、再起動してください。");
        EXPECT_FALSE(reporter_.details[0].empty());
        // Nothing reached the desktop: no buffer file, no recorded wallpaper.
        EXPECT_FALSE(fs::exists(Buffer()));
        EXPECT_NE(DesktopValue("Wallpaper"), Buffer());
        EXPECT_TRUE(RanOnce());
        settings_ = saved;
    }
}

TEST_F(ChangeWallPaperTest, AFailedLayoutStepIsReportedAlthoughThePictureIsApplied) {
    settings_.WallPosition = 0;
    settings_.WallSize = 1;  // stretch to a screen no bitmap can cover
    settings_.NoRunAp = true;
    WallpaperChanger changer(loader_, settings_, [] { return raster::ScreenSize{65535, 65535}; });
    const auto outcome = changer.ChangeWallPaper(Picture("width=10\nheight=6"));
    EXPECT_FALSE(outcome.ok);
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_NE(reporter_.details[0].find("StretchToScreen failed"), std::string::npos) << reporter_.details[0];
    // The pipeline went on: the picture as the steps left it is the wallpaper.
    EXPECT_EQ(ReadBmpSize(Buffer()), (BmpSize{10, 6}));
    EXPECT_EQ(DesktopValue("Wallpaper"), Buffer());
}

TEST_F(ChangeWallPaperTest, AMissingProgramIsReportedAfterTheChangeAndNoRunApStartsNothing) {
    settings_.RunAp = dir_.Path() + "/no-such-program";
    WallpaperChanger realStarts(loader_, settings_, [] { return raster::ScreenSize{64, 48}; });
    EXPECT_TRUE(realStarts.ChangeWallPaper(Picture("")).ok);
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(reporter_.messages[0], "起動できません。");
    EXPECT_TRUE(fs::exists(Buffer()));

    reporter_.messages.clear();
    settings_.NoRunAp = true;
    EXPECT_FALSE(changer_.ChangeWallPaper(dir_.Path() + "/nothing-reads-this.xyz").ok);
    EXPECT_EQ(reporter_.messages.size(), 1u);  // the change's own failure only
    EXPECT_TRUE(NeverRan());
}

TEST_F(ChangeWallPaperTest, AFailedWriteLeavesTheShownWallpaperIntact) {
    ASSERT_TRUE(changer_.ChangeWallPaper(Picture("width=4\nheight=3")).ok);
    const std::string before = ReadFile(Buffer());
    // In a child whose files may not grow past 100 bytes, a larger picture
    // cannot be written; the buffer file must survive whole.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        settings_.NoRunAp = true;
        const bool applied = changer_.ChangeWallPaper(Picture("width=40\nheight=30")).ok;
        ::_exit(applied ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(Buffer()), before);
}

}  // namespace
