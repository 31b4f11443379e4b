#pragma once
// The bare-X11 desktop: the picture becomes the root window's background,
// as X11 root setters do it, for sessions without a desktop of their own.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/desktop/DesktopResult.h"
#include "platform/raster/Bitmap.h"
#include "platform/screen/Monitors.h"

namespace vantoria::desktop {

// Loads the bitmap file at `path` and makes it the background of the root
// window of DISPLAY, in a pixmap that outlives this connection (and is freed
// by the next setter). Every monitor (VANTORIA_MONITORS, else the server's,
// see X11Monitors) shows the picture tiled from its own top-left corner or
// centred on itself; what no monitor shows, and what a centred picture
// leaves free, is black. A monitor whose size differs from the one the file
// was composed for shows what `otherSizes` composes for its size, when
// given. An empty path makes the background black. Fails with a reason
// when there is no display, the file cannot be read, or the server refuses.
DesktopResult SetX11RootWallpaper(const std::string& path, bool tile, const MonitorComposer& otherSizes = {});

// The same for the picture of a bitmap file still being written: `picture`
// is what it will hold.
DesktopResult SetX11RootWallpaper(const raster::Bitmap& picture, bool tile, const MonitorComposer& otherSizes = {});

// How the pixels travel to the server; the defaults are best, tests force
// each way.
struct X11Transfer {
    std::size_t maxPieceBytes = SIZE_MAX;  // a lower limit on the pixel bytes of one piece
    bool sharedMemory = true;              // through shared memory when the server can
};

DesktopResult SetX11RootWallpaper(const std::string& path, bool tile, const X11Transfer& transfer,
                                  const MonitorComposer& otherSizes = {});

}  // namespace vantoria::desktop
