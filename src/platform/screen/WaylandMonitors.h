#pragma once
// The monitors of a Wayland compositor, for a program without a window of
// its own: every wl_output's current mode and position.

#include "platform/screen/Monitors.h"

#include <optional>
#include <string>

namespace vantoria {

// The outputs of the compositor named by WAYLAND_DISPLAY, in the order it
// announces them; the first is taken as primary (Wayland has no such notion).
// Sizes are in device pixels, turned for outputs that are rotated. nullopt
// with `error` set when there is no compositor, it has no outputs, or it
// does not answer within a few seconds.
[[nodiscard]] std::optional<MonitorList> WaylandMonitors(std::string& error);

}  // namespace vantoria
