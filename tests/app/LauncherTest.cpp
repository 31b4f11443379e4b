// The installed launcher: it links the installed plug-ins into the start
// folder and manages only the links it made there; a user with no settings
// yet starts with the pictures folder as the wallpaper folder.

#include "support/Child.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

using namespace vantoria::test;
namespace fs = std::filesystem;

namespace {

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        // An installed tree as cmake --install lays it out, with a program
        // that only tells where it was started.
        const std::string script = ReadFile(VANTORIA_LAUNCHER);
        const std::string marker = "plugins=$(readlink -f \"$here/";
        const auto at = script.find(marker);
        ASSERT_NE(at, std::string::npos);
        const auto from = at + marker.size();
        plugins_ = root_.Path() + "/prefix/bin/" + script.substr(from, script.find('"', from) - from);
        fs::create_directories(root_.Path() + "/prefix/bin");
        fs::create_directories(plugins_);
        plugins_ = fs::canonical(plugins_).string();
        fs::copy_file(VANTORIA_LAUNCHER, root_.Path() + "/prefix/bin/vantoria-launch");
        ::chmod((root_.Path() + "/prefix/bin/vantoria-launch").c_str(), 0755);
        std::ofstream(root_.Path() + "/prefix/bin/vantoria") << "#!/bin/sh\npwd > \"$HOME/started-in\"\n";
        ::chmod((root_.Path() + "/prefix/bin/vantoria").c_str(), 0755);
        for (const char* name : {"png.spi", "gif.spi", "jpeg.spi", "webp.spi"}) std::ofstream(plugins_ + "/" + name);
        home_ = root_.Path() + "/home";
        start_ = home_ + "/.local/share/vantoria";
        fs::create_directories(start_);
    }

    void Launch() {
        Child launcher(root_.Path() + "/prefix/bin/vantoria-launch", {},
                       {{"HOME", home_}, {"XDG_DATA_HOME", ""}, {"XDG_CONFIG_HOME", ""}, {"XDG_PICTURES_DIR", ""}},
                       "/");
        ASSERT_EQ(launcher.Wait(), 0) << launcher.Output();
        EXPECT_EQ(ReadFile(home_ + "/started-in"), start_ + "\n");
    }
    std::string Registry() const { return ReadFile(home_ + "/.config/vantoria/registry.reg"); }

    TempDir root_;
    std::string plugins_, home_, start_;
};

TEST_F(LauncherTest, OnlyItsOwnLinksIntoTheInstalledPluginsAreManaged) {
    std::ofstream(home_ + "/my-png.spi");
    fs::create_symlink(home_ + "/my-png.spi", start_ + "/png.spi");               // the user's own plug-in
    fs::create_symlink("/nonexistent-drive/jpeg.spi", start_ + "/jpeg.spi");      // on a drive not mounted now
    std::ofstream(start_ + "/gif.spi") << "mine";                                 // a file of the user's
    fs::create_symlink(plugins_ + "/old.spi", start_ + "/old.spi");               // ours, no longer installed
    fs::create_symlink(plugins_ + "/../plugins/webp.spi", start_ + "/webp.spi");  // ours, as an older launcher wrote it

    Launch();
    EXPECT_EQ(fs::read_symlink(start_ + "/png.spi"), home_ + "/my-png.spi");
    EXPECT_EQ(fs::read_symlink(start_ + "/jpeg.spi"), "/nonexistent-drive/jpeg.spi");
    EXPECT_EQ(ReadFile(start_ + "/gif.spi"), "mine");
    EXPECT_FALSE(fs::is_symlink(start_ + "/gif.spi"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(start_ + "/old.spi")));
    EXPECT_TRUE(fs::exists(start_ + "/webp.spi"));

    // A fresh start folder gets every installed plug-in.
    fs::remove_all(start_);
    Launch();
    for (const char* name : {"png.spi", "gif.spi", "jpeg.spi", "webp.spi"})
        EXPECT_EQ(fs::read_symlink(start_ + "/" + name), plugins_ + "/" + name) << name;
}

TEST_F(LauncherTest, AFirstStartOpensOnThePicturesFolderAndLaterStartsKeepTheSettings) {
    // user-dirs.dirs names the pictures folder relative to $HOME.
    fs::create_directories(home_ + "/.config");
    fs::create_directories(home_ + "/Bilder \"2\"");
    std::ofstream(home_ + "/.config/user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
        << "XDG_PICTURES_DIR=\"$HOME/Bilder \\\"2\\\"\"\n";
    Launch();
    EXPECT_NE(Registry().find("\"PathWall\"=\"" + home_ + "/Bilder \\\"2\\\"\"\n"), std::string::npos) << Registry();

    // A pictures folder that is not there: the home folder.
    fs::remove(home_ + "/.config/vantoria/registry.reg");
    fs::remove(home_ + "/Bilder \"2\"");
    Launch();
    EXPECT_NE(Registry().find("\"PathWall\"=\"" + home_ + "\"\n"), std::string::npos) << Registry();

    fs::remove(home_ + "/.config/vantoria/registry.reg");
    fs::create_directories(home_ + "/Pictures");
    std::ofstream(home_ + "/.config/user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n";
    Launch();
    const std::string seeded = Registry();
    EXPECT_TRUE(seeded.starts_with("Windows Registry Editor Version 5.00\n")) << seeded;
    EXPECT_NE(seeded.find("[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n\"PathWall\"=\"" + home_ +
                          "/Pictures\"\n"),
              std::string::npos)
        << seeded;

    // Settings of the user's own are never replaced.
    std::ofstream(home_ + "/.config/vantoria/registry.reg") << "Windows Registry Editor Version 5.00\n";
    Launch();
    EXPECT_EQ(Registry(), "Windows Registry Editor Version 5.00\n");
    for (const auto& entry : fs::directory_iterator(home_ + "/.config/vantoria"))
        EXPECT_EQ(entry.path().filename(), "registry.reg");  // no temporary file left
}

}  // namespace
