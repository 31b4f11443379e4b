#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/registry/RegistryError.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryTestEnv.h"

namespace vantoria::registry {
namespace {

namespace fs = std::filesystem;
using test::RegistryTest;

const std::string kKey = "HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo";
const std::string kSeed =
    "[HKEY_CURRENT_USER\\Control Panel]\n\n"
    "[HKEY_CURRENT_USER\\Control Panel\\desktop]\n\"TileWallPaper\"=\"0\"\n\"Wallpaper\"=\"\"\n\n";

void SaveOneValue(const std::string& key, const std::string& name, const std::string& data) {
    RegistryStore store;
    store.SetValue(key, name, data);
    store.Save();
}

TEST_F(RegistryTest, SavesSeedTheProfileWheneverItIsMissing) {
    SaveOneValue(kKey, "PathWall", "/home/u");
    EXPECT_EQ(FileText(), "Windows Registry Editor Version 5.00\n\n" + kSeed +
                              "[HKEY_CURRENT_USER\\Software]\n\n"
                              "[HKEY_CURRENT_USER\\Software\\Brightmoss]\n\n"
                              "[" + kKey + "]\n\"PathWall\"=\"/home/u\"\n\n");

    // A file that lost the desktop key has it again at the next load and save.
    {
        RegistryStore store;
        store.EraseKey("HKEY_CURRENT_USER\\Control Panel");
        store.Save();
    }
    EXPECT_EQ(FileText().find("Control Panel"), std::string::npos);
    EXPECT_EQ(RegistryStore().Value("HKEY_CURRENT_USER\\Control Panel\\desktop", "TileWallPaper"), "0");
    SaveOneValue(kKey, "PathWall", "/other");
    EXPECT_NE(FileText().find(kSeed.substr(kSeed.find("[HKEY_CURRENT_USER\\Control Panel\\desktop]"))),
              std::string::npos);
}

TEST_F(RegistryTest, ProcessesSavingAtOnceKeepEachOthersKeys) {
    constexpr int kChildren = 4, kSaves = 20;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            try {
                for (int i = 0; i < kSaves; ++i)
                    SaveOneValue("HKEY_CURRENT_USER\\Test\\C" + std::to_string(c) + "\\K" + std::to_string(i),
                                 "v", std::to_string(i));
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const RegistrySnapshot snapshot = ReadRegistryFile(File());
    EXPECT_EQ(snapshot.state, FileState::Clean);
    for (int c = 0; c < kChildren; ++c)
        for (int i = 0; i < kSaves; ++i)
            EXPECT_EQ(snapshot.model.Value("HKEY_CURRENT_USER\\Test\\C" + std::to_string(c) + "\\K" +
                                               std::to_string(i), "v"),
                      std::to_string(i))
                << c << "/" << i;
}

// A damaged file gives what could be read with one warning; the next save
// keeps the original as registry.reg.damaged, says so, and writes a clean file.
TEST_F(RegistryTest, DamagedFilesAreReadInPartAndRewrittenClean) {
    const std::string good = "[" + kKey + "]\n\"Kept\"=\"yes\"\n";
    // Nested far deeper than a key may be: one damaged line.
    std::string deep = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 100000; ++i) deep += "\\a";
    deep += "]\n";
    const std::string cases[] = {
        "Windows Registry Editor Version 5.00\n\n" + good + "\"Cut\"=\"/ho",
        "Windows Registry Editor Version 5.00\n\x01\x02 garbage\n" + good + "}{\n",
        good,  // no header
        "Windows Registry Editor Version 5.00\n\n" + good + deep,
    };
    int n = 0;
    for (const std::string& text : cases) {
        ::setenv("XDG_CONFIG_HOME", (Dir() / ("config" + std::to_string(n++))).c_str(), 1);  // one report each
        WriteFileText(text);
        testing::internal::CaptureStderr();
        RegistryStore store;
        const std::string warning = testing::internal::GetCapturedStderr();
        EXPECT_NE(warning.find("is damaged"), std::string::npos) << warning;
        EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1) << warning;
        EXPECT_EQ(store.Value(kKey, "Kept"), "yes");

        store.SetValue(kKey, "New", "1");
        testing::internal::CaptureStderr();
        store.Save();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said, "vantoria: the settings file " + File().string() + " could not be read whole; it is kept as " +
                            File().string() + ".damaged and a new one is written\n");
        EXPECT_EQ(test::ReadFile(File().string() + ".damaged"), text);
        const RegistrySnapshot after = ReadRegistryFile(File());
        EXPECT_EQ(after.state, FileState::Clean) << after.problem;
        EXPECT_EQ(after.model.Value(kKey, "Kept"), "yes");
    }
}

