// The chooser's file list (the automatic sequence) and its drive list.

#include "change/Drives.h"
#include "change/WallFileList.h"

#include "support/Child.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace vantoria;
using namespace vantoria::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kPictures =
    "*.bmp;*.gif;*.jpg;*.dib;*.ico;*.mng;*.jng;*.png;*.mag;*.pi;*.pict;*.pic;*.pic2;*.xpm";

TEST(WallFileListTest, MasksMatchWithoutRegardToCaseAndAnyPatternCounts) {
    EXPECT_TRUE(MatchesFileMask("photo.jpg", "*.JPG"));
    EXPECT_TRUE(MatchesFileMask("PHOTO.JPG", kPictures));
    EXPECT_TRUE(MatchesFileMask("x.pic2", kPictures));
    EXPECT_FALSE(MatchesFileMask("x.pic3", kPictures));
    EXPECT_FALSE(MatchesFileMask("x.jpeg", kPictures));
    EXPECT_FALSE(MatchesFileMask("photo.jpg.txt", kPictures));
    EXPECT_TRUE(MatchesFileMask("img_?1.png", "IMG_?1.PNG"));
    EXPECT_TRUE(MatchesFileMask("img_71.png", "img_?1.png; *.bmp"));
    EXPECT_TRUE(MatchesFileMask("a.bmp", "*.png ; *.bmp"));
    // "*.*" is every file, with or without an extension.
    EXPECT_TRUE(MatchesFileMask("README", "*.*"));
    EXPECT_TRUE(MatchesFileMask("a.b.c", "*.*"));
    EXPECT_FALSE(MatchesFileMask("a.bmp", ""));
    EXPECT_FALSE(MatchesFileMask("a.bmp", ";;"));
    // Bytes that are not ASCII are compared as they are.
    EXPECT_TRUE(MatchesFileMask("\xe5\xa3\x81.PNG", "\xe5\xa3\x81*.png"));
    EXPECT_FALSE(MatchesFileMask(std::string(200, 'a') + "b", "*a*a*a*a*a*a*a*a*c"));
}

TEST(WallFileListTest, ListsMatchingFilesOnlyInAStableCaseBlindOrder) {
    TempDir dir;
    const fs::path d = dir.Path();
    for (const char* name : {"b.jpg", "B.JPG", "a.PNG", "C.bmp", "_x.gif", "10.png", "9.png", "note.txt", ".hidden.png"})
        std::ofstream(d / name) << "x";
    fs::create_directory(d / "folder.jpg");
    fs::create_symlink(d / "C.bmp", d / "link.bmp");
    fs::create_symlink(d / "gone.bmp", d / "dangling.bmp");
    ASSERT_EQ(::mkfifo((d / "pipe.png").c_str(), 0600), 0);

    const std::vector<std::string> expected{"10.png", "9.png", "_x.gif", "a.PNG", "B.JPG", "b.jpg", "C.bmp", "link.bmp"};
    EXPECT_EQ(ListWallFiles(dir.Path(), kPictures), expected);
    EXPECT_EQ(ListWallFiles(dir.Path(), kPictures), expected) << "the same order every time";
    EXPECT_EQ(ListWallFiles(dir.Path(), "*.TXT"), std::vector<std::string>{"note.txt"});
    EXPECT_EQ(ListWallFiles(dir.Path(), "*.*").size(), expected.size() + 1);
    EXPECT_TRUE(ListWallFiles(dir.Path() + "/missing", "*.*").empty());
    EXPECT_TRUE(ListWallFiles(dir.Path() + "/note.txt", "*.*").empty());
}

