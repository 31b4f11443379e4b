// The steps of a change on bare X11: load the picture, lay it out on the
// root window, put it on the server, set it as the root background.

#include <algorithm>
#include <limits>

#include "platform/desktop/X11Layout.h"
#include "platform/desktop/X11Picture.h"
#include "platform/desktop/X11Root.h"
#include "platform/desktop/X11RootProperties.h"
#include "platform/dib/Dib.h"

namespace vantoria::desktop {
namespace {

struct RootInfo {
    int width = 0;
    int height = 0;
    PixelFormat format;
};

// Other clients wait while the old background is swapped for the new one,
// so two setters cannot free each other's pixmaps.
class ServerGrab {
public:
    explicit ServerGrab(Display* display) : display_(display) { XGrabServer(display_); }
    ~ServerGrab() { XUngrabServer(display_); }
    ServerGrab(const ServerGrab&) = delete;
    ServerGrab& operator=(const ServerGrab&) = delete;

private:
    Display* display_;
};

raster::Bitmap LoadPicture(const std::string& path) {
    try {
        return dib::LoadBmpFile(path);
    } catch (const dib::DibError& error) {
        throw X11Error("cannot read " + path + ": " + error.what());
    } catch (const raster::RasterError& error) {
        throw X11Error("cannot read " + path + ": " + error.what());
    }
}

RootInfo QueryRoot(X11Connection& x) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(x.Get(), x.Root(), &attributes))
        throw X11Error("cannot read the size of the X server's root window");
    return {attributes.width, attributes.height, MakePixelFormat(attributes.visual, attributes.depth)};
}

// A root-sized pixmap holding the picture as laid out, the rest black.
Pixmap Compose(X11Connection& x, const RootInfo& root, const raster::Bitmap& picture,
               const RootLayout& layout, std::size_t pieceBytes) {
    Display* display = x.Get();
    PixmapHandle background(display, XCreatePixmap(display, x.Root(), static_cast<unsigned>(root.width),
                                                   static_cast<unsigned>(root.height),
                                                   static_cast<unsigned>(root.format.depth)));
    const GcHandle gc(display, background.Get());
    x.Check("the X server cannot hold a screen-sized picture");
    XSetForeground(display, gc.Get(), BlackPixel(display, DefaultScreen(display)));
    XFillRectangle(display, background.Get(), gc.Get(), 0, 0, static_cast<unsigned>(root.width),
                   static_cast<unsigned>(root.height));
    if (layout.source.Width() > 0 && layout.source.Height() > 0) {
        const PixmapHandle part(display, UploadPicture(x, x.Root(), root.format, picture, layout.source, pieceBytes));
        if (layout.tiled) {
            XSetTile(display, gc.Get(), part.Get());
            XSetTSOrigin(display, gc.Get(), 0, 0);
            XSetFillStyle(display, gc.Get(), FillTiled);
            XFillRectangle(display, background.Get(), gc.Get(), 0, 0, static_cast<unsigned>(root.width),
                           static_cast<unsigned>(root.height));
        } else {
            XCopyArea(display, part.Get(), background.Get(), gc.Get(), 0, 0,
                      static_cast<unsigned>(layout.source.Width()), static_cast<unsigned>(layout.source.Height()),
                      layout.x, layout.y);
        }
    }
    x.Check("the X server cannot draw the wallpaper");
    return background.Release();
}

// Shows `pixmap` on the root window and leaves it to the server: it stays
// after we disconnect, until the next setter frees it.
void SetRootBackground(X11Connection& x, Pixmap pixmap) {
    Display* display = x.Get();
    PixmapHandle owned(display, pixmap);
    {
        const ServerGrab grab(display);
        FreePreviousRootPixmap(x);
        XSetWindowBackgroundPixmap(display, x.Root(), pixmap);
        XClearWindow(display, x.Root());
        SetRootPixmapProperties(x, pixmap);
    }
    x.Check("cannot set the root window's background");
    XSetCloseDownMode(display, RetainPermanent);
    x.Check("cannot keep the wallpaper on the X server");
    owned.Release();
}

void ClearRootBackground(X11Connection& x) {
    Display* display = x.Get();
    {
        const ServerGrab grab(display);
        FreePreviousRootPixmap(x);
        XSetWindowBackground(display, x.Root(), BlackPixel(display, DefaultScreen(display)));
        XClearWindow(display, x.Root());
        RemoveRootPixmapProperties(x);
    }
    x.Check("cannot clear the root window's background");
}

}  // namespace

DesktopResult SetX11RootWallpaper(const std::string& path, bool tile) {
    return SetX11RootWallpaper(path, tile, std::numeric_limits<std::size_t>::max());
}

DesktopResult SetX11RootWallpaper(const std::string& path, bool tile, std::size_t maxPieceBytes) {
    try {
        if (path.empty()) {
            X11Connection x;
            ClearRootBackground(x);
            return DesktopResult::Done();
        }
        const raster::Bitmap picture = LoadPicture(path);
        X11Connection x;
        const RootInfo root = QueryRoot(x);
        const RootLayout layout = LayOut(picture.Width(), picture.Height(), root.width, root.height, tile);
        const std::size_t pieceBytes = std::min(maxPieceBytes, MaxImageRequestBytes(x.Get()));
        SetRootBackground(x, Compose(x, root, picture, layout, pieceBytes));
        return DesktopResult::Done();
    } catch (const X11Error& error) {
        return DesktopResult::Failed(error.what());
    }
}

}  // namespace vantoria::desktop
