// The plug-ins' size limits: what the table allows, and a caller's lower one.

#include "Limits.h"

#include <gtest/gtest.h>

namespace vantoria::spi {
namespace {

int RefusalOf(std::int64_t width, std::int64_t height, const limits::SizeLimits& lowered = kLimits) {
    try {
        CheckSize(width, height, lowered);
        return 0;
    } catch (const PluginError& e) {
        return e.Code();
    }
}

TEST(PluginSizeLimits, ALoweredLimitRefusesWhatTheTableAccepts) {
    EXPECT_EQ(RefusalOf(kMaxSide, 1), 0);
    EXPECT_EQ(RefusalOf(16384, 16384), 0);  // exactly kMaxPixels
    EXPECT_EQ(RefusalOf(kMaxSide + 1, 1), SUSIE_ERR_NO_MEMORY);
    EXPECT_EQ(RefusalOf(16384, 16385), SUSIE_ERR_NO_MEMORY);
    EXPECT_EQ(RefusalOf(0, 5), SUSIE_ERR_BROKEN_DATA);

    const limits::SizeLimits small{1000, 1000 * 500};
    EXPECT_EQ(RefusalOf(1000, 500, small), 0);
    EXPECT_EQ(RefusalOf(1001, 1, small), SUSIE_ERR_NO_MEMORY);
    EXPECT_EQ(RefusalOf(1000, 501, small), SUSIE_ERR_NO_MEMORY);
    // Never raised past the table.
    const limits::SizeLimits raised{limits::kMaxSide * 2, limits::kMaxPixels * 4};
    EXPECT_EQ(RefusalOf(kMaxSide + 1, 1, raised), SUSIE_ERR_NO_MEMORY);
    EXPECT_EQ(RefusalOf(16384, 16385, raised), SUSIE_ERR_NO_MEMORY);
}

}  // namespace
}  // namespace vantoria::spi
