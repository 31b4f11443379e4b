// The steps of a change on bare X11: load the picture, find the monitors
// and the picture for each one's size, lay each out on its monitor, put
// them on the server, set the result as the root background.

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/desktop/X11Layout.h"
#include "platform/desktop/X11Picture.h"
#include "platform/desktop/X11PictureRows.h"
#include "platform/desktop/X11Root.h"
#include "platform/desktop/X11Preparation.h"
#include "platform/desktop/X11RootProperties.h"
#include "platform/desktop/X11RootSetup.h"

namespace vantoria::desktop {
namespace {

// Drawings made again when the monitors keep changing under them; the
// monitor watch of the tray program catches anything later.
constexpr int kRedrawAttempts = 2;

// Other clients wait while the old background is swapped for the new one,
// so two setters cannot free each other's pixmaps.
class ServerGrab {
public:
    explicit ServerGrab(Display* display) : display_(display) { XGrabServer(display_); }
    ~ServerGrab() {
        if (display_) XUngrabServer(display_);
    }
    ServerGrab(const ServerGrab&) = delete;
    ServerGrab& operator=(const ServerGrab&) = delete;
    // The grab ends with the connection instead.
    void EndWithConnection() { display_ = nullptr; }

private:
    Display* display_;
};

// The monitors that show one picture: all those of one size when the
// picture depends only on the size, else a single monitor.
struct SizedPicture {
    raster::ScreenSize size;
    PictureRows* rows = nullptr;
    MonitorList monitors;
};

// The groups in drawing order, the primary monitor's last so that where
// monitors overlap, the primary one shows its own picture. No picture is
// made yet: each is composed in its turn and dropped once it is drawn.
std::vector<SizedPicture> GroupMonitors(const MonitorList& monitors, bool sizeOnly) {
    std::vector<SizedPicture> groups;
    for (const Monitor& m : monitors) {
        auto same = sizeOnly ? std::find_if(groups.begin(), groups.end(),
                                            [&](const SizedPicture& p) { return p.size == m.Size(); })
                             : groups.end();
        if (same == groups.end()) same = groups.insert(groups.end(), SizedPicture{m.Size(), nullptr, {}});
        same->monitors.push_back(m);
    }
    const Monitor& primary = PrimaryMonitor(monitors);
    std::stable_partition(groups.begin(), groups.end(), [&](const SizedPicture& p) {
        return std::find(p.monitors.begin(), p.monitors.end(), primary) == p.monitors.end();
    });
    return groups;
}

// The parts of a monitor that a centred picture leaves uncovered: only they
// are painted black, not the whole monitor first.
std::vector<XRectangle> Margins(const Monitor& monitor, const RootLayout& layout) {
    const int w = layout.source.Width(), h = layout.source.Height();
    std::vector<XRectangle> margins;
    auto add = [&](int x, int y, int width, int height) {
        if (width > 0 && height > 0)
            margins.push_back({static_cast<short>(monitor.x + x), static_cast<short>(monitor.y + y),
                               static_cast<unsigned short>(width), static_cast<unsigned short>(height)});
    };
    if (w <= 0 || h <= 0) {
        add(0, 0, monitor.width, monitor.height);
        return margins;
    }
    add(0, 0, monitor.width, layout.y);                                       // above
    add(0, layout.y + h, monitor.width, monitor.height - layout.y - h);       // below
    add(0, layout.y, layout.x, h);                                            // left
    add(layout.x + w, layout.y, monitor.width - layout.x - w, h);             // right
    return margins;
}

void FillBlack(Display* display, Drawable target, GC gc, std::vector<XRectangle> areas) {
    if (areas.empty()) return;
    XSetFillStyle(display, gc, FillSolid);
    XSetForeground(display, gc, BlackPixel(display, DefaultScreen(display)));
    XFillRectangles(display, target, gc, areas.data(), static_cast<int>(areas.size()));
}

// Draws one picture on each of its monitors, laid out on that monitor.
// `marginsBlack`: nothing but black lies where the picture does not cover.
void DrawOnMonitors(X11Connection& x, Drawable background, GC gc, const RootInfo& root, SizedPicture& sized,
                    bool tile, const PieceLimits& limits, bool marginsBlack) {
    Display* display = x.Get();
    PictureRows& picture = *sized.rows;
    const RootLayout layout = LayOut(picture.Width(), picture.Height(), sized.size.width, sized.size.height, tile);
    const raster::Rect& source = layout.source;
    const bool shows = source.Width() > 0 && source.Height() > 0;
    const bool coversMonitor = source.Width() >= sized.size.width && source.Height() >= sized.size.height;
    if (shows && layout.tiled && !coversMonitor) {
        const PixmapHandle tilePixmap(display, XCreatePixmap(display, x.Root(), static_cast<unsigned>(source.Width()),
                                                             static_cast<unsigned>(source.Height()),
                                                             static_cast<unsigned>(root.format.depth)));
        x.Check("the X server cannot hold a " + std::to_string(source.Width()) + "x" +
                std::to_string(source.Height()) + " picture");
        PutPicture(x, tilePixmap.Get(), gc, root.format, picture, source, 0, 0, limits);
        XSetTile(display, gc, tilePixmap.Get());
        XSetFillStyle(display, gc, FillTiled);
        for (const Monitor& m : sized.monitors) {
            XSetTSOrigin(display, gc, m.x, m.y);
            XFillRectangle(display, background, gc, m.x, m.y, static_cast<unsigned>(m.width),
                           static_cast<unsigned>(m.height));
        }
        XSetFillStyle(display, gc, FillSolid);
        x.Check("the X server cannot draw the wallpaper");
        return;
    }
    // The margins first: the picture's last piece is then the last request,
    // and once the server has taken it nothing is left to wait for.
    for (const Monitor& m : sized.monitors) {
        if (!marginsBlack) FillBlack(display, background, gc, Margins(m, layout));
        if (shows) PutPicture(x, background, gc, root.format, picture, source, m.x + layout.x, m.y + layout.y, limits);
    }
}

// Draws the wallpaper of every monitor on `canvas`, the rest black.
void Compose(X11Connection& x, const RootInfo& root, const MonitorList& monitors, PictureRows& buffer,
             const MonitorComposer& perMonitor, bool tile, const PieceLimits& limits, RootCanvas& canvas) {
    Display* display = x.Get();
    if (!OneMonitorForAll(monitors, root) && !canvas.black) {
        FillBlack(display, canvas.Get(), canvas.Gc(),
                  {{0, 0, static_cast<unsigned short>(root.width), static_cast<unsigned short>(root.height)}});
        canvas.black = true;
    }
    // On a black canvas, margins need painting only where another monitor
    // may have drawn before.
    bool overlapping = false;
    for (std::size_t i = 0; i < monitors.size(); ++i)
        for (std::size_t j = i + 1; j < monitors.size(); ++j) {
            const Monitor &a = monitors[i], &b = monitors[j];
            overlapping = overlapping || (a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
                                          b.y < a.y + a.height);
        }
    const bool marginsBlack = canvas.black && !overlapping;
    for (SizedPicture& group : GroupMonitors(monitors, !perMonitor || perMonitor.sizeOnly)) {
        // Composed for this group only, and gone before the next is made.
        std::optional<BitmapRows> own;
        if (perMonitor) {
            if (std::optional<raster::Bitmap> picture = perMonitor(group.monitors.front()))
                own.emplace(std::move(*picture));
        }
        group.rows = own ? &*own : &buffer;
        DrawOnMonitors(x, canvas.Get(), canvas.Gc(), root, group, tile, limits, marginsBlack);
    }
    x.Check("the X server cannot draw the wallpaper");
}

// Shows `pixmap` on the root window and leaves it to the server: it stays
// after we disconnect, until the next setter frees it. The connection is
// closed before the grab ends: while it lives, no other client can find
// the pixmap named on the root, take it for a finished setter's and kill
// this connection with it (the next setter frees it so).
void SetRootBackground(X11Connection& x, Pixmap pixmap) {
    Display* display = x.Get();
    PixmapHandle owned(display, pixmap);
    ServerGrab grab(display);
    FreePreviousRootPixmap(x);
    XSetWindowBackgroundPixmap(display, x.Root(), pixmap);
    XClearWindow(display, x.Root());
    SetRootPixmapProperties(x, pixmap);
    XSetCloseDownMode(display, RetainPermanent);
    try {
        x.Check("cannot set the root window's background");
    } catch (const X11Error&) {
        XSetCloseDownMode(display, DestroyAll);
        throw;
    }
    owned.Release();
    grab.EndWithConnection();
    x.Close();
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

// Draws on a canvas (made now when none is given) and shows the result.
// The shared pieces are let go of first: the connection's resources stay
// on the server after it.
void DrawAndShow(X11Connection& x, const RootInfo& root, const MonitorList& monitors, PictureRows& picture,
                 const MonitorComposer& otherSizes, bool tile, PieceLimits limits,
                 std::unique_ptr<RootCanvas> canvas, std::unique_ptr<SharedPieces> shared) {
    if (!canvas) canvas = std::make_unique<RootCanvas>(x, root);
    limits.shared = shared.get();
    Compose(x, root, monitors, picture, otherSizes, tile, limits, *canvas);
    const Pixmap pixmap = canvas->Release();
    canvas.reset();
    shared.reset();
    SetRootBackground(x, pixmap);
}

// Shows `picture` (the buffer file's) with every monitor's layout, starting
// from the drawing a preparation made ready, when there is one.
// Monitors that change while the pictures are made (a hot-plug in the middle
// of a redraw) would leave a layout meant for the old ones; so the drawing is
// made again for the monitors there are now. Each drawing has a connection
// of its own: the next one frees the resources the last one left on the
// server.
void ShowPicture(PictureRows& picture, bool tile, const X11Transfer& transfer, const MonitorComposer& otherSizes) {
    std::unique_ptr<PreparedRoot> prepared = TakePreparedRoot();
    std::optional<MonitorList> monitors;
    for (int attempt = 0;; ++attempt) {
        std::unique_ptr<X11Connection> after;
        if (prepared) {
            monitors = prepared->monitors;
            after = std::move(prepared->after);
            PieceLimits limits = ConnectionLimits(*prepared->x, transfer.maxPieceBytes, transfer.sharedMemory);
            DrawAndShow(*prepared->x, prepared->root, *monitors, picture, otherSizes, tile, limits,
                        std::move(prepared->canvas), std::move(prepared->shared));
            prepared.reset();
        } else {
            X11Connection x;
            const PieceLimits limits = ConnectionLimits(x, transfer.maxPieceBytes, transfer.sharedMemory);
            if (!monitors) monitors = QueryMonitors(x);
            const RootInfo root = QueryRoot(x);
            DrawAndShow(x, root, *monitors, picture, otherSizes, tile, limits, nullptr, nullptr);
        }
        if (!after) after = std::make_unique<X11Connection>();
        MonitorList now = QueryMonitors(*after);
        if (SameMonitors(now, *monitors) || attempt >= kRedrawAttempts) break;
        monitors = std::move(now);
    }
}

}  // namespace

DesktopResult SetX11RootWallpaper(const std::string& path, bool tile, const MonitorComposer& otherSizes) {
    return SetX11RootWallpaper(path, tile, X11Transfer{}, otherSizes);
}

DesktopResult SetX11RootWallpaper(const raster::Bitmap& picture, bool tile, const MonitorComposer& otherSizes) {
    try {
        BitmapRows rows(picture);
        ShowPicture(rows, tile, X11Transfer{}, otherSizes);
        return DesktopResult::Done();
    } catch (const X11Error& error) {
        return DesktopResult::Failed(error.what());
    }
}

DesktopResult SetX11RootWallpaper(const std::string& path, bool tile, const X11Transfer& transfer,
                                  const MonitorComposer& otherSizes) {
    try {
        if (path.empty()) {
            X11Connection x;
            ClearRootBackground(x);
            return DesktopResult::Done();
        }
        const std::unique_ptr<PictureRows> picture = OpenPictureRows(path);
        ShowPicture(*picture, tile, transfer, otherSizes);
        return DesktopResult::Done();
    } catch (const X11Error& error) {
        return DesktopResult::Failed(error.what());
    }
}

}  // namespace vantoria::desktop