// A regular file that cannot be read is kept aside, never destroyed, and a
// clean file takes its place.
TEST_F(RegistryTest, UnusableFilesAreMovedAsideBySave) {
    fs::create_directories(File().parent_path());
    std::ofstream(File()) << "x";
    fs::resize_file(File(), kMaxRegistryFileSize + 1);  // a huge (sparse) file
    const RegistrySnapshot before = ReadRegistryFile(File());
    EXPECT_EQ(before.state, FileState::Unusable);
    EXPECT_TRUE(before.model.Keys().empty());

    testing::internal::CaptureStderr();
    SaveOneValue(kKey, "V", "1");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("is kept as " + File().string() + ".damaged"),
              std::string::npos);
    EXPECT_EQ(ReadRegistryFile(File()).state, FileState::Clean);
    EXPECT_NE(FileText().find("TileWallPaper"), std::string::npos);  // seeded as a new file
    EXPECT_EQ(fs::file_size(fs::path(File()) += ".damaged"), kMaxRegistryFileSize + 1);
}

// Anything but a regular file, there or at the end of a link, stays exactly
// as it is, and the save says why it failed.
TEST_F(RegistryTest, OnlyARegularFileIsEverReplaced) {
    fs::create_directories(File().parent_path());
    const fs::path fifo = Dir() / "fifo", device = Dir() / "null", folder = Dir() / "Documents";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    fs::create_directories(folder);
    std::ofstream(folder / "letter.txt") << "keep";

    const auto expectRefused = [&](const fs::path& thing) {
        testing::internal::CaptureStderr();
        try {
            SaveOneValue(kKey, "V", "1");
            ADD_FAILURE() << "saved over " << thing;
        } catch (const RegistryError& error) {
            EXPECT_NE(std::string(error.what()).find(thing.string() + " is not a regular file"),
                      std::string::npos) << error.what();
        }
        testing::internal::GetCapturedStderr();
    };
    for (const fs::path& thing : {fifo, device, folder}) {
        fs::create_symlink(thing, File());
        expectRefused(thing);
        EXPECT_TRUE(fs::is_symlink(File()));
        EXPECT_EQ(fs::read_symlink(File()), thing);
        fs::remove(File());
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_character_file(device));
    EXPECT_EQ(test::ReadFile((folder / "letter.txt").string()), "keep");

    ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0);  // directly in the file's place
    expectRefused(File());
    EXPECT_TRUE(fs::is_fifo(File()));
    for (const auto& entry : fs::directory_iterator(File().parent_path()))
        EXPECT_NE(entry.path().filename().string().rfind(".registry.reg", 0), 0u) << entry.path();
}

TEST_F(RegistryTest, UnreadableFileGivesDefaultsAndIsKeptAside) {
    WriteFileText("Windows Registry Editor Version 5.00\n\n[" + kKey + "]\n\"V\"=\"secret\"\n");
    fs::permissions(File().parent_path(), fs::perms::all);
    ASSERT_EQ(::chown(File().c_str(), 65534, 65534), 0);
    fs::permissions(File(), fs::perms::owner_write);  // the user's own, but not readable
    const test::ChildOutcome outcome = test::RunUnprivileged(Dir(), [] {
        RegistryStore store;
        if (store.Value(kKey, "V")) return false;
        store.SetValue(kKey, "V", "new");
        store.Save();
        return ReadRegistryFile(RegistryFilePath()).model.Value(kKey, "V") == "new";
    });
    EXPECT_TRUE(outcome.passed) << outcome.stderrText;
    EXPECT_NE(outcome.stderrText.find("Permission denied"), std::string::npos) << outcome.stderrText;
    EXPECT_NE(test::ReadFile(File().string() + ".damaged").find("secret"), std::string::npos);
}

// The error names the first cause, also when there is no lock file yet.
TEST_F(RegistryTest, UnwritableFolderFailsWithOneErrorAndHarmsNothing) {
    SaveOneValue(kKey, "V", "old");
    const std::string before = FileText();
    // Readable for the unprivileged child, so that only the writing fails.
    fs::permissions(File(), fs::perms::owner_read | fs::perms::others_read, fs::perm_options::add);
    fs::permissions(RegistryLockPath(File()), fs::perms::all);
    fs::permissions(File().parent_path(), fs::perms::owner_read | fs::perms::owner_exec |
                                              fs::perms::others_read | fs::perms::others_exec);
    for (int round = 0; round < 2; ++round) {
        if (round == 1) fs::remove(RegistryLockPath(File()));
        const test::ChildOutcome outcome = test::RunUnprivileged(Dir(), [] {
            RegistryStore store;
            store.SetValue(kKey, "V", "new");
            try {
                store.Save();
            } catch (const RegistryError& error) {
                return std::string(error.what()) ==
                       "cannot save settings to " + RegistryFilePath().string() + ": Permission denied";
            }
            return false;
        });
        EXPECT_TRUE(outcome.passed) << round;
        EXPECT_EQ(outcome.stderrText, "");
        EXPECT_EQ(FileText(), before);
    }
}

