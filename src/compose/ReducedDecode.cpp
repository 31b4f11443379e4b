#include "compose/ReducedDecode.h"

namespace vantoria::compose {

std::optional<raster::ScreenSize> ReducedDecodeSize(int mode, raster::ScreenSize screen) {
    if (screen.width <= 0 || screen.height <= 0) return std::nullopt;
    switch (mode) {
    case 1:
        return screen;
    case 2:
    case 3:
        // FittedSize: the height spans a screen wider than tall, else the width.
        if (screen.width > screen.height) return raster::ScreenSize{1, screen.height};
        return raster::ScreenSize{screen.width, 1};
    default:
        return std::nullopt;
    }
}

bool StretchesToScreen(int mode) { return mode == 1; }

bool DecodedSizeServes(raster::ScreenSize decoded, int mode, raster::ScreenSize screen) {
    const std::optional<raster::ScreenSize> need = ReducedDecodeSize(mode, screen);
    return need && decoded.width >= need->width && decoded.height >= need->height;
}

}  // namespace vantoria::compose
