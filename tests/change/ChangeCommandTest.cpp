#include "change/cli/ChangeCommand.h"

#include "support/Child.h"
#include "support/TestBmp.h"

#include <gtest/gtest.h>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace vantoria;
using namespace vantoria::cli;
using namespace vantoria::test;

namespace {

TEST(ChangeCommandTest, ParsesOptionsAndRefusesBadCommandLines) {
    const auto o = ParseChangeArguments({"--position", "2", "--size", "-1", "--arrange", "7", "--screen", "800x600", "a.bmp"});
    EXPECT_EQ(o.position, 2);
    EXPECT_EQ(o.size, -1);  // values outside the dialog's ranges pass through
    EXPECT_EQ(o.arrange, 7);
    EXPECT_EQ(o.screen, (raster::ScreenSize{800, 600}));
    EXPECT_EQ(o.file, "a.bmp");
    EXPECT_EQ(ParseChangeArguments({"--", "-odd name.bmp"}).file, "-odd name.bmp");
    EXPECT_TRUE(ParseChangeArguments({"--help"}).help);
    // Sizes 2 and 3 both fit the screen's shorter side.
    EXPECT_NE(ChangeUsage().find("2 and 3 (alike)"), std::string::npos);
    EXPECT_NE(ChangeUsage().find("shorter side"), std::string::npos);
    EXPECT_EQ(ChangeUsage().find("screen width"), std::string::npos);
    EXPECT_EQ(ParseChangeArguments({"--desktop", "KDE", "--no-run", "a"}).desktop, "KDE");
    EXPECT_TRUE(ParseChangeArguments({"--no-run", "a"}).noRun);
    EXPECT_EQ(ParseChangeArguments({"--monitors", "800x600+0+0,640x480+800+0", "a"}).monitors,
              "800x600+0+0,640x480+800+0");

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{}, {"--position"}, {"--position", "x", "a"}, {"--size", "1.5", "a"},
          {"--screen", "800", "a"}, {"--bogus", "a"}, {"a", "b"}, {"a", "--", "b"}, {"--desktop", "amiga", "a"},
          {"--monitors", "800x600", "a"}}) {
        EXPECT_THROW(ParseChangeArguments(bad), UsageError) << (bad.empty() ? "" : bad[0]);
    }
}

// A picture whose pixel (x, y) is blue x, green y, red 7.
void WriteCoordinateBmp(const std::string& path, int w, int h) {
    WriteBmp24(path, w, h, [](int x, int y) { return Rgb{7, y & 255, x & 255}; });
}

class ChangeProgramTest : public ::testing::Test {
protected:
    std::unique_ptr<Child> Run(std::vector<std::string> args, std::map<std::string, std::string> env = {}) const {
        env.insert({{"XDG_CONFIG_HOME", config_.Path()}, {"VANTORIA_SCREEN", "1024x768"}, {"VANTORIA_DESKTOP", "none"}});
        return std::make_unique<Child>(VANTORIA_CHANGE_PROGRAM, args, env, work_.Path());
    }
    std::string Buffer() const { return work_.Path() + "/Runo.bmp"; }
    TempDir config_, work_;
};

TEST_F(ChangeProgramTest, WritesTheBufferFileInEveryLayout) {
    const std::string pic = work_.Path() + "/pic.bmp";
    WriteCoordinateBmp(pic, 64, 48);
    struct Case {
        std::vector<std::string> layout;
        BmpSize size;
    };
    const Case cases[] = {
        {{"--position", "0", "--size", "0"}, {64, 48}},      {{"--position", "1", "--size", "1"}, {1024, 768}},
        {{"--position", "0", "--size", "2"}, {1024, 768}},   {{"--position", "1", "--size", "3"}, {1024, 768}},
        {{"--position", "2", "--arrange", "0"}, {64, 48}},   {{"--position", "2", "--arrange", "1"}, {64, 96}},
        {{"--position", "2", "--arrange", "2"}, {128, 48}},  {{"--position", "0", "--size", "7"}, {64, 48}},
        {{"--position", "2", "--size", "1"}, {64, 48}},
    };
    for (const Case& c : cases) {
        auto args = c.layout;
        args.push_back(pic);
        auto run = Run(args);
        EXPECT_EQ(run->Wait(), 0) << run->Output();
        EXPECT_EQ(ReadBmpSize(Buffer()), c.size) << c.layout[1] << " " << c.layout[3];
    }
    // The last run, centred tiling of 64 x 48 on 1024 x 768, rotates the
    // picture by (480 mod 64, 360 mod 48) = (32, 24): the file's first pixel
    // (bottom-up, so row 47) shows picture pixel (32, 23).
    const std::string f = ReadFile(Buffer());
    EXPECT_EQ(static_cast<unsigned char>(f[54 + 0]), 32);
    EXPECT_EQ(static_cast<unsigned char>(f[54 + 1]), 23);
}

TEST_F(ChangeProgramTest, OptionsHoldForOneRunAndNothingIsSaved) {
    const std::string pic = work_.Path() + "/pic.bmp";
    WriteCoordinateBmp(pic, 10, 10);
    auto run = Run({"--position", "0", "--size", "1", pic});
    ASSERT_EQ(run->Wait(), 0) << run->Output();
    const std::string reg = ReadFile(config_.Path() + "/vantoria/registry.reg");
    EXPECT_EQ(reg.find("WallPosition"), std::string::npos) << reg;
}