// Every accessor reads the file, but a damaged one is reported once a process.
TEST_F(RegistryTest, ADamagedFileIsReportedOnce) {
    WriteFileText("no header\n");
    testing::internal::CaptureStderr();
    for (int i = 0; i < 4; ++i) RegistryStore store;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

// A settings file made read-only is frozen, for root as for its owner.
TEST_F(RegistryTest, ReadOnlyFileIsNeverReplaced) {
    SaveOneValue(kKey, "V", "frozen");
    fs::permissions(File(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = FileText();
    const auto saveFails = [] {
        try {
            SaveOneValue(kKey, "V", "new");
        } catch (const RegistryError& error) {
            return std::string(error.what()).ends_with(RegistryFilePath().string() +
                                                       " is read-only and is left as it is");
        }
        return false;
    };
    EXPECT_TRUE(saveFails());
    EXPECT_EQ(FileText(), before);
    ASSERT_EQ(::chown(File().c_str(), 65534, 65534), 0);
    fs::permissions(RegistryLockPath(File()), fs::perms::all);
    EXPECT_TRUE(test::RunUnprivileged(Dir(), saveFails).passed);
    EXPECT_EQ(FileText(), before);
}

// File names on Linux are bytes: every byte string but NUL comes back byte
// for byte, UTF-8 stays readable in the file, and files that older versions
// wrote with raw bytes read back exactly too.
TEST_F(RegistryTest, AnyByteStringSurvivesASaveAndALoad) {
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
    const std::string values[] = {
        "/home/u/\x93\xfa\x96\x7b/\xe5\x86\x99\xe7\x9c\x9f",  // Shift-JIS folder, UTF-8 file name
        "C:\\x{41}\\x{00}\\x{zz}\\x{ff}",                   // our escape's spelling, as plain text
        "\xed\xa0\x80 \xc0\xaf \xf4\x90\x80\x80 \xe5\x86",    // surrogate, overlong, too large, cut off
        everyByte,
    };
    {
        RegistryStore store;
        for (std::size_t i = 0; i < std::size(values); ++i) store.SetValue(kKey, "V" + std::to_string(i), values[i]);
        store.Save();
    }
    const std::string text = FileText();
    EXPECT_NE(text.find("\"/home/u/\\x{93}\\x{FA}\\x{96}{/\xe5\x86\x99\xe7\x9c\x9f\""), std::string::npos) << text;
    const RegistrySnapshot read = ReadRegistryFile(File());
    EXPECT_EQ(read.state, FileState::Clean) << read.problem;
    for (std::size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(read.model.Value(kKey, "V" + std::to_string(i)), values[i]) << i;

    WriteFileText("Windows Registry Editor Version 5.00\n\n[" + kKey + "]\n\"Old\"=\"/\x95\xc7\"\n");
    const RegistrySnapshot old = ReadRegistryFile(File());
    EXPECT_EQ(old.state, FileState::Clean) << old.problem;
    EXPECT_EQ(old.model.Value(kKey, "Old"), "/\x95\xc7");
}

TEST_F(RegistryTest, SaveThroughSymlinkKeepsTheLink) {
    const fs::path real = Dir() / "dotfiles.reg";
    std::ofstream(real) << "Windows Registry Editor Version 5.00\n\n";
    fs::create_directories(File().parent_path());
    fs::create_symlink(real, File());
    SaveOneValue(kKey, "V", "1");
    EXPECT_TRUE(fs::is_symlink(File()));
    EXPECT_EQ(ReadRegistryFile(real).model.Value(kKey, "V"), "1");

    // A link to a file not made yet makes it there.
    fs::remove(real);
    SaveOneValue(kKey, "V", "2");
    EXPECT_TRUE(fs::is_symlink(File()));
    EXPECT_EQ(ReadRegistryFile(real).model.Value(kKey, "V"), "2");
}

TEST_F(RegistryTest, PathFollowsTheEnvironment) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CONFIG_HOME", "", 1);
    ::setenv("HOME", Dir().c_str(), 1);
    EXPECT_EQ(RegistryFilePath(), Dir() / ".config/vantoria/registry.reg");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(RegistryFilePath(), Dir() / ".config/vantoria/registry.reg");
    ::setenv("XDG_CONFIG_HOME", "/x", 1);
    EXPECT_EQ(RegistryFilePath(), fs::path("/x/vantoria/registry.reg"));
    ::setenv("HOME", home.c_str(), 1);
}

}  // namespace
}  // namespace vantoria::registry
