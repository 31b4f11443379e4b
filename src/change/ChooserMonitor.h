#pragma once
// Which monitor a window is on, for a picture that goes on that monitor
// alone (MonitorMode 1): the one holding the larger part of the window.

#include "platform/screen/Monitors.h"

namespace vantoria {

struct WindowArea {
    int x = 0, y = 0, width = 0, height = 0;
};

// The monitor of `monitors` that holds the most of `window` (on a tie, the
// primary one, then the first); nullptr when none holds any of it.
const Monitor* MonitorHolding(const MonitorList& monitors, const WindowArea& window);

// A window's area in device pixels from the toolkit's scaled one: Qt keeps
// each screen's origin (`originX`, `originY`) in device pixels and scales by
// `ratio` only what lies beyond it.
WindowArea DeviceWindowArea(const WindowArea& logical, int originX, int originY, double ratio);

}  // namespace vantoria
