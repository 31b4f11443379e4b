#pragma once
// Picture sizes our plug-ins accept. A header can claim any size; these keep a
// hostile one from asking for an absurd block (and every size product below
// from overflowing). A caller may lower them (CheckSize's `lowered`), never
// raise them past what the 32-bit fields of a BITMAPINFOHEADER can state.

#include <cstdint>

#include "PluginError.h"
#include "platform/raster/SizeLimits.h"

namespace vantoria::spi {

inline constexpr std::int64_t kMaxSide = 65535;
inline constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;  // 768 MiB of 24-bit rows
inline constexpr limits::SizeLimits kLimits{kMaxSide, kMaxPixels};

static_assert(kMaxSide <= limits::kMaxSide && kMaxPixels <= limits::kMaxPixels,
              "a picture a plug-in hands over must fit the program's bitmaps");
// biSizeImage, a 32-bit field, holds the rows of the largest picture.
static_assert(kMaxPixels * 3 + 3 * kMaxSide <= std::int64_t{UINT32_MAX});

// Throws PluginError: SUSIE_ERR_BROKEN_DATA for an empty size,
// SUSIE_ERR_NO_MEMORY for one beyond the limits, or beyond `lowered` where
// that is lower.
inline void CheckSize(std::int64_t width, std::int64_t height, const limits::SizeLimits& lowered = kLimits) {
    if (width <= 0 || height <= 0) throw PluginError(SUSIE_ERR_BROKEN_DATA, "empty picture");
    if (!lowered.Within(kLimits).Admits(width, height)) throw PluginError(SUSIE_ERR_NO_MEMORY, "picture too large");
}

}  // namespace vantoria::spi
