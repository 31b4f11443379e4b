#pragma once
// Pictures with alpha are shown on black, as the wallpaper's background.

#include <cstddef>
#include <cstdint>

namespace vantoria::spi {

// Colour scaled by alpha, rounded: the pixel over black.
inline std::uint8_t Over(unsigned c, unsigned a) { return static_cast<std::uint8_t>((c * a + 127) / 255); }

// `n` 8-bit RGB (or RGBA, with `alpha`) pixels from `s` as BGR at `d`, put
// onto black unless their colours are already premultiplied by alpha.
inline void PutRgbOntoBlack(const std::uint8_t* s, std::uint8_t* d, std::size_t n, bool alpha, bool premultiplied) {
    if (!alpha) {
        for (std::size_t i = 0; i < n; ++i, s += 3, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
    } else if (premultiplied) {
        for (std::size_t i = 0; i < n; ++i, s += 4, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
    } else {
        for (std::size_t i = 0; i < n; ++i, s += 4, d += 3)
            d[0] = Over(s[2], s[3]), d[1] = Over(s[1], s[3]), d[2] = Over(s[0], s[3]);
    }
}

}  // namespace vantoria::spi
