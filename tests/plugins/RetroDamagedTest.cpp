// The plug-ins for older formats against cut-off, corrupted and hostile
// files: a result code, nothing handed over, never a crash or a hang. (The
// harness checks that a success still comes with consistent blocks.)

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

#include "PluginHarness.h"
#include "RetroWriters.h"

namespace vantoria::spi::test {
namespace {

struct Sample {
    const char* plugin;
    std::vector<std::uint8_t> bytes;
    // Where the width and height are, to claim a huge picture.
    std::function<void(std::vector<std::uint8_t>&)> claimHuge;
};

std::size_t After(const std::vector<std::uint8_t>& bytes, std::uint8_t value, std::size_t from = 0) {
    return static_cast<std::size_t>(std::find(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), value) -
                                    bytes.begin()) + 1;
}

void PutBE(std::vector<std::uint8_t>& b, std::size_t at, unsigned v) { b[at] = v >> 8, b[at + 1] = v & 0xFF; }

std::vector<Sample> Samples() {
    const TestPicture p16 = MakeTestPicture(40, 24, 16, 21), p256 = MakeTestPicture(30, 20, 256, 22);
    const TestPicture direct = MakeTestPicture(40, 24, 0, 23);
    auto pict = [&](unsigned op, int packType) {
        PictWriter w({0, 0, direct.height, direct.width}, true);
        w.Op(0x00A1), w.out.U16BE(1), w.out.U16BE(2), w.out.U16BE(0);
        w.Direct(op, direct, 32, packType, 3, {0, 0, direct.height, direct.width}, {0, 0, direct.height, direct.width});
        return w.Finish();
    };
    PictWriter indexed({0, 0, p256.height, p256.width}, false);
    indexed.Indexed(0x99, p256, 8, {0, 0, p256.height, p256.width}, {0, 0, p256.height, p256.width});
    auto pictHuge = [](std::vector<std::uint8_t>& b) {
        const std::size_t base = b[10] == 0 && b[11] == 0x11 ? 0 : 512;
        PutBE(b, base + 6, 32000), PutBE(b, base + 8, 32000);
    };
    auto magHuge = [](std::vector<std::uint8_t>& b) {
        const std::size_t h = After(b, 0x1A);
        b[h + 4] = b[h + 5] = b[h + 6] = b[h + 7] = 0;
        b[h + 8] = b[h + 10] = 0xFE, b[h + 9] = b[h + 11] = 0xFF;
    };
    auto piHuge = [](std::vector<std::uint8_t>& b) {
        const std::size_t at = After(b, 0, After(b, 0x1A)) + 13;  // mode .. the 3-byte extension, then the size
        PutBE(b, at, 60000), PutBE(b, at + 2, 60000);
    };
    auto picHuge = [](std::vector<std::uint8_t>& b) {
        const std::size_t at = After(b, 0, After(b, 0x1A)) + 4;
        PutBE(b, at, 60000), PutBE(b, at + 2, 60000);
    };
    return {
        {"pict.spi", pict(0x9A, 4), pictHuge},
        {"pict.spi", pict(0x9B, 1), pictHuge},
        {"pict.spi", indexed.Finish(), pictHuge},
        {"mag.spi", EncodeMag(p16, 3), magHuge},
        {"mag.spi", EncodeMag(p256), magHuge},
        {"pi.spi", EncodePi(p16), piHuge},
        {"pi.spi", EncodePi(p256), piHuge},
        {"pic.spi", EncodePic(direct, 15), picHuge},
        {"pic.spi", EncodePic(p256, 8), picHuge},
    };
}

TEST(RetroFormats, DamagedFilesFailCleanly) {
    const std::set<std::int32_t> codes = {SUSIE_OK, SUSIE_ERR_UNKNOWN_FORMAT, SUSIE_ERR_BROKEN_DATA, SUSIE_ERR_NO_MEMORY};
    std::mt19937 random(4321);
    for (Sample& sample : Samples()) {
        SCOPED_TRACE(sample.plugin);
        const Plugin plugin(sample.plugin);
        const std::vector<std::uint8_t>& bytes = sample.bytes;
        ASSERT_EQ(DecodeMemory(plugin, bytes).code, SUSIE_OK);

        const std::size_t n = bytes.size();
        for (std::size_t length : {std::size_t{0}, std::size_t{3}, std::size_t{10}, std::size_t{30}, n / 4, n / 2, n * 3 / 4}) {
            const std::int32_t code = DecodeMemory(plugin, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)}).code;
            EXPECT_TRUE(code == SUSIE_ERR_BROKEN_DATA || code == SUSIE_ERR_UNKNOWN_FORMAT) << "cut at " << length << ": " << code;
        }
        for (int round = 0; round < 300; ++round) {
            std::vector<std::uint8_t> damaged = bytes;
            for (int i = 0; i <= round % 4; ++i) {
                // Half of the damage lands in the headers.
                const std::size_t at = (round % 2 == 0) ? random() % std::min<std::size_t>(n, 600) : random() % n;
                damaged[at] ^= static_cast<std::uint8_t>(1 + random() % 255);
            }
            const Picture picture = DecodeMemory(plugin, damaged);
            EXPECT_TRUE(codes.count(picture.code)) << "round " << round << ": " << picture.code;
            EXPECT_TRUE(codes.count(picture.infoCode)) << "round " << round << ": " << picture.infoCode;
        }
        // A header claiming a picture too large to hold: refused before any block is made.
        std::vector<std::uint8_t> huge = bytes;
        sample.claimHuge(huge);
        const Picture refused = DecodeMemory(plugin, huge);
        EXPECT_EQ(refused.infoCode, SUSIE_ERR_NO_MEMORY);
        EXPECT_EQ(refused.code, SUSIE_ERR_NO_MEMORY);
    }
}

}  // namespace
}  // namespace vantoria::spi::test
