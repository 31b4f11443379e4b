// ApplyWallPaper and EraseWallPaper against a private registry, with the
// "none" desktop (which only records) or a stand-in desktop tool.

#include "compose/ApplyWallPaper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/desktop/DesktopTestEnv.h"
#include "platform/raster/Bitmap.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryTestEnv.h"

namespace vantoria {
namespace {

using ::testing::HasSubstr;

class ApplyWallPaperTest : public ::testing::Test {
protected:
    ApplyWallPaperTest() : box_("none") {
        raster::Bitmap picture(3, 2);
        picture.Fill(1, 2, 3);
        picture.SaveToFile(buffer_);
    }

    // "<none>" for a missing value, "<no key>" for a missing key.
    std::string Value(const std::string& name) const {
        registry::TRegistry reg;
        if (!reg.OpenKey("\\Control Panel\\desktop", false)) return "<no key>";
        return reg.ValueExists(name) ? reg.ReadString(name) : "<none>";
    }
    std::string FileText() const { return test::ReadFile(box_.RegistryFile().string()); }

    test::DesktopSandbox box_;
    const std::string buffer_ = box_.Dir() + "/Runo.bmp";
};

TEST_F(ApplyWallPaperTest, WritesTheTileFlagAsAOneCharacterString) {
    const Result result = ApplyWallPaper(buffer_, true);
    EXPECT_TRUE(result);
    EXPECT_EQ(result.reason, "");
    EXPECT_THAT(FileText(), HasSubstr("\"TileWallPaper\"=\"1\"\n"));
    EXPECT_EQ(Value("Wallpaper"), buffer_);
    EXPECT_TRUE(ApplyWallPaper(buffer_, false));
    EXPECT_THAT(FileText(), HasSubstr("\"TileWallPaper\"=\"0\"\n"));
    EXPECT_TRUE(ApplyWallPaper(buffer_, true));
    EXPECT_EQ(Value("TileWallPaper"), "1");
}

TEST_F(ApplyWallPaperTest, TheDesktopSeesTheTileFlagOfThisCall) {
    const test::ScopedEnv lxqt("VANTORIA_DESKTOP", "lxqt");
    const test::StandIns tools(box_.Dir() + "/tools");
    tools.Add("pcmanfm-qt");
    EXPECT_TRUE(ApplyWallPaper(buffer_, true));
    EXPECT_TRUE(ApplyWallPaper(buffer_, false));
    const auto calls = tools.Calls("pcmanfm-qt");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].back(), "tile");
    EXPECT_EQ(calls[1].back(), "center");
}

TEST_F(ApplyWallPaperTest, AnEmptyPathWritesTheFlagThenRemovesTheWallpaper) {
    ASSERT_TRUE(ApplyWallPaper(buffer_, false));
    EXPECT_TRUE(ApplyWallPaper("", true));
    EXPECT_EQ(Value("TileWallPaper"), "1");
    EXPECT_EQ(Value("Wallpaper"), "");
}

// A settings file without the desktop key gets it at load, as a profile
// has it, so the very first tiled change is tiled.
TEST_F(ApplyWallPaperTest, AFileWithoutTheDesktopKeyGetsItAtLoad) {
    box_.WriteRegistry("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"a\"=\"b\"\n");
    {
        // A desktop that refuses records nothing, which shows what ApplyWallPaper itself wrote.
        const test::ScopedEnv refused("VANTORIA_DESKTOP", "amiga");
        const Result result = ApplyWallPaper(buffer_, true);
        EXPECT_FALSE(result);
        EXPECT_THAT(result.reason, HasSubstr("VANTORIA_DESKTOP=amiga"));
        EXPECT_EQ(Value("TileWallPaper"), "1");
        EXPECT_EQ(Value("Wallpaper"), "");
    }
    EXPECT_TRUE(ApplyWallPaper(buffer_, true));
    EXPECT_EQ(Value("Wallpaper"), buffer_);
    EXPECT_EQ(Value("TileWallPaper"), "1");
    EXPECT_THAT(FileText(), HasSubstr("\"a\"=\"b\""));
}

TEST_F(ApplyWallPaperTest, TheFirstChangeEverFindsAProfileAsWindowsWould) {
    ASSERT_FALSE(std::filesystem::exists(box_.RegistryFile()));
    EXPECT_TRUE(ApplyWallPaper(buffer_, true));
    EXPECT_EQ(Value("TileWallPaper"), "1");
    EXPECT_EQ(Value("Wallpaper"), buffer_);
}

TEST_F(ApplyWallPaperTest, EraseLeavesTheTileFlagAlone) {
    ASSERT_TRUE(ApplyWallPaper(buffer_, true));
    const std::string before = FileText();
    const Result erased = EraseWallPaper();
    EXPECT_TRUE(erased);
    EXPECT_EQ(erased.reason, "");
    EXPECT_EQ(Value("TileWallPaper"), "1");
    EXPECT_EQ(Value("Wallpaper"), "");
    const std::string once = FileText();
    EXPECT_TRUE(EraseWallPaper());
    EXPECT_EQ(FileText(), once);
    EXPECT_NE(before, once);
}

TEST_F(ApplyWallPaperTest, ARegistryFailureSkipsTheWallpaper) {
    // A profile the child can read but not change.
    ASSERT_TRUE(ApplyWallPaper(buffer_, false));
    namespace fs = std::filesystem;
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    const fs::path folders[] = {box_.RegistryFile().parent_path().parent_path(), box_.RegistryFile().parent_path()};
    for (const auto& folder : folders) fs::permissions(folder, readOnly);
    fs::permissions(box_.RegistryFile(), fs::perms::owner_read | fs::perms::others_read);
    const test::ScopedEnv lxqt("VANTORIA_DESKTOP", "lxqt");
    const test::StandIns tools(box_.Dir() + "/tools");
    tools.Add("pcmanfm-qt");
    std::filesystem::permissions(box_.Dir() + "/tools/log", std::filesystem::perms::all);
    const std::string buffer = buffer_;
    const test::ChildOutcome outcome = test::RunUnprivileged(box_.Dir(), [&buffer] {
        const Result result = ApplyWallPaper(buffer, true);
        return !result && result.reason.starts_with("the desktop setting could not be recorded in ");
    });
    for (const auto& folder : folders) fs::permissions(folder, fs::perms::owner_all);
    EXPECT_TRUE(outcome.passed) << outcome.stderrText;
    EXPECT_TRUE(tools.Calls("pcmanfm-qt").empty());
    EXPECT_EQ(Value("TileWallPaper"), "0");
}

}  // namespace
}  // namespace vantoria
