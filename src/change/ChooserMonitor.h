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

}  // namespace vantoria
