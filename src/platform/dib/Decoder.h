#pragma once
// The shared last step of every entry point: header and colour table known,
// pixel bits in hand. Internal to the decoder.

#include <algorithm>
#include <span>
#include <utility>

#include "platform/dib/Dib.h"
#include "platform/dib/Palette.h"

namespace vantoria::dib {

// Handed-over pixel bits: released when this goes, unless Take() passed
// them on to a bitmap. Holding them from the start means an error on any
// path cannot leak them.
class HeldBits {
public:
    explicit HeldBits(OwnedBits bits) : bits_(std::move(bits)) {
        if (!bits_.block.data) bits_.size = 0;
    }
    ~HeldBits() {
        if (bits_.block.release) bits_.block.release(bits_.block.data);
    }
    HeldBits(const HeldBits&) = delete;
    HeldBits& operator=(const HeldBits&) = delete;

    std::span<const std::uint8_t> View() const { return {bits_.block.data, bits_.size}; }
    // Only the first `size` bytes hold pixel data (a file read came up short).
    void KeepFirst(std::size_t size) { bits_.size = std::min(bits_.size, size); }
    raster::Bitmap::Block Take() { return std::exchange(bits_.block, {}); }

private:
    OwnedBits bits_;
};

raster::Bitmap DecodePixels(const DibInfo& info, const Palette& palette,
                            std::span<const std::uint8_t> bits);
// The same into a bitmap of the picture's size that the caller holds.
void DecodePixelsInto(const DibInfo& info, const Palette& palette, std::span<const std::uint8_t> bits,
                      raster::Bitmap& out);

// Adopts the held bits when they are complete 24-bit BI_RGB rows, else
// converts them (and they are released with `bits`).
raster::Bitmap DecodePixels(const DibInfo& info, const Palette& palette, HeldBits& bits);

}  // namespace vantoria::dib
