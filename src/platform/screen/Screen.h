#pragma once
// Where the screen size comes from outside the tray program: an override in
// the environment (tests, headless use), else the primary monitor of the
// X server or the Wayland compositor.

#include "platform/raster/ScreenSize.h"
#include "platform/screen/Monitors.h"

#include <optional>
#include <string>

namespace vantoria {

// "1920x1080" → 1920 x 1080. Both sides must be whole numbers from 1 to the
// largest bitmap side; anything else is nullopt.
[[nodiscard]] std::optional<raster::ScreenSize> ParseScreenSize(const std::string& text);

// VANTORIA_SCREEN=WIDTHxHEIGHT; nullopt when unset. Throws
// std::invalid_argument when it is set but malformed.
[[nodiscard]] std::optional<raster::ScreenSize> ScreenSizeFromEnvironment();

// The primary monitor of the X server named by DISPLAY (see X11Monitors).
// nullopt with `error` set when there is no usable display.
[[nodiscard]] std::optional<raster::ScreenSize> X11PrimaryScreenSize(std::string& error);

// The primary monitor's size for a program without a window of its own: that
// of CurrentMonitors below. nullopt with `error` set when
// none answers. Throws std::invalid_argument for a malformed VANTORIA_MONITORS.
[[nodiscard]] std::optional<raster::ScreenSize> PrimaryScreenSize(std::string& error);

// The primary screen's size in device pixels from what a toolkit that scales
// the screen says of it: `logical` whole logical pixels of `ratio` device
// pixels each. Scaling rounds the logical size (1366 at 1.5 is 911, which is
// 1367 again), so where the primary monitor (PrimaryScreenSize) is one whose
// size rounds to `logical`, its own size; else `logical` times `ratio`.
[[nodiscard]] raster::ScreenSize DeviceScreenSize(raster::ScreenSize logical, double ratio);

// Every monitor: VANTORIA_MONITORS, else sway's outputs in a sway session,
// else the X server (in a Wayland session with each output's size from the
// compositor, which Xwayland may show scaled), else sway, else the Wayland
// compositor's outputs; never empty when given. nullopt with `error` set when none answers. Throws
// std::invalid_argument for a malformed VANTORIA_MONITORS.
[[nodiscard]] std::optional<MonitorList> CurrentMonitors(std::string& error);

}  // namespace vantoria