TEST_F(ChangeProgramTest, FailuresPrintOneLineAndExitWithOne) {
    const std::string notBmp = work_.Path() + "/text.bmp";
    std::ofstream(notBmp) << "hello";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{work_.Path() + "/missing.bmp"}, {notBmp}, {"--size"}}) {
        auto run = Run(args);
        EXPECT_EQ(run->Wait(), 1);
        const std::string out = run->Output();
        EXPECT_EQ(out.rfind("vantoria-change: ", 0), 0u) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    }
    EXPECT_EQ(ReadBmpSize(Buffer()), BmpSize{});  // nothing written
}

TEST_F(ChangeProgramTest, NoDesktopIsAFailureUnlessNoneIsNamed) {
    const std::string pic = work_.Path() + "/pic.bmp";
    WriteCoordinateBmp(pic, 8, 8);
    // Empty counts as unset for every variable the choice reads.
    const std::map<std::string, std::string> headless{{"VANTORIA_DESKTOP", ""},  {"DISPLAY", ""},
                                                      {"WAYLAND_DISPLAY", ""},   {"XDG_CURRENT_DESKTOP", ""},
                                                      {"SWAYSOCK", ""}};
    auto run = Run({pic}, headless);
    EXPECT_EQ(run->Wait(), 1);
    EXPECT_NE(run->Output().find("--desktop NAME"), std::string::npos) << run->Output();

    run = Run({"--desktop", "none", pic}, headless);
    EXPECT_EQ(run->Wait(), 0) << run->Output();
    auto forced = headless;
    forced["VANTORIA_DESKTOP"] = "none";
    run = Run({pic}, forced);
    EXPECT_EQ(run->Wait(), 0) << run->Output();
}

// --desktop and --monitors hold for the run, not for the program it starts.
TEST_F(ChangeProgramTest, SessionOptionsAreNotPassedToTheAfterChangeProgram) {
    const std::string pic = work_.Path() + "/pic.bmp";
    WriteCoordinateBmp(pic, 8, 8);
    const std::string script = work_.Path() + "/after.sh", seen = work_.Path() + "/seen";
    std::ofstream(script) << "#!/bin/sh\necho \"${VANTORIA_DESKTOP-unset} ${VANTORIA_MONITORS-unset}\" > " << seen << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    std::filesystem::create_directories(config_.Path() + "/vantoria");
    std::ofstream(config_.Path() + "/vantoria/registry.reg", std::ios::binary)
        << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n\"RunAp\"=\""
        << script << "\"\n";
    auto run = Run({"--desktop", "none", "--monitors", "640x480+0+0,320x200+640+0", "--position", "0", "--size", "1",
                    pic},
                   {{"VANTORIA_DESKTOP", ""}, {"VANTORIA_SCREEN", ""}});
    ASSERT_EQ(run->Wait(), 0) << run->Output();
    EXPECT_EQ(ReadBmpSize(Buffer()), (BmpSize{640, 480}));  // the primary of --monitors
    ASSERT_TRUE(WaitUntil([&] { return !ReadFile(seen).empty(); })) << run->Output();
    const std::string env = ReadFile(seen);
    EXPECT_EQ(env.find("none"), std::string::npos) << env;
    EXPECT_EQ(env.find("640x480"), std::string::npos) << env;
}

TEST_F(ChangeProgramTest, PluginsComeFromTheStoredOrShippedFolderNeverFromTheWorkingOne) {
    namespace fs = std::filesystem;
    // A downloaded library in the working folder, and no stored folder: it
    // is never loaded, and the shipped plug-ins read the PNG.
    fs::copy_file(MARKER_PLUGIN, work_.Path() + "/pack.spi");
    const std::string marker = work_.Path() + "/loaded";
    const std::string pic = work_.Path() + "/pic.bmp";
    WriteCoordinateBmp(pic, 8, 8);
    for (const std::string& file : {pic, std::string(VANTORIA_SAMPLE_PNG)}) {
        auto run = Run({"--no-run", file}, {{"VANTORIA_TEST_MARKER", marker}});
        EXPECT_EQ(run->Wait(), 0) << run->Output();
    }
    EXPECT_FALSE(fs::exists(marker));

    // A stored folder is used as it stands; a plug-in that crashes there is
    // one failure, with the reason.
    fs::create_directories(work_.Path() + "/plugins");
    fs::copy_file(CRASHING_PLUGIN, work_.Path() + "/plugins/png.spi");
    fs::create_directories(config_.Path() + "/vantoria");
    std::ofstream(config_.Path() + "/vantoria/registry.reg")
        << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"
        << "\"PathPlugin\"=\"" << work_.Path() << "/plugins\"\n";
    std::ofstream(work_.Path() + "/bad.png") << "HOSTILE picture";
    auto crash = Run({"--no-run", work_.Path() + "/bad.png"});
    EXPECT_EQ(crash->Wait(), 1);
    EXPECT_NE(crash->Output().find("the plug-in png.spi ended with signal 11"), std::string::npos) << crash->Output();

    // ... unless others can write to it.
    fs::permissions(work_.Path() + "/plugins", fs::perms::others_write, fs::perm_options::add);
    auto refused = Run({"--no-run", work_.Path() + "/bad.png"});
    EXPECT_EQ(refused->Wait(), 1);
    EXPECT_NE(refused->Output().find("the plug-in folder " + work_.Path() + "/plugins is not used: other users can write to it"),
              std::string::npos)
        << refused->Output();
}

}  // namespace
