// The conversion of a plug-in's blocks on its own: blocks that are not
// blocks, and every input that ever broke it.

#include "imaging/PluginPicture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "imaging/IconFile.h"
#include "imaging/fuzz/PluginBlocksInput.h"

namespace vantoria::imaging {
namespace {

SusieBlock Header(std::int32_t width, std::int32_t height, std::uint16_t bits) {
    SusieBlock block(susie_block_alloc(sizeof(SusieBitmapInfoHeader)));
    SusieBitmapInfoHeader h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    std::memcpy(block.Get(), &h, sizeof h);
    return block;
}

TEST(PluginPicture, MemoryFromAnotherAllocatorIsRefused) {
    // Bytes in front of the pointer that hold no block magic.
    std::vector<std::uint8_t> foreign(sizeof(SusieBlockHeader) + 64, 0);
    try {
        ConvertPluginPicture(2, 2, Header(2, 2, 24),
                             SusieBlock(foreign.data() + sizeof(SusieBlockHeader)));
        ADD_FAILURE() << "accepted";
    } catch (const dib::DibError& e) {
        EXPECT_NE(std::string(e.what()).find("not a memory block"), std::string::npos);
    }
}

TEST(PluginPicture, CompressedFormatsAndBadHeadersAreRefused) {
    SusieBlock jpeg = Header(2, 2, 24);
    static_cast<SusieBitmapInfoHeader*>(jpeg.Get())->biCompression = 4;   // BI_JPEG
    EXPECT_THROW(ConvertPluginPicture(2, 2, std::move(jpeg), SusieBlock(susie_block_alloc(64))),
                 dib::DibError);
    EXPECT_THROW(ConvertPluginPicture(2, 2, Header(-2, 2, 24), SusieBlock(susie_block_alloc(64))),
                 dib::DibError);
    EXPECT_THROW(ConvertPluginPicture(2, 2, Header(2, 2, 7), SusieBlock(susie_block_alloc(64))),
                 dib::DibError);
}

std::vector<std::vector<std::uint8_t>> Crashers(const char* target) {
    const std::filesystem::path dir =
        std::filesystem::path(std::getenv("VANTORIA_TEST_DATA")) / "imaging" / "crashers" / target;
    std::vector<std::vector<std::uint8_t>> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_FALSE(inputs.empty()) << dir;
    return inputs;
}

// Hostile inputs, and every input the fuzz targets ever found: each must be
// refused or decoded, within its blocks. Without the sanitizers this only
// shows that none crashes outright; a read past a block shows in the
// sanitizer build, where scripts/test.sh runs this test and the fuzz targets
// replay the same folders.
TEST(PluginPicture, HostileInputsStayHarmless) {
    for (const auto& input : Crashers("blocks")) imagingfuzz::ConvertInput(input.data(), input.size());
    for (const auto& input : Crashers("icon")) {
        try {
            (void)DecodeIcon(input);
        } catch (const dib::DibError&) {
        }
    }
}

}  // namespace
}  // namespace vantoria::imaging
