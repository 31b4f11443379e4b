#include "platform/screen/Screen.h"

#include "platform/raster/Bitmap.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <charconv>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace vantoria {
namespace {

std::optional<int> ParseSide(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < 1 || value > raster::kMaxSide) {
        return std::nullopt;
    }
    return value;
}

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};

// While asking for the size, an X error (an output going away meanwhile)
// makes a request answer nothing instead of ending the program.
extern "C" int IgnoreXError(Display*, XErrorEvent*) { return 0; }

class ScopedIgnoreXErrors {
public:
    explicit ScopedIgnoreXErrors(Display* d) : display_(d), previous_(XSetErrorHandler(IgnoreXError)) {}
    ~ScopedIgnoreXErrors() {
        XSync(display_, False);  // errors still on their way land here
        XSetErrorHandler(previous_);
    }
    ScopedIgnoreXErrors(const ScopedIgnoreXErrors&) = delete;
    ScopedIgnoreXErrors& operator=(const ScopedIgnoreXErrors&) = delete;

private:
    Display* display_;
    XErrorHandler previous_;
};

}  // namespace

std::optional<raster::ScreenSize> ParseScreenSize(const std::string& text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) return std::nullopt;
    const auto w = ParseSide(std::string_view(text).substr(0, x));
    const auto h = ParseSide(std::string_view(text).substr(x + 1));
    if (!w || !h) return std::nullopt;
    return raster::ScreenSize{*w, *h};
}

std::optional<raster::ScreenSize> ScreenSizeFromEnvironment() {
    const char* value = std::getenv("VANTORIA_SCREEN");
    if (!value || !*value) return std::nullopt;
    auto size = ParseScreenSize(value);
    if (!size) {
        throw std::invalid_argument(std::string("VANTORIA_SCREEN must be WIDTHxHEIGHT, not \"") + value + "\"");
    }
    return size;
}

std::optional<raster::ScreenSize> X11PrimaryScreenSize(std::string& error) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        error = "no display: DISPLAY is not set";
        return std::nullopt;
    }
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(name));
    if (!display) {
        error = std::string("cannot open display ") + name;
        return std::nullopt;
    }
    Display* d = display.get();
    const ScopedIgnoreXErrors ignoreErrors(d);
    const Window root = DefaultRootWindow(d);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    // The current-resources request is RandR 1.3; an older server gets the
    // root window's size instead of an X error, which would end the program.
    if (XRRQueryExtension(d, &eventBase, &errorBase) && XRRQueryVersion(d, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 3))) {
        if (XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root)) {
            std::optional<raster::ScreenSize> found;
            const RROutput primary = XRRGetOutputPrimary(d, root);
            for (int i = 0; i < res->noutput && !found; ++i) {
                if (primary != None && res->outputs[i] != primary) continue;
                XRROutputInfo* out = XRRGetOutputInfo(d, res, res->outputs[i]);
                if (out && out->crtc != None) {
                    if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(d, res, out->crtc)) {
                        if (crtc->width > 0 && crtc->height > 0) {
                            found = raster::ScreenSize{static_cast<int>(crtc->width), static_cast<int>(crtc->height)};
                        }
                        XRRFreeCrtcInfo(crtc);
                    }
                }
                if (out) XRRFreeOutputInfo(out);
            }
            XRRFreeScreenResources(res);
            if (found) return found;
        }
    }
    const int screen = DefaultScreen(d);
    return raster::ScreenSize{DisplayWidth(d, screen), DisplayHeight(d, screen)};
}

}  // namespace vantoria
