#include "platform/desktop/X11Layout.h"

#include <algorithm>

namespace vantoria::desktop {
namespace {

// Rounds toward minus infinity, so that a picture one pixel larger than the
// root loses its left column just as one a pixel smaller leaves the right one free.
int HalfDown(int value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

}  // namespace

RootLayout LayOut(int pictureWidth, int pictureHeight, int rootWidth, int rootHeight, bool tile) {
    RootLayout layout;
    layout.tiled = tile;
    if (tile) {
        layout.source = raster::MakeRect(0, 0, std::min(pictureWidth, rootWidth), std::min(pictureHeight, rootHeight));
        return layout;
    }
    const int left = HalfDown(rootWidth - pictureWidth);
    const int top = HalfDown(rootHeight - pictureHeight);
    layout.source = raster::MakeRect(std::max(0, -left), std::max(0, -top),
                                     std::min(pictureWidth, rootWidth - left),
                                     std::min(pictureHeight, rootHeight - top));
    layout.x = std::max(0, left);
    layout.y = std::max(0, top);
    return layout;
}

}  // namespace vantoria::desktop
