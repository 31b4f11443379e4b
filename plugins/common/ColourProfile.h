#pragma once
// Pictures that say what their samples mean (an embedded ICC profile, or the
// code points of ITU-T H.273 that AVIF, HEIC and PNG carry) are converted to
// sRGB, which is what every host of a plug-in takes pixels to be. Little CMS
// does the work, with the perceptual intent.
//
// A picture whose profile cannot be read, is too large, or does not fit its
// samples is shown as sRGB, as if it had none: a profile never costs the
// picture. Pictures already in sRGB (none said, or a profile that equals it)
// get no conversion at all and keep their bytes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "Dib24.h"

namespace vantoria::spi {

// Profiles of real pictures stay far below this; larger ones are ignored.
inline constexpr std::size_t kMaxProfileBytes = std::size_t{4} << 20;

// H.273 code points: colour primaries and transfer characteristics.
struct Cicp {
    int primaries = 2;  // 2: unspecified
    int transfer = 2;
};

class ToSrgb {
public:
    // From the colours `icc` describes (an RGB or grey profile; grey ones
    // read the first sample of each pixel), or nothing to do: no profile,
    // sRGB itself, or one that is broken or of a kind that does not apply.
    static std::optional<ToSrgb> FromIcc(std::span<const std::uint8_t> icc);
    // From H.273 code points. Unspecified values stand for sRGB's; the camera
    // curves of video (BT.709, BT.601, BT.2020) are shown as displays show
    // video, their values taken as sRGB's, so only the primaries convert.
    // HDR curves (PQ, HLG) and unknown values: nothing to do.
    static std::optional<ToSrgb> FromCicp(Cicp cicp);

    // `count` 24-bit BGR pixels, in place. Safe from several threads at once.
    void Convert(std::uint8_t* bgr, std::size_t count) const;
    // Every row of `picture`; a large one on several threads.
    void Convert(Dib24& picture) const;

    ToSrgb(ToSrgb&&) noexcept;
    ToSrgb& operator=(ToSrgb&&) noexcept;
    ~ToSrgb();

private:
    struct Lcms;  // the library's context and transform
    explicit ToSrgb(std::unique_ptr<Lcms> lcms);
    std::unique_ptr<Lcms> lcms_;
};

}  // namespace vantoria::spi
