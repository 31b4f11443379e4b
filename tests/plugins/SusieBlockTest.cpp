// The memory-block helpers of susie.h, which host and plug-ins share.

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

    SusieHandle empty = susie_block_alloc(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(susie_block_size(empty), 0u);
    susie_block_free(empty);
}

TEST(SusieBlock, RefusesWhatIsNotABlock) {
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

TEST(SusieBlock, ImpossibleSizeGivesNull) {
    EXPECT_EQ(susie_block_alloc(SIZE_MAX), nullptr);
    EXPECT_EQ(susie_block_alloc(SIZE_MAX - 8), nullptr);
}

TEST(SusieLayout, RecordsArePacked) {
    EXPECT_EQ(sizeof(SusiePictureInfo), 4 * 4 + 2 * 2 + 2 + sizeof(void*));
    EXPECT_EQ(offsetof(SusiePictureInfo, colorDepth), 20u);
    EXPECT_EQ(offsetof(SusiePictureInfo, hInfo), 22u);
    EXPECT_EQ(offsetof(SusieBitmapInfoHeader, biBitCount), 14u);
    EXPECT_EQ(offsetof(SusieBitmapInfoHeader, biClrImportant), 36u);
}

TEST(SusieInfo, CopiesAndTruncatesSafely) {
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(susie_copy_info("*.png", buf, 8), 5);
    EXPECT_STREQ(buf, "*.png");
    EXPECT_EQ(susie_copy_info("Vantoria", buf, 4), 3);
    EXPECT_STREQ(buf, "Van");
    EXPECT_EQ(susie_copy_info("x", buf, 1), 0);
    EXPECT_EQ(buf[0], '\0');
    buf[0] = '#';
    EXPECT_EQ(susie_copy_info("x", buf, 0), 0);
    EXPECT_EQ(susie_copy_info("x", buf, -5), 0);
    EXPECT_EQ(buf[0], '#');
    EXPECT_EQ(susie_copy_info("x", nullptr, 8), 0);
}

}  // namespace
