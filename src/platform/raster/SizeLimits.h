#pragma once
// The one table of picture sizes. A picture the program holds (a
// raster::Bitmap) is at most kMaxSide pixels a side and kMaxPixels in all,
// so that no size product can overflow and no hostile header can ask for an
// absurd block. Readers that accept less (the bitmap reader, the plug-ins)
// define their limits against these, with static_asserts beside them.
// Header only: the plug-ins include it too.

#include <cstddef>
#include <cstdint>

namespace vantoria::limits {

// Bytes in one row of `width` pixels of `bitsPerPixel` bits, padded to a
// multiple of 4 bytes as the rows of a device-independent bitmap are.
constexpr std::uint64_t PaddedRowBytes(std::uint64_t width, unsigned bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// The same for the 24-bit rows every picture here is held in.
constexpr std::size_t RowBytes24(std::int64_t width) {
    return static_cast<std::size_t>(PaddedRowBytes(static_cast<std::uint64_t>(width), 24));
}

static_assert(RowBytes24(1) == 4 && RowBytes24(4) == 12 && RowBytes24(5) == 16 && RowBytes24(7) == 24);
static_assert(PaddedRowBytes(1, 1) == 4 && PaddedRowBytes(33, 1) == 8 && PaddedRowBytes(3, 8) == 4);

inline constexpr int kMaxSide = 65535;
inline constexpr std::int64_t kMaxPixels = std::int64_t{1} << 30;

// A width-and-height limit; a reader's own, or one a caller lowered.
struct SizeLimits {
    std::int64_t maxSide = kMaxSide;
    std::int64_t maxPixels = kMaxPixels;

    // These, held to `outer` where they exceed it: a caller may lower a
    // limit, never raise it.
    constexpr SizeLimits Within(const SizeLimits& outer) const {
        return {maxSide < outer.maxSide ? maxSide : outer.maxSide,
                maxPixels < outer.maxPixels ? maxPixels : outer.maxPixels};
    }
    // Whether a positive width x height fits (sides first, so the product
    // cannot overflow).
    constexpr bool Admits(std::int64_t width, std::int64_t height) const {
        return width <= maxSide && height <= maxSide && width * height <= maxPixels;
    }
};

inline constexpr SizeLimits kOuter{};

// The largest picture's rows fit the sizes the program computes with.
static_assert(std::uint64_t{RowBytes24(kMaxSide)} * kMaxSide <= SIZE_MAX / 2);

}  // namespace vantoria::limits