TEST(WallFileListTest, AMissingFolderOpensItsNearestExistingParent) {
    TempDir dir;
    fs::create_directories(dir.Path() + "/a/b");
    std::ofstream(dir.Path() + "/a/file") << "x";
    EXPECT_EQ(NearestExistingFolder(dir.Path() + "/a/b", "/home"), dir.Path() + "/a/b");
    EXPECT_EQ(NearestExistingFolder(dir.Path() + "/a/b/gone/deeper/", "/home"), dir.Path() + "/a/b");
    EXPECT_EQ(NearestExistingFolder(dir.Path() + "/a/file", "/home"), dir.Path() + "/a");
    EXPECT_EQ(NearestExistingFolder("/surely-not-here-1234/x", "/home"), "/");
    EXPECT_EQ(NearestExistingFolder("relative-gone/x", "/home"), "/home");
    EXPECT_EQ(NearestExistingFolder("", "/home"), "/home");

    // The chooser's opening listing, which the automatic change reads too.
    const WallListing listing = ListChooserFolder(dir.Path() + "/a/gone", "*.*", "/home");
    EXPECT_EQ(listing.folder, dir.Path() + "/a");
    EXPECT_EQ(listing.files, std::vector<std::string>{"file"});
}

// The letters at both ends of the alphabet are folded like the rest.
TEST(WallFileListTest, CaseFoldingCoversAToZInMatchAndOrder) {
    EXPECT_TRUE(MatchesFileMask("PIZZA.BMP", "pizza.bmp"));
    EXPECT_TRUE(MatchesFileMask("pizza.bmp", "PIZZA.BMP"));
    EXPECT_TRUE(MatchesFileMask("ABC.Z", "abc.z"));
    TempDir dir;
    for (const char* name : {"Zeta.bmp", "alpha.bmp", "y.bmp", "Ab.bmp"}) std::ofstream(dir.Path() + "/" + name) << "x";
    EXPECT_EQ(ListWallFiles(dir.Path(), "*.bmp"), (std::vector<std::string>{"Ab.bmp", "alpha.bmp", "y.bmp", "Zeta.bmp"}));
}

TEST(WallFileListTest, DrivesAreTheUserFileSystemsRootFirst) {
    const std::string mountinfo =
        "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
        "23 22 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
        "24 22 0:22 / /sys rw shared:2 - sysfs sysfs rw\n"
        "25 22 0:5 / /dev rw shared:3 - devtmpfs udev rw\n"
        "26 22 0:23 / /run rw shared:4 - tmpfs tmpfs rw\n"
        "27 22 0:24 / /tmp rw shared:5 - tmpfs tmpfs rw\n"
        "28 22 8:1 / /boot/efi rw shared:6 - vfat /dev/sda1 rw\n"
        "29 22 8:3 / /home rw shared:7 - ext4 /dev/sda3 rw\n"
        "30 26 8:17 / /run/media/me/USB\\040STICK rw shared:8 - vfat /dev/sdb1 rw\n"
        "31 22 7:0 / /snap/core/1 ro shared:9 - squashfs /dev/loop0 ro\n"
        "32 22 8:33 / /mnt/data rw shared:10 master:1 - xfs /dev/sdc1 rw\n"
        "33 22 8:33 / /mnt/data rw shared:11 - xfs /dev/sdc1 rw\n"
        "34 24 0:25 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
        "35 22 0:40 / /srv/share rw - nfs4 server:/share rw\n"
        "broken line\n";
    const std::vector<std::string> drives = DrivesFromMountInfo(mountinfo);
    EXPECT_EQ(drives, (std::vector<std::string>{"/", "/home", "/mnt/data", "/run/media/me/USB STICK", "/srv/share"}));
    EXPECT_EQ(DrivesFromMountInfo(""), std::vector<std::string>{"/"});

    EXPECT_EQ(DriveOf("/home/me/pics", drives), "/home");
    EXPECT_EQ(DriveOf("/home", drives), "/home");
    EXPECT_EQ(DriveOf("/homework", drives), "/");
    EXPECT_EQ(DriveOf("/run/media/me/USB STICK/dcim", drives), "/run/media/me/USB STICK");
    EXPECT_EQ(ListDrives().front(), "/");
}

}  // namespace
