#pragma once
// The picture a plug-in hands over: a BITMAPINFO block (header only, 24 bits,
// no colour table) and a block of bottom-up 24-bit BGR rows padded to 4 bytes.
// Both are susie blocks, owned here until HandOver gives them to the caller.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Limits.h"
#include "susie.h"

namespace vantoria::spi {

struct BlockFree {
    void operator()(void* block) const { susie_block_free(block); }
};
using BlockPtr = std::unique_ptr<void, BlockFree>;

// Bytes in one padded row of 24-bit pixels.
using limits::RowBytes24;

class Dib24 {
public:
    // Throws PluginError: for sizes outside the limits (Limits.h, or
    // `lowered` where that is lower), and
    // SUSIE_ERR_NO_MEMORY when the machine has not the memory for the rows
    // (platform/memory/MemoryBudget.h) or a block cannot be had. The rows' contents are
    // unspecified until written.
    Dib24(int width, int height, const limits::SizeLimits& lowered = kLimits);

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::size_t Stride() const { return stride_; }

    // Row y counted from the top of the picture.
    std::uint8_t* Row(int y) {
        return Bits() + stride_ * static_cast<std::size_t>(height_ - 1 - y);
    }
    // The first byte of the rows block (the bottom row).
    std::uint8_t* Bits() { return static_cast<std::uint8_t*>(bits_.get()); }

    void Fill(std::uint8_t value);
    // Zeroes the bytes after each row's last pixel.
    void ClearPadding();

    // Gives both blocks to the caller.
    void HandOver(SusieHandle* info, SusieHandle* bits);

private:
    int width_;
    int height_;
    std::size_t stride_;
    BlockPtr info_;
    BlockPtr bits_;
};

}  // namespace vantoria::spi
