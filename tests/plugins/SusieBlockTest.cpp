// The memory-block helpers of susie.h, which host and plug-ins share. (The
// GetPluginInfo helper is checked through the plug-ins.)

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "susie.h"

namespace {

TEST(SusieBlock, CarriesItsSize) {
    SusieHandle block = susie_block_alloc(1000);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(susie_block_valid(block));
    EXPECT_EQ(susie_block_size(block), 1000u);
    EXPECT_EQ(susie_block_data(block), block);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
    std::memset(susie_block_data(block), 0xAB, 1000);  // all of it is ours
    susie_block_free(block);
    EXPECT_EQ(susie_block_alloc(SIZE_MAX - 8), nullptr);  // size plus header overflows

    SusieHandle empty = susie_block_alloc(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(susie_block_size(empty), 0u);
    susie_block_free(empty);
}

TEST(SusieBlock, IgnoresWhatIsNotABlock) {
    EXPECT_EQ(susie_block_size(nullptr), 0u);
    EXPECT_EQ(susie_block_data(nullptr), nullptr);
    EXPECT_FALSE(susie_block_valid(nullptr));
    susie_block_free(nullptr);

    // Memory from elsewhere, without the magic in front: ignored, not freed.
    std::vector<std::uint64_t> foreign = {1, 2, 3, 4, 5, 6, 7, 8};
    // Opaque to the compiler, which would otherwise see free() reached with
    // memory that is not from malloc (it is not: the magic check stops it).
    SusieHandle volatile opaque = &foreign[2];
    SusieHandle fake = opaque;
    EXPECT_EQ(susie_block_size(fake), 0u);
    EXPECT_EQ(susie_block_data(fake), nullptr);
    susie_block_free(fake);
    EXPECT_EQ(foreign[1], 2u);
}

}  // namespace
