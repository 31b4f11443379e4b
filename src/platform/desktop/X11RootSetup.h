#pragma once
// What drawing the root window's background needs before there is a
// picture: the root's size and pixels, the monitors, a root-sized pixmap.
// Each step is made the same way whether it runs ahead of the picture (see
// X11Preparation) or right before the drawing.

#include <memory>

#include "platform/desktop/X11Connection.h"
#include "platform/desktop/X11Picture.h"
#include "platform/desktop/X11SharedPieces.h"
#include "platform/screen/Monitors.h"

namespace vantoria::desktop {

struct RootInfo {
    int width = 0;
    int height = 0;
    PixelFormat format;
};

// The root window as the connection found it when it was made (no round
// trip). Throws X11Error for palette screens.
RootInfo QueryRoot(X11Connection& x);

// VANTORIA_MONITORS (or the monitors given to this process), else the
// server's. Throws X11Error for malformed ones.
MonitorList QueryMonitors(X11Connection& x);

// One monitor that is the whole root: its wallpaper leaves nothing else to paint.
bool OneMonitorForAll(const MonitorList& monitors, const RootInfo& root);

// The pixel limit of one piece of picture on this connection.
PieceLimits ConnectionLimits(X11Connection& x, std::size_t maxPieceBytes, bool sharedMemory);

// The root-sized pixmap the wallpaper is drawn in, with a GC for it.
class RootCanvas {
public:
    // Throws X11Error("the X server cannot hold a screen-sized picture: ...").
    RootCanvas(X11Connection& x, const RootInfo& root);
    RootCanvas(const RootCanvas&) = delete;
    RootCanvas& operator=(const RootCanvas&) = delete;

    Pixmap Get() const { return pixmap_.Get(); }
    GC Gc() const { return gc_.Get(); }
    Pixmap Release() { return pixmap_.Release(); }
    // Painted black all over already.
    bool black = false;

private:
    PixmapHandle pixmap_;
    GcHandle gc_;
};

// Everything of a drawing made ready ahead of its picture, on a connection
// that nothing else uses meanwhile.
struct PreparedRoot {
    // Destroyed last: what follows lives on its server.
    std::unique_ptr<X11Connection> x;
    // Another connection for the check of the monitors after the drawing
    // (the drawing's own ends with it); it hears of monitor changes.
    std::unique_ptr<X11Connection> after;
    RootInfo root;
    MonitorList monitors;
    PieceLimits limits;
    std::unique_ptr<RootCanvas> canvas;
    std::unique_ptr<SharedPieces> shared;
    int randrEvents = -1;  // RandR's first event on `after`, when it has RandR

    // Whether the server said that its screen changed since the monitors
    // were read (without waiting for it).
    bool Outdated() const;
};

// Opens both connections and makes everything ready. Throws X11Error (and
// whatever runs out), with nothing left on the server.
std::unique_ptr<PreparedRoot> PrepareRoot();

}  // namespace vantoria::desktop
