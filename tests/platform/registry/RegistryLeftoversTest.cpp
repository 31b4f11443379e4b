// What a killed save leaves, and what the next save tidies.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "platform/posix/UniqueFd.h"
#include "platform/registry/RegistryStagedFile.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryTestEnv.h"

namespace vantoria::registry {
namespace {

namespace fs = std::filesystem;
using test::RegistryTest;

const std::string kKey = "HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo";

void SaveOneValue(const std::string& name, const std::string& data) {
    RegistryStore store;
    store.SetValue(kKey, name, data);
    store.Save();
}

std::vector<std::string> StagedNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (IsStagedName(entry.path().filename().string())) names.push_back(entry.path().filename().string());
    return names;
}

void Touch(const fs::path& file, std::chrono::seconds age = std::chrono::seconds(0)) {
    std::ofstream(file) << "left";
    const timespec times[2] = {{std::time(nullptr) - age.count(), 0}, {std::time(nullptr) - age.count(), 0}};
    ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

// Settings of a few MB take long enough to write that kills land inside
// saves; none of them may leave a copy behind once the next save ran.
TEST_F(RegistryTest, KilledSavesLeaveNoCopies) {
    SaveOneValue("Start", "1");
    const std::string bulk(3u << 20, 'x');
    std::mt19937 random(std::random_device{}());
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            try {
                for (int i = 0;; ++i) SaveOneValue("Bulk", std::to_string(i) + bulk);
            } catch (...) {
            }
            ::_exit(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 60));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    SaveOneValue("After", "1");
    EXPECT_EQ(StagedNames(File().parent_path()), std::vector<std::string>{});
    EXPECT_EQ(RegistryStore().Value(kKey, "After"), "1");
}

// The next save removes dead copies of its own and nothing else: not a
// copy a live save holds, not another user's, not a link, not other names.
// Where the settings file links into a folder of its own, a fresh copy there
// may belong to a saver under another lock and stays for a while.
TEST_F(RegistryTest, TheNextSaveRemovesOnlyDeadCopiesOfOurs) {
    SaveOneValue("Start", "1");
    const fs::path folder = File().parent_path();
    Touch(folder / ".registry.reg.Dead01");
    Touch(folder / ".registry.reg.Live01");
    const UniqueFd live(::open((folder / ".registry.reg.Live01").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(live.Get(), LOCK_EX), 0);
    Touch(folder / ".registry.reg.Other1");
    ASSERT_EQ(::chown((folder / ".registry.reg.Other1").c_str(), 65534, 65534), 0);
    Touch(Dir() / "elsewhere");
    fs::create_symlink(Dir() / "elsewhere", folder / ".registry.reg.Link01");
    Touch(folder / ".registry.reg.notes");
    Touch(folder / "registry.reg.Dead02");

    SaveOneValue("Next", "1");
    std::vector<std::string> left = StagedNames(folder);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".registry.reg.Link01", ".registry.reg.Live01", ".registry.reg.Other1"}));
    EXPECT_TRUE(fs::exists(folder / ".registry.reg.notes"));
    EXPECT_TRUE(fs::exists(folder / "registry.reg.Dead02"));
    EXPECT_TRUE(fs::exists(Dir() / "elsewhere"));

    const fs::path dotfiles = Dir() / "dotfiles";
    fs::create_directories(dotfiles);
    fs::rename(File(), dotfiles / "registry.reg");
    fs::create_symlink(dotfiles / "registry.reg", File());
    Touch(dotfiles / ".registry.reg.Fresh1");
    Touch(dotfiles / ".registry.reg.Old001", std::chrono::minutes(5));
    SaveOneValue("Linked", "1");
    EXPECT_EQ(StagedNames(dotfiles), std::vector<std::string>{".registry.reg.Fresh1"});
    EXPECT_EQ(RegistryStore().Value(kKey, "Linked"), "1");
}

}  // namespace
}  // namespace vantoria::registry
