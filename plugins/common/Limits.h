#pragma once
// Picture sizes our plug-ins accept. A header can claim any size; these keep a
// hostile one from asking for an absurd block (and every size product below
// from overflowing). A caller may lower them, never raise them past what the
// 32-bit fields of a BITMAPINFOHEADER can state.

#include <cstdint>

#include "PluginError.h"

namespace vantoria::spi {

inline constexpr std::int64_t kMaxSide = 65535;
inline constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;  // 768 MiB of 24-bit rows

// Throws PluginError: SUSIE_ERR_BROKEN_DATA for an empty size,
// SUSIE_ERR_NO_MEMORY for one beyond the limits.
inline void CheckSize(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) throw PluginError(SUSIE_ERR_BROKEN_DATA, "empty picture");
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
        throw PluginError(SUSIE_ERR_NO_MEMORY, "picture too large");
}

}  // namespace vantoria::spi
