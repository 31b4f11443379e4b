#pragma once
// Turning our 24-bit pictures into pixels of the X server's visual and
// sending them to a pixmap.

#include <X11/Xlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "platform/desktop/X11Connection.h"
#include "platform/desktop/X11PictureRows.h"
#include "platform/raster/Bitmap.h"

namespace vantoria::desktop {

class SharedPieces;

// How a TrueColor (or DirectColor) visual packs red, green and blue into a
// pixel: one table per channel from 8-bit intensity to its masked bits.
struct PixelFormat {
    Visual* visual = nullptr;
    int depth = 0;
    std::array<std::uint32_t, 256> red{}, green{}, blue{};
    // 8 bits a channel, red highest: a pixel is the BGR bytes as they are.
    bool rgb888 = false;

    std::uint32_t Pixel(std::uint8_t b, std::uint8_t g, std::uint8_t r) const {
        return red[r] | green[g] | blue[b];
    }
};

// Throws X11Error for visuals without colour masks (palette visuals).
PixelFormat MakePixelFormat(Visual* visual, int depth);

// A server-side pixmap, freed when the owner goes unless released.
class PixmapHandle {
public:
    PixmapHandle(Display* display, Pixmap pixmap) : display_(display), pixmap_(pixmap) {}
    ~PixmapHandle() {
        if (pixmap_ != None) XFreePixmap(display_, pixmap_);
    }
    PixmapHandle(const PixmapHandle&) = delete;
    PixmapHandle& operator=(const PixmapHandle&) = delete;
    Pixmap Get() const { return pixmap_; }
    Pixmap Release() { return std::exchange(pixmap_, None); }

private:
    Display* display_;
    Pixmap pixmap_;
};

// A graphics context for drawing on `drawable`, freed when the owner goes.
class GcHandle {
public:
    GcHandle(Display* display, Drawable drawable) : display_(display), gc_(XCreateGC(display, drawable, 0, nullptr)) {}
    ~GcHandle() { XFreeGC(display_, gc_); }
    GcHandle(const GcHandle&) = delete;
    GcHandle& operator=(const GcHandle&) = delete;
    GC Get() const { return gc_; }

private:
    Display* display_;
    GC gc_;
};

// The largest PutImage payload the server takes in one request, in bytes.
std::size_t MaxImageRequestBytes(Display* display);

// How pixels travel to the server.
struct PieceLimits {
    // Pixel bytes in one piece (at least one pixel a piece), within the
    // server's request limit. The default is large enough that requests cost
    // nothing next to the pixels and small enough to stay in the cache.
    std::size_t pieceBytes = std::size_t{1} << 20;
    // Through shared memory when the server can share it with us.
    bool sharedMemory = true;
    // Pieces attached already, used when theirs are large enough.
    SharedPieces* shared = nullptr;
};

// Puts `area` of `picture` on `target` with its top-left corner at
// (destX, destY), one piece at a time, converting each into a few reused
// buffers. Call it with no X error pending. Throws X11Error.
void PutPicture(X11Connection& x, Drawable target, GC gc, const PixelFormat& format, PictureRows& picture,
                const raster::Rect& area, int destX, int destY, const PieceLimits& limits);

}  // namespace vantoria::desktop
