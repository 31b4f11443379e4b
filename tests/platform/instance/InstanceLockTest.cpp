#include "platform/instance/InstanceLock.h"

#include "support/Child.h"

#include <gtest/gtest.h>
#include <cstdlib>

using vantoria::InstanceLock;

namespace {

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_RUNTIME_DIR", dir_.Path().c_str(), 1); }
    vantoria::test::TempDir dir_;
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

TEST_F(InstanceLockTest, LockFileLivesInTheRuntimeFolderElseInTemp) {
    EXPECT_EQ(InstanceLock::PathFor("Runo"), dir_.Path() + "/Runo");
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", dir_.Path().c_str(), 1);
    const std::string path = InstanceLock::PathFor("Runo");
    EXPECT_EQ(path.rfind(dir_.Path() + "/Runo-", 0), 0u) << path;
    ::unsetenv("TMPDIR");
}

}  // namespace
