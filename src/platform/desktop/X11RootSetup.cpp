#include "platform/desktop/X11RootSetup.h"

#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <stdexcept>

#include "platform/desktop/X11RootProperties.h"
#include "platform/screen/X11Monitors.h"

namespace vantoria::desktop {

RootInfo QueryRoot(X11Connection& x) {
    Display* display = x.Get();
    const int screen = DefaultScreen(display);
    return {DisplayWidth(display, screen), DisplayHeight(display, screen),
            MakePixelFormat(DefaultVisual(display, screen), DefaultDepth(display, screen))};
}

MonitorList QueryMonitors(X11Connection& x) {
    try {
        if (auto given = MonitorsFromEnvironment()) return *given;
    } catch (const std::invalid_argument& error) {
        throw X11Error(error.what());
    }
    MonitorList monitors = X11Monitors(x.Get());
    x.TakeError();  // a monitor source that failed has been passed over
    return monitors;
}

bool OneMonitorForAll(const MonitorList& monitors, const RootInfo& root) {
    const Monitor& only = monitors.front();
    return monitors.size() == 1 && only.x == 0 && only.y == 0 && only.width == root.width &&
           only.height == root.height;
}

PieceLimits ConnectionLimits(X11Connection& x, std::size_t maxPieceBytes, bool sharedMemory) {
    PieceLimits limits;
    limits.pieceBytes = std::min({maxPieceBytes, MaxImageRequestBytes(x.Get()), limits.pieceBytes});
    limits.sharedMemory = sharedMemory;
    return limits;
}

RootCanvas::RootCanvas(X11Connection& x, const RootInfo& root)
    : pixmap_(x.Get(), XCreatePixmap(x.Get(), x.Root(), static_cast<unsigned>(root.width),
                                     static_cast<unsigned>(root.height), static_cast<unsigned>(root.format.depth))),
      gc_(x.Get(), pixmap_.Get()) {
    x.Check("the X server cannot hold a screen-sized picture");
}

bool PreparedRoot::Outdated() const {
    if (randrEvents < 0) return false;
    Display* display = after->Get();
    XEventsQueued(display, QueuedAfterReading);
    XEvent event;
    bool changed = false;
    while (XCheckTypedEvent(display, randrEvents + RRScreenChangeNotify, &event) ||
           XCheckTypedEvent(display, randrEvents + RRNotify, &event))
        changed = true;
    return changed;
}

std::unique_ptr<PreparedRoot> PrepareRoot() {
    auto prepared = std::make_unique<PreparedRoot>();
    // Told of every change of the screen from now on, so that a drawing
    // does not start from monitors that have gone meanwhile. The monitors
    // are read on the same connection, which then knows what the check
    // after the drawing asks again (the extension, the monitors' names).
    prepared->after = std::make_unique<X11Connection>();
    X11Connection& watch = *prepared->after;
    int errors = 0;
    if (XRRQueryExtension(watch.Get(), &prepared->randrEvents, &errors)) {
        // Servers before RandR 1.2 refuse the last two: the check after the
        // drawing catches their changes.
        const auto ignoring = watch.IgnoreErrors();
        XRRSelectInput(watch.Get(), watch.Root(),
                       RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    } else {
        prepared->randrEvents = -1;
    }
    prepared->monitors = QueryMonitors(watch);
    XFlush(watch.Get());

    prepared->x = std::make_unique<X11Connection>();
    X11Connection& x = *prepared->x;
    Display* display = x.Get();
    prepared->limits = ConnectionLimits(x, SIZE_MAX, true);
    prepared->root = QueryRoot(x);
    prepared->canvas = std::make_unique<RootCanvas>(x, prepared->root);
    // What is black whatever the picture is painted now, while the server
    // has time (its first touch of a new pixmap's memory costs as much as a
    // drawing). A single monitor over the whole root is left to its picture.
    if (!OneMonitorForAll(prepared->monitors, prepared->root)) {
        XSetForeground(display, prepared->canvas->Gc(), BlackPixel(display, DefaultScreen(display)));
        XFillRectangle(display, prepared->canvas->Get(), prepared->canvas->Gc(), 0, 0,
                       static_cast<unsigned>(prepared->root.width), static_cast<unsigned>(prepared->root.height));
        prepared->canvas->black = true;
    }
    prepared->shared = SharedPieces::Attach(x, prepared->limits.pieceBytes);
    if (prepared->shared) prepared->shared->Touch();
    LookUpRootPixmapAtoms(x);
    x.Check("the X server cannot draw the wallpaper");
    return prepared;
}

}  // namespace vantoria::desktop
