#pragma once
// Finding the tray program's windows on a test's X server by their titles.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <optional>
#include <string>

namespace vantoria::test {

// The title of `window` in UTF-8 (_NET_WM_NAME, else WM_NAME); "" when none.
inline std::string WindowTitle(Display* display, Window window) {
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

// Windows may go away while the tree is walked; the errors that follow are
// no failure, and Xlib's own handler would end the test program.
class IgnoreXErrors {
public:
    explicit IgnoreXErrors(Display* display) : display_(display) {}
    ~IgnoreXErrors() {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    IgnoreXErrors(const IgnoreXErrors&) = delete;
    IgnoreXErrors& operator=(const IgnoreXErrors&) = delete;

private:
    Display* display_;
    XErrorHandler previous_ = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
};

// The first window below `from` (the whole tree when 0), depth first, for
// which `wanted` holds.
template <typename Predicate>
std::optional<Window> FindWindowWhere(Display* display, const Predicate& wanted, Window from = 0) {
    if (!from) {
        const IgnoreXErrors ignore(display);
        return FindWindowWhere(display, wanted, DefaultRootWindow(display));
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, from, &root, &parent, &children, &count)) return std::nullopt;
    std::optional<Window> found;
    for (unsigned int i = 0; i < count && !found; ++i) {
        found = wanted(children[i]) ? std::optional<Window>(children[i]) : FindWindowWhere(display, wanted, children[i]);
    }
    if (children) XFree(children);
    return found;
}

inline bool IsMapped(Display* display, Window window, XWindowAttributes& attributes) {
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// The first mapped window, anywhere in the tree, whose title is `title`.
inline std::optional<Window> FindMappedWindow(Display* display, const std::string& title) {
    return FindWindowWhere(display, [&](Window window) {
        XWindowAttributes attributes{};
        return IsMapped(display, window, attributes) && WindowTitle(display, window) == title;
    });
}

// The first mapped window titled `title` that is larger than a tray icon
// (an XEmbed icon's window carries the program's name too).
inline std::optional<Window> FindMappedDialog(Display* display, const std::string& title) {
    return FindWindowWhere(display, [&](Window window) {
        XWindowAttributes attributes{};
        return IsMapped(display, window, attributes) && attributes.width > 64 && WindowTitle(display, window) == title;
    });
}

// The tray program's icon once a tray host has docked it: a small mapped
// window of the program's class.
inline std::optional<Window> FindTrayIcon(Display* display) {
    return FindWindowWhere(display, [&](Window window) {
        XClassHint hint{};
        bool ours = false;
        if (XGetClassHint(display, window, &hint)) {
            ours = hint.res_class && std::string(hint.res_class) == "Vantoria";
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        XWindowAttributes attributes{};
        return ours && IsMapped(display, window, attributes) && attributes.width <= 32 && attributes.height <= 32;
    });
}

// One pixel of what the root window shows, as 0xRRGGBB.
inline unsigned long RootPixel(Display* display, int x, int y) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

}  // namespace vantoria::test
