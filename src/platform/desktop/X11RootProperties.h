#pragma once
// The root-window properties through which X11 programs share the desktop
// background: _XROOTPMAP_ID (read by programs that draw "transparent"
// windows) and ESETROOT_PMAP_ID (set by the setter that owns the pixmap).

#include <X11/Xlib.h>

#include "platform/desktop/X11Connection.h"

namespace vantoria::desktop {

// Learns both properties' atoms where the server has them, so that the
// calls below need not ask for them again.
void LookUpRootPixmapAtoms(X11Connection& x);

// Frees the pixmap of the previous setter, which kept it alive on the server
// after it exited, when both properties name it (another program may still
// be using a pixmap named by one of them alone). Errors are ignored: the
// pixmap may already be gone.
void FreePreviousRootPixmap(X11Connection& x);

// Names `pixmap` in both properties (type PIXMAP, format 32).
void SetRootPixmapProperties(X11Connection& x, Pixmap pixmap);

// Removes both properties.
void RemoveRootPixmapProperties(X11Connection& x);

}  // namespace vantoria::desktop
