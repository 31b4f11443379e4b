#pragma once
// sway's outputs as `swaymsg -t get_outputs -r` lists them: name, place in
// the layout, size in pixels, make and model. The Wayland output list
// cannot say where each output lies on wlroots compositors (they announce
// every output at 0,0), so a sway session asks sway.

#include <optional>
#include <string>

#include "platform/screen/Monitors.h"

namespace vantoria {

// The active outputs, the first taken as primary; nullopt with `reason`
// set when swaymsg fails or lists none.
[[nodiscard]] std::optional<MonitorList> SwayOutputs(std::string& reason);

}  // namespace vantoria
