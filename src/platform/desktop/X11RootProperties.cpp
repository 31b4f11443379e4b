#include "platform/desktop/X11RootProperties.h"

#include <X11/Xatom.h>

#include <array>
#include <memory>
#include <optional>

namespace vantoria::desktop {
namespace {

constexpr const char* kRootPixmap = "_XROOTPMAP_ID";
constexpr const char* kSetterPixmap = "ESETROOT_PMAP_ID";

struct XFreeDeleter {
    void operator()(unsigned char* data) const { XFree(data); }
};

std::optional<Pixmap> ReadPixmapProperty(Display* display, Window root, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, root, property, 0, 1, False, AnyPropertyType, &type, &format, &count,
                           &after, &raw) != Success)
        return std::nullopt;
    const std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    if (type != XA_PIXMAP || format != 32 || count != 1 || !data) return std::nullopt;
    // Xlib hands 32-bit items over as longs.
    return static_cast<Pixmap>(*reinterpret_cast<const unsigned long*>(data.get()));
}

// Both atoms in one round trip at most (none when Xlib knows them already
// on this connection); None for those the server does not have.
std::array<Atom, 2> RootPixmapAtoms(Display* display, bool create) {
    char* names[] = {const_cast<char*>(kRootPixmap), const_cast<char*>(kSetterPixmap)};
    std::array<Atom, 2> atoms{None, None};
    XInternAtoms(display, names, 2, create ? False : True, atoms.data());
    return atoms;
}

}  // namespace

void LookUpRootPixmapAtoms(X11Connection& x) { RootPixmapAtoms(x.Get(), false); }

void FreePreviousRootPixmap(X11Connection& x) {
    Display* display = x.Get();
    const auto [rootAtom, setterAtom] = RootPixmapAtoms(display, false);
    if (rootAtom == None || setterAtom == None) return;
    const auto shown = ReadPixmapProperty(display, x.Root(), rootAtom);
    const auto owned = ReadPixmapProperty(display, x.Root(), setterAtom);
    x.Check("cannot read the root window's properties");
    if (shown && owned && *shown == *owned && *shown != None) {
        // The pixmap may be gone already: that error is no failure.
        const auto ignoring = x.IgnoreErrors();
        XKillClient(display, *shown);
    }
}

void SetRootPixmapProperties(X11Connection& x, Pixmap pixmap) {
    Display* display = x.Get();
    const unsigned long value = pixmap;
    for (const Atom atom : RootPixmapAtoms(display, true)) {
        XChangeProperty(display, x.Root(), atom, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
    }
}

void RemoveRootPixmapProperties(X11Connection& x) {
    Display* display = x.Get();
    for (const Atom atom : RootPixmapAtoms(display, false))
        if (atom != None) XDeleteProperty(display, x.Root(), atom);
}

}  // namespace vantoria::desktop
