#include "Dib24.h"

#include <cstdint>
#include <cstring>
#include <sys/mman.h>

#include "Limits.h"
#include "PluginError.h"
#include "platform/memory/MemoryBudget.h"

namespace vantoria::spi {

namespace {

BlockPtr AllocBlock(std::size_t size) {
    BlockPtr block(susie_block_alloc(size));
    if (!block) throw PluginError(SUSIE_ERR_NO_MEMORY, "out of memory");
    return block;
}

// A photograph-sized block is written once from end to end by the decoder;
// asking for huge pages for its aligned middle turns tens of thousands of
// page faults into a few dozen. Only a hint: nothing changes if refused.
void PreferHugePages(void* data, std::size_t size) {
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    if (size < 2 * kHuge) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t last = (begin + size) & ~(kHuge - 1);
    if (last > first) (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace

Dib24::Dib24(int width, int height, const limits::SizeLimits& lowered) : width_(width), height_(height), stride_(0) {
    CheckSize(width, height, lowered);
    // Refused rather than risk the process being killed halfway through.
    if (!imaging::PictureMemoryProblem(width, height, 1).empty())
        throw PluginError(SUSIE_ERR_NO_MEMORY, "not enough memory for the picture");
    stride_ = RowBytes24(width);
    const std::size_t imageBytes = stride_ * static_cast<std::size_t>(height);
    info_ = AllocBlock(sizeof(SusieBitmapInfoHeader));
    bits_ = AllocBlock(imageBytes);
    PreferHugePages(susie_block_data(bits_.get()), imageBytes);

    SusieBitmapInfoHeader header{};
    header.biSize = sizeof(SusieBitmapInfoHeader);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = SUSIE_BI_RGB;
    header.biSizeImage = static_cast<std::uint32_t>(imageBytes);  // fits: see kMaxPixels
    std::memcpy(info_.get(), &header, sizeof header);
}

void Dib24::Fill(std::uint8_t value) {
    std::memset(Bits(), value, stride_ * static_cast<std::size_t>(height_));
}

void Dib24::ClearPadding() {
    const std::size_t used = static_cast<std::size_t>(width_) * 3;
    if (used == stride_) return;
    for (int y = 0; y < height_; ++y) std::memset(Row(y) + used, 0, stride_ - used);
}

void Dib24::HandOver(SusieHandle* info, SusieHandle* bits) {
    *info = info_.release();
    *bits = bits_.release();
}

}  // namespace vantoria::spi
