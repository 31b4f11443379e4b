#include "change/PreviewFit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vantoria {

PreviewPlacement FitPreview(int width, int height) {
    PreviewPlacement p{0, 0, width, height, false};
    if (width >= kPreviewSide || height >= kPreviewSide) {
        // The factor is rounded to a float on purpose; the product of a
        // float and an int below 2^24 is exact in double.
        if (width > height) {
            const float factor = static_cast<float>(kPreviewSide) / static_cast<float>(width);
            p.width = kPreviewSide;
            p.height = static_cast<int>(static_cast<double>(height) * static_cast<double>(factor));
        } else {
            const float factor = static_cast<float>(kPreviewSide) / static_cast<float>(height);
            p.height = kPreviewSide;
            p.width = static_cast<int>(static_cast<double>(width) * static_cast<double>(factor));
        }
        p.stretch = true;
    }
    p.top = kPreviewCentre - p.height / 2;
    p.left = kPreviewCentre - p.width / 2;
    return p;
}

raster::Bitmap PreviewPicture(const raster::Bitmap& picture, int width, int height) {
    if (width == picture.Width() && height == picture.Height()) return picture;
    constexpr int kOversample = 4;
    raster::Bitmap source = picture;
    const int midWidth = std::min(picture.Width(), width * kOversample);
    const int midHeight = std::min(picture.Height(), height * kOversample);
    if (midWidth < picture.Width() || midHeight < picture.Height()) {
        // The centre of each part, in 64 bits: sizes are up to 65535.
        const auto centre = [](int i, int parts, int whole) {
            return static_cast<int>((std::int64_t{2} * i + 1) * whole / (std::int64_t{2} * parts));
        };
        std::vector<std::size_t> columns(static_cast<std::size_t>(midWidth));
        for (int x = 0; x < midWidth; ++x) columns[x] = static_cast<std::size_t>(centre(x, midWidth, picture.Width())) * 3;
        raster::Bitmap mid(midWidth, midHeight);
        for (int y = 0; y < midHeight; ++y) {
            const std::uint8_t* in = picture.ScanLine(centre(y, midHeight, picture.Height()));
            std::uint8_t* out = mid.ScanLine(y);
            for (const std::size_t column : columns) {
                std::memcpy(out, in + column, 3);
                out += 3;
            }
        }
        source = mid;
    }
    raster::Bitmap shown(width, height);
    shown.StretchDraw(raster::MakeRect(0, 0, width, height), source);
    return shown;
}

}  // namespace vantoria
