#include "platform/desktop/TiledCanvas.h"

#include <unistd.h>

#include <atomic>
#include <exception>

#include "platform/dib/Dib.h"
#include "platform/raster/Bitmap.h"

namespace vantoria::desktop {

std::optional<std::filesystem::path> WriteTiledCanvas(const std::string& source, raster::ScreenSize screen,
                                                      const std::filesystem::path& folder, std::string& reason) {
    static std::atomic<unsigned> serial{0};
    if (screen.width <= 0 || screen.height <= 0) {
        reason = "no screen size to tile the wallpaper over";
        return std::nullopt;
    }
    try {
        const raster::Bitmap tile = dib::LoadBmpFile(source);
        if (tile.Empty()) {
            reason = "the wallpaper file " + source + " holds no picture";
            return std::nullopt;
        }
        // One band of tiles across, then the band down the screen: a tiny
        // tile costs no more calls than the screen has rows and columns.
        raster::Bitmap band(screen.width, tile.Height());
        for (int x = 0; x < screen.width; x += tile.Width()) band.Draw(x, 0, tile);
        raster::Bitmap canvas(screen.width, screen.height);
        for (int y = 0; y < screen.height; y += tile.Height()) canvas.Draw(0, y, band);
        // A name of this process's own: several changes may run at once.
        const std::filesystem::path path =
            folder / ("canvas-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".bmp");
        canvas.SaveToFile(path.string());
        return path;
    } catch (const std::exception& error) {
        reason = std::string("cannot compose the tiled wallpaper: ") + error.what();
        return std::nullopt;
    }
}

}  // namespace vantoria::desktop
