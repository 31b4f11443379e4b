#include "Dib24.h"

#include <cstring>

#include "Limits.h"
#include "PluginError.h"

namespace vantoria::spi {

namespace {

BlockPtr AllocBlock(std::size_t size) {
    BlockPtr block(susie_block_alloc(size));
    if (!block) throw PluginError(SUSIE_ERR_NO_MEMORY, "out of memory");
    return block;
}

}  // namespace

Dib24::Dib24(int width, int height) : width_(width), height_(height), stride_(0) {
    CheckSize(width, height);
    stride_ = RowBytes24(width);
    const std::size_t imageBytes = stride_ * static_cast<std::size_t>(height);
    info_ = AllocBlock(sizeof(SusieBitmapInfoHeader));
    bits_ = AllocBlock(imageBytes);

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
