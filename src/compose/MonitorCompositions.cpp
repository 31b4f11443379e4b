#include "compose/MonitorCompositions.h"

#include "compose/WallComposer.h"

#include <exception>
#include <optional>

namespace vantoria::compose {
namespace {

// Modes 1 to 6 size or place the picture by the screen; every other mode
// writes it unchanged.
bool DependsOnScreen(int mode) { return mode >= 1 && mode <= 6; }

}  // namespace

MonitorComposer ForOtherMonitorSizes(const raster::Bitmap& picture, const TApSystem& settings, int mode,
                                     const raster::ScreenSizeSource& screen, raster::ScreenSize pictureSize) {
    std::optional<raster::ScreenSize> bufferScreen;
    try {
        bufferScreen = screen();
    } catch (const std::exception&) {
        // Unknown: every monitor gets a composition of its own.
    }
    // The copy shares the picture's pixels.
    return [picture, &settings, mode, bufferScreen, pictureSize](raster::ScreenSize size) -> std::optional<raster::Bitmap> {
        if (!DependsOnScreen(mode) || size == bufferScreen) return std::nullopt;
        try {
            const WallComposer composer(picture, settings, [size] { return size; }, pictureSize);
            raster::Bitmap work;
            if (!composer.Compose(mode, work) || work.Empty()) return std::nullopt;
            return work;
        } catch (const std::exception&) {
            return std::nullopt;  // that monitor shows the buffer file instead
        }
    };
}

}  // namespace vantoria::compose
