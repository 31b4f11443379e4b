#include "platform/screen/X11Monitors.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <X11/Xatom.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/screen/Edid.h"

namespace vantoria {
namespace {

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

std::string AtomName(Display* display, Atom atom) {
    if (atom == None) return {};
    const std::unique_ptr<char, XFreeDeleter> name(XGetAtomName(display, atom));
    return name ? std::string(name.get()) : std::string();
}

// The make, model and serial of the monitor on `output`, from its EDID
// property, when the driver publishes one.
void ReadEdid(Display* display, RROutput output, Monitor& monitor) {
    const Atom edidAtom = XInternAtom(display, "EDID", True);
    if (edidAtom == None) return;
    unsigned char* data = nullptr;
    int format = 0;
    unsigned long count = 0, after = 0;
    Atom type = None;
    if (XRRGetOutputProperty(display, output, edidAtom, 0, 128, False, False, AnyPropertyType, &type, &format,
                             &count, &after, &data) != Success)
        return;
    const std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
    if (!data || format != 8 || type != XA_INTEGER) return;
    const EdidIdentity id = ParseEdid({data, static_cast<std::size_t>(count)});
    monitor.make = id.make;
    monitor.model = id.model;
    monitor.serial = id.serial;
}

MonitorList RandrMonitors(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        (major == 1 && minor < 5) || major < 1)
        return {};
    int count = 0;
    XRRMonitorInfo* raw = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    if (!raw) return {};
    const std::unique_ptr<XRRMonitorInfo, decltype(&XRRFreeMonitors)> info(raw, XRRFreeMonitors);
    MonitorList all;
    std::vector<bool> automatic;
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& m = raw[i];
        if (m.width <= 0 || m.height <= 0) continue;
        Monitor monitor{m.x, m.y, m.width, m.height, m.primary != 0, AtomName(display, m.name), {}, {}, {}};
        if (m.noutput == 1 && m.outputs) ReadEdid(display, m.outputs[0], monitor);
        all.push_back(std::move(monitor));
        automatic.push_back(m.automatic != 0);
    }
    MonitorList kept;
    for (std::size_t i = 0; i < all.size(); ++i) {
        bool split = false;
        for (std::size_t j = 0; j < all.size() && automatic[i]; ++j)
            split = split || (!automatic[j] && MonitorInside(all[j], all[i]));
        if (!split) kept.push_back(all[i]);
    }
    return kept;
}

MonitorList XineramaMonitors(Display* display) {
    int eventBase = 0, errorBase = 0;
    if (!XineramaQueryExtension(display, &eventBase, &errorBase) || !XineramaIsActive(display)) return {};
    int count = 0;
    const std::unique_ptr<XineramaScreenInfo, XFreeDeleter> screens(XineramaQueryScreens(display, &count));
    MonitorList monitors;
    for (int i = 0; screens && i < count; ++i) {
        const XineramaScreenInfo& s = screens.get()[i];
        if (s.width > 0 && s.height > 0) {
            Monitor monitor;
            monitor.x = s.x_org;
            monitor.y = s.y_org;
            monitor.width = s.width;
            monitor.height = s.height;
            monitors.push_back(monitor);
        }
    }
    return monitors;
}

}  // namespace

MonitorList X11Monitors(Display* display) {
    MonitorList monitors = RandrMonitors(display);
    if (monitors.empty()) monitors = XineramaMonitors(display);
    if (monitors.empty()) {
        const int screen = DefaultScreen(display);
        Monitor root;
        root.width = DisplayWidth(display, screen);
        root.height = DisplayHeight(display, screen);
        root.primary = true;
        monitors.push_back(root);
    }
    return monitors;
}

}  // namespace vantoria
