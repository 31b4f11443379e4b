#include "platform/screen/X11Monitors.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <memory>

namespace vantoria {
namespace {

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

bool Inside(const Monitor& inner, const Monitor& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
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
        all.push_back({m.x, m.y, m.width, m.height, m.primary != 0});
        automatic.push_back(m.automatic != 0);
    }
    MonitorList kept;
    for (std::size_t i = 0; i < all.size(); ++i) {
        bool split = false;
        for (std::size_t j = 0; j < all.size() && automatic[i]; ++j)
            split = split || (!automatic[j] && Inside(all[j], all[i]));
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
        if (s.width > 0 && s.height > 0) monitors.push_back({s.x_org, s.y_org, s.width, s.height, false});
    }
    return monitors;
}

}  // namespace

MonitorList X11Monitors(Display* display) {
    MonitorList monitors = RandrMonitors(display);
    if (monitors.empty()) monitors = XineramaMonitors(display);
    if (monitors.empty()) {
        const int screen = DefaultScreen(display);
        monitors.push_back({0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen), true});
    }
    return monitors;
}

}  // namespace vantoria
