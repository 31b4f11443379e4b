#include "platform/screen/WaylandMonitors.h"

#include <wayland-client.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace vantoria {
namespace {

// A compositor that takes longer than this to list its outputs is not answering.
constexpr std::chrono::milliseconds kAnswerLimit{5000};

struct Output {
    wl_output* proxy = nullptr;
    Monitor monitor;
    std::int32_t transform = WL_OUTPUT_TRANSFORM_NORMAL;
    bool hasMode = false;
    ~Output() {
        if (proxy) wl_output_destroy(proxy);
    }
};

struct Outputs {
    std::vector<std::unique_ptr<Output>> list;
};

void OnGeometry(void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t, std::int32_t,
                const char* make, const char* model, std::int32_t transform) {
    auto* out = static_cast<Output*>(data);
    out->monitor.x = x;
    out->monitor.y = y;
    // Compositors fill these from the EDID; "Unknown" and the like say nothing.
    out->monitor.make = make && std::strcmp(make, "Unknown") != 0 ? make : "";
    out->monitor.model = model && std::strcmp(model, "Unknown") != 0 ? model : "";
    out->transform = transform;
}

void OnMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
    if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
    auto* out = static_cast<Output*>(data);
    out->monitor.width = width;
    out->monitor.height = height;
    out->hasMode = true;
}

void Ignore(void*, wl_output*) {}
void IgnoreScale(void*, wl_output*, std::int32_t) {}
void IgnoreText(void*, wl_output*, const char*) {}
void OnName(void* data, wl_output*, const char* name) {
    if (name) static_cast<Output*>(data)->monitor.name = name;
}

constexpr wl_output_listener kOutputListener{OnGeometry, OnMode, Ignore, IgnoreScale, OnName, IgnoreText};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
    if (std::strcmp(interface, wl_output_interface.name) != 0) return;
    auto output = std::make_unique<Output>();
    output->proxy = static_cast<wl_output*>(
        wl_registry_bind(registry, name, &wl_output_interface, std::min<std::uint32_t>(version, 4)));
    if (!output->proxy) return;
    wl_output_add_listener(output->proxy, &kOutputListener, output.get());
    static_cast<Outputs*>(data)->list.push_back(std::move(output));
}

void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

constexpr wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};

void OnSyncDone(void* data, wl_callback*, std::uint32_t) { *static_cast<bool*>(data) = true; }
constexpr wl_callback_listener kSyncListener{OnSyncDone};

// wl_display_roundtrip with a time limit: a compositor that stopped
// answering must not hang the command.
bool RoundTrip(wl_display* display, std::chrono::steady_clock::time_point deadline) {
    bool done = false;
    wl_callback* sync = wl_display_sync(display);
    if (!sync) return false;
    wl_callback_add_listener(sync, &kSyncListener, &done);
    bool ok = true;
    while (!done && ok) {
        while (wl_display_prepare_read(display) != 0) wl_display_dispatch_pending(display);
        wl_display_flush(display);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        pollfd ready{wl_display_get_fd(display), POLLIN, 0};
        const int n = left.count() > 0 ? ::poll(&ready, 1, static_cast<int>(left.count())) : 0;
        if (n > 0) {
            ok = wl_display_read_events(display) == 0 && wl_display_dispatch_pending(display) >= 0;
        } else {
            wl_display_cancel_read(display);
            ok = n < 0 && errno == EINTR;
        }
    }
    wl_callback_destroy(sync);
    return done;
}

struct DisplayCloser {
    void operator()(wl_display* d) const { wl_display_disconnect(d); }
};
struct RegistryDestroyer {
    void operator()(wl_registry* r) const { wl_registry_destroy(r); }
};

}  // namespace

std::optional<MonitorList> WaylandMonitors(std::string& error) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) {
        error = "no Wayland display: WAYLAND_DISPLAY is not set";
        return std::nullopt;
    }
    const std::unique_ptr<wl_display, DisplayCloser> display(wl_display_connect(nullptr));
    if (!display) {
        error = std::string("cannot connect to the Wayland display ") + name;
        return std::nullopt;
    }
    Outputs outputs;
    {
        const std::unique_ptr<wl_registry, RegistryDestroyer> registry(wl_display_get_registry(display.get()));
        if (!registry) {
            error = "the Wayland compositor gives no registry";
            return std::nullopt;
        }
        wl_registry_add_listener(registry.get(), &kRegistryListener, &outputs);
        // The first round brings the globals, the second their outputs' modes.
        const auto deadline = std::chrono::steady_clock::now() + kAnswerLimit;
        if (!RoundTrip(display.get(), deadline) || !RoundTrip(display.get(), deadline)) {
            error = std::string("the Wayland compositor on ") + name + " does not answer";
            return std::nullopt;
        }
    }
    MonitorList monitors;
    for (const auto& out : outputs.list) {
        if (!out->hasMode || out->monitor.width <= 0 || out->monitor.height <= 0) continue;
        Monitor m = out->monitor;
        // A quarter turn shows the mode's width upright as the height.
        if (out->transform & WL_OUTPUT_TRANSFORM_90) std::swap(m.width, m.height);
        monitors.push_back(m);
    }
    if (monitors.empty()) {
        error = std::string("the Wayland compositor on ") + name + " has no outputs";
        return std::nullopt;
    }
    monitors.front().primary = true;
    return monitors;
}

}  // namespace vantoria
