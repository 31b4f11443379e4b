#include "platform/screen/Screen.h"

#include "platform/raster/Bitmap.h"
#include "platform/screen/Monitors.h"
#include "platform/screen/SwayOutputs.h"
#include "platform/screen/WaylandMonitors.h"
#include "platform/screen/X11ErrorTrap.h"
#include "platform/screen/X11Monitors.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <exception>
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
// makes a request answer nothing instead of ending the program. Only this
// connection's errors: another thread may be using a connection of its own.
class ScopedIgnoreXErrors {
public:
    explicit ScopedIgnoreXErrors(Display* d) : display_(d), trap_(d) {}
    ~ScopedIgnoreXErrors() { X11ErrorTrap::Settle(display_); }  // errors still on their way land here
    ScopedIgnoreXErrors(const ScopedIgnoreXErrors&) = delete;
    ScopedIgnoreXErrors& operator=(const ScopedIgnoreXErrors&) = delete;

private:
    Display* display_;
    X11ErrorTrap trap_;
};

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Xwayland shows a scaling compositor's outputs in its logical pixels, where
// the compositor's own list has each output's mode in device pixels. When
// every X11 monitor lies where exactly one output of its shape starts, at
// least as large, it takes that output's size, and the places are taken in
// the pixels of the most scaled output, where the sizes fit them (side by
// side at one scale, never overlapping at several); names and the primary
// flag stay.
void TakeWaylandSizes(MonitorList& monitors) {
    if (!IsSet("WAYLAND_DISPLAY")) return;
    std::string ignored;
    const std::optional<MonitorList> outputs = WaylandMonitors(ignored);
    if (!outputs) return;
    MonitorList sized = monitors;
    for (Monitor& m : sized) {
        const Monitor* match = nullptr;
        int count = 0;
        for (const Monitor& o : *outputs)
            if (o.x == m.x && o.y == m.y) match = &o, ++count;
        if (count != 1 || match->width < m.width || match->height < m.height) return;
        const double across = double(match->width) * m.height, down = double(match->height) * m.width;
        if (std::abs(across - down) > 0.01 * across) return;
        m.width = match->width;
        m.height = match->height;
    }
    double scale = 1.0;
    for (std::size_t i = 0; i < sized.size(); ++i)
        scale = std::max(scale, double(sized[i].width) / monitors[i].width);
    for (Monitor& m : sized) {
        m.x = static_cast<int>(std::lround(m.x * scale));
        m.y = static_cast<int>(std::lround(m.y * scale));
    }
    monitors = std::move(sized);
}

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
    return PrimaryMonitor(X11Monitors(d)).Size();
}

std::optional<raster::ScreenSize> PrimaryScreenSize(std::string& error) {
    if (auto monitors = CurrentMonitors(error)) return PrimaryMonitor(*monitors).Size();
    return std::nullopt;
}

raster::ScreenSize DeviceScreenSize(raster::ScreenSize logical, double ratio) {
    const raster::ScreenSize scaled{static_cast<int>(std::lround(logical.width * ratio)),
                                    static_cast<int>(std::lround(logical.height * ratio))};
    if (ratio == 1.0) return scaled;
    std::optional<raster::ScreenSize> exact;
    try {
        std::string ignored;
        exact = PrimaryScreenSize(ignored);
    } catch (const std::exception&) {
        // Malformed monitors given: the toolkit's size stands.
    }
    // Within a pixel: the same screen, rounded or cut by the toolkit.
    auto near = [ratio](int device, int side) { return std::abs(device / ratio - side) < 1.0; };
    if (exact && near(exact->width, logical.width) && near(exact->height, logical.height)) return *exact;
    return scaled;
}

std::optional<MonitorList> CurrentMonitors(std::string& error) {
    if (auto given = MonitorsFromEnvironment()) return given;
    // sway knows its outputs' modes and scales; Xwayland has them scaled.
    if (IsSet("SWAYSOCK") && IsSet("WAYLAND_DISPLAY")) {
        if (auto outputs = SwayOutputs(error)) return outputs;
    }
    if (const char* x = std::getenv("DISPLAY"); x && *x) {
        std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(x));
        if (!display) {
            error = std::string("cannot open display ") + x;
            return std::nullopt;
        }
        MonitorList monitors;
        {
            const ScopedIgnoreXErrors ignoreErrors(display.get());
            monitors = X11Monitors(display.get());
        }
        TakeWaylandSizes(monitors);
        return monitors;
    }
    if (IsSet("SWAYSOCK")) {
        if (auto outputs = SwayOutputs(error)) return outputs;
    }
    if (auto outputs = WaylandMonitors(error)) return outputs;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!wayland || !*wayland) error = "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
    return std::nullopt;
}

}  // namespace vantoria
