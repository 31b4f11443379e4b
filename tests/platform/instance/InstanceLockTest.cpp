#include "platform/instance/InstanceLock.h"

#include "support/Child.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

using vantoria::InstanceLock;

namespace {

namespace fs = std::filesystem;

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(runtime_);
        ::chmod(runtime_.c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        ::setenv("TMPDIR", dir_.Path().c_str(), 1);
    }
    void TearDown() override { ::unsetenv("TMPDIR"); }
    vantoria::test::TempDir dir_;
    const std::string runtime_ = dir_.Path() + "/run";
};

TEST_F(InstanceLockTest, SecondHolderIsRefusedUntilTheFirstLetsGo) {
    auto first = InstanceLock::Acquire("Runo");
    ASSERT_TRUE(first);
    EXPECT_FALSE(InstanceLock::Acquire("Runo"));
    EXPECT_TRUE(InstanceLock::Acquire("Other"));  // another name is another guard

    first->Release();
    EXPECT_TRUE(InstanceLock::Acquire("Runo"));
}

TEST_F(InstanceLockTest, MovedLockStaysHeldAndGoesWithItsLastOwner) {
    std::optional<InstanceLock> holder;
    {
        auto lock = InstanceLock::Acquire("Runo");
        ASSERT_TRUE(lock);
        holder = std::move(lock);
    }
    EXPECT_FALSE(InstanceLock::Acquire("Runo"));
    holder.reset();
    EXPECT_TRUE(InstanceLock::Acquire("Runo"));
}

// Only a lock that is really held keeps us from starting, and silently.
// A runtime folder that is missing, someone else's or unusable sends the lock
// to a private folder in temp; a private folder that is not ours is never
// used; when nothing works, one line says why.
TEST_F(InstanceLockTest, FailuresFallBackToAPrivateFolderOrAreSaid) {
    const std::string privateFolder = dir_.Path() + "/vantoria-" + std::to_string(::geteuid());
    EXPECT_EQ(InstanceLock::RuntimeFolder(), runtime_);
    EXPECT_EQ(InstanceLock::PrivateFolder(), privateFolder);

    fs::create_directory(runtime_ + "/Runo");  // a lock path that is a folder
    for (const std::string& runtime : {runtime_, dir_.Path() + "/missing", std::string("relative")}) {
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        testing::internal::CaptureStderr();
        auto lock = InstanceLock::Acquire("Runo");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        ASSERT_TRUE(lock) << runtime;
        EXPECT_FALSE(InstanceLock::Acquire("Runo")) << runtime;  // held in the private folder
        struct stat st {};
        ASSERT_EQ(::stat(privateFolder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0700u);
        EXPECT_TRUE(fs::is_regular_file(privateFolder + "/Runo"));
    }
    ASSERT_EQ(::chown(runtime_.c_str(), 65534, 65534), 0);  // someone else's runtime folder
    ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    EXPECT_EQ(InstanceLock::RuntimeFolder(), "");

    // Another user's folder of the fallback's name, planted to keep us out.
    fs::remove_all(privateFolder);
    fs::create_directory(privateFolder);
    ASSERT_EQ(::chown(privateFolder.c_str(), 65534, 65534), 0);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(InstanceLock::Acquire("Runo"));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "vantoria: cannot take the single-instance lock Runo (" + privateFolder +
                        " is not a folder of this user's that only this user may write)\n");
    EXPECT_FALSE(fs::exists(privateFolder + "/Runo"));
}

// Programs of one user that see different runtime folders, or none, still
// meet beside the settings; a settings folder that is not ours is passed
// over, and one that alone works is enough.
TEST_F(InstanceLockTest, TheGuardBesideTheSettingsHoldsWhateverRuntimeFolderEachSees) {
    const std::string settings = dir_.Path() + "/config/vantoria";
    const std::string otherRuntime = dir_.Path() + "/run2";
    fs::create_directory(otherRuntime);
    ::chmod(otherRuntime.c_str(), 0700);

    auto first = InstanceLock::Acquire("Runo", settings);
    ASSERT_TRUE(first);
    struct stat st {};
    ASSERT_EQ(::stat(settings.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    for (const std::string& runtime : {otherRuntime, std::string()}) {
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        EXPECT_FALSE(InstanceLock::Acquire("Runo", settings)) << runtime;
    }
    EXPECT_TRUE(InstanceLock::Acquire("Runo")) << "the first place alone differs";
    // Another machine sharing the home folder runs its own.
    const pid_t other = ::fork();
    if (other == 0) {
        const char host[] = "other/host";
        if (::unshare(CLONE_NEWUTS) != 0 || ::sethostname(host, sizeof host - 1) != 0) ::_exit(2);
        const bool named = InstanceLock::SettingsLockName("Runo") == "Runo-other_host.lock";
        ::_exit(named && InstanceLock::Acquire("Runo", settings) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 1) << status;
    fs::create_directory_symlink(settings, dir_.Path() + "/linked");
    EXPECT_FALSE(InstanceLock::Acquire("Runo", dir_.Path() + "/linked"));  // linked dotfiles

    first.reset();
    // Nothing works but the settings folder.
    ::setenv("TMPDIR", (dir_.Path() + "/missing").c_str(), 1);
    testing::internal::CaptureStderr();
    auto only = InstanceLock::Acquire("Runo", settings);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(only);
    ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    EXPECT_FALSE(InstanceLock::Acquire("Runo", settings));
    only.reset();

    ASSERT_EQ(::chown(settings.c_str(), 65534, 65534), 0);  // someone else's folder
    auto lock = InstanceLock::Acquire("Runo", settings);
    ASSERT_TRUE(lock);
    EXPECT_FALSE(InstanceLock::Acquire("Runo"));  // held in the runtime folder only
    ::setenv("XDG_RUNTIME_DIR", otherRuntime.c_str(), 1);
    EXPECT_TRUE(InstanceLock::Acquire("Runo", settings));
}

}  // namespace
