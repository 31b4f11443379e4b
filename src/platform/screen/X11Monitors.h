#pragma once
// The monitors of an X server: RandR 1.5 monitors, else the Xinerama
// screens, else the root window as one monitor.

#include "platform/screen/Monitors.h"

#include <X11/Xlib.h>

namespace vantoria {

// Never empty. The caller catches X errors (a request that fails answers
// nothing here and the next source is asked). Monitors that the server made
// for an output give way to monitors a user defined inside them (xrandr
// --setmonitor splitting one output into several).
MonitorList X11Monitors(Display* display);

}  // namespace vantoria
