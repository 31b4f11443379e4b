// libFuzzer target for one plug-in, linked in: each input goes through
// GetPictureInfo and, when the picture is small enough to be quick,
// GetPicture, both reading it from memory. Anything but a result code, with
// consistent blocks on success and none on failure, is a bug.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "susie.h"

namespace {

// Larger pictures are legal, but decoding them only costs time.
constexpr std::int64_t kMaxFuzzPixels = std::int64_t{1} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* buf = reinterpret_cast<const char*>(data);
    const auto len = static_cast<std::intptr_t>(size);
    SusiePictureInfo info{};
    if (GetPictureInfo(buf, len, SUSIE_INPUT_MEMORY, &info) != SUSIE_OK) return 0;
    const std::int64_t width = info.width, height = info.height;
    if (width <= 0 || height <= 0) std::abort();
    if (width * height > kMaxFuzzPixels) return 0;

    SusieHandle infoBlock = nullptr, bits = nullptr;
    const std::int32_t code = GetPicture(buf, len, SUSIE_INPUT_MEMORY, &infoBlock, &bits, nullptr, 0);
    if (code != SUSIE_OK) {
        if (infoBlock != nullptr || bits != nullptr) std::abort();
        return 0;
    }
    SusieBitmapInfoHeader header;
    if (susie_block_size(infoBlock) < sizeof header) std::abort();
    std::memcpy(&header, susie_block_data(infoBlock), sizeof header);
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    if (header.biWidth != width || header.biHeight != height || susie_block_size(bits) < stride * height) std::abort();
    susie_block_free(infoBlock);
    susie_block_free(bits);
    return 0;
}
