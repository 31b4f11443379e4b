// The steps of a change on bare X11: load the picture, lay it out on the
// root window, put it on the server, set it as the root background.

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/desktop/X11Layout.h"
#include "platform/desktop/X11Picture.h"
#include "platform/desktop/X11PictureRows.h"
#include "platform/desktop/X11Root.h"
#include "platform/desktop/X11RootProperties.h"

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

RootInfo QueryRoot(X11Connection& x) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(x.Get(), x.Root(), &attributes))
        throw X11Error("cannot read the size of the X server's root window");
    return {attributes.width, attributes.height, MakePixelFormat(attributes.visual, attributes.depth)};
}

// The parts of the root that a centred picture leaves uncovered: only they
// are painted black, not the whole root first.
std::vector<XRectangle> Margins(const RootInfo& root, const RootLayout& layout) {
    const int w = layout.source.Width(), h = layout.source.Height();
    std::vector<XRectangle> margins;
    auto add = [&](int x, int y, int width, int height) {
        if (width > 0 && height > 0)
            margins.push_back({static_cast<short>(x), static_cast<short>(y), static_cast<unsigned short>(width),
                               static_cast<unsigned short>(height)});
    };
    if (w <= 0 || h <= 0) {
        add(0, 0, root.width, root.height);
        return margins;
    }
    add(0, 0, root.width, layout.y);                                          // above
    add(0, layout.y + h, root.width, root.height - layout.y - h);             // below
    add(0, layout.y, layout.x, h);                                            // left
    add(layout.x + w, layout.y, root.width - layout.x - w, h);                // right
    return margins;
}

// A root-sized pixmap holding the picture as laid out, the rest black. The
// picture goes straight into it unless it is a tile smaller than the root.
Pixmap Compose(X11Connection& x, const RootInfo& root, PictureRows& picture, const RootLayout& layout,
               const PieceLimits& limits) {
    Display* display = x.Get();
    PixmapHandle background(display, XCreatePixmap(display, x.Root(), static_cast<unsigned>(root.width),
                                                   static_cast<unsigned>(root.height),
                                                   static_cast<unsigned>(root.format.depth)));
    const GcHandle gc(display, background.Get());
    x.Check("the X server cannot hold a screen-sized picture");
    const raster::Rect& source = layout.source;
    const bool shows = source.Width() > 0 && source.Height() > 0;
    const bool coversRoot = source.Width() >= root.width && source.Height() >= root.height;
    if (shows && layout.tiled && !coversRoot) {
        const PixmapHandle tile(display, XCreatePixmap(display, x.Root(), static_cast<unsigned>(source.Width()),
                                                       static_cast<unsigned>(source.Height()),
                                                       static_cast<unsigned>(root.format.depth)));
        x.Check("the X server cannot hold a " + std::to_string(source.Width()) + "x" +
                std::to_string(source.Height()) + " picture");
        PutPicture(x, tile.Get(), gc.Get(), root.format, picture, source, 0, 0, limits);
        XSetTile(display, gc.Get(), tile.Get());
        XSetTSOrigin(display, gc.Get(), 0, 0);
        XSetFillStyle(display, gc.Get(), FillTiled);
        XFillRectangle(display, background.Get(), gc.Get(), 0, 0, static_cast<unsigned>(root.width),
                       static_cast<unsigned>(root.height));
    } else {
        if (shows) PutPicture(x, background.Get(), gc.Get(), root.format, picture, source, layout.x, layout.y, limits);
        std::vector<XRectangle> margins = Margins(root, layout);
        if (!margins.empty()) {
            XSetForeground(display, gc.Get(), BlackPixel(display, DefaultScreen(display)));
            XFillRectangles(display, background.Get(), gc.Get(), margins.data(), static_cast<int>(margins.size()));
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
    return SetX11RootWallpaper(path, tile, X11Transfer{});
}

DesktopResult SetX11RootWallpaper(const std::string& path, bool tile, const X11Transfer& transfer) {
    try {
        if (path.empty()) {
            X11Connection x;
            ClearRootBackground(x);
            return DesktopResult::Done();
        }
        const std::unique_ptr<PictureRows> picture = OpenPictureRows(path);
        X11Connection x;
        const RootInfo root = QueryRoot(x);
        const RootLayout layout = LayOut(picture->Width(), picture->Height(), root.width, root.height, tile);
        PieceLimits limits;
        limits.pieceBytes = std::min({transfer.maxPieceBytes, MaxImageRequestBytes(x.Get()), limits.pieceBytes});
        limits.sharedMemory = transfer.sharedMemory;
        SetRootBackground(x, Compose(x, root, *picture, layout, limits));
        return DesktopResult::Done();
    } catch (const X11Error& error) {
        return DesktopResult::Failed(error.what());
    }
}

}  // namespace vantoria::desktop
