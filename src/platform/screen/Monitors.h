#pragma once
// The monitors of the desktop: where each one lies on the screen, and which
// one is primary. The buffer file is composed for the primary monitor; a
// desktop that we draw ourselves gives every other monitor a picture of its
// own size.

#include "platform/raster/Bitmap.h"
#include "platform/raster/ScreenSize.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantoria {

struct Monitor {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool primary = false;

    raster::ScreenSize Size() const { return {width, height}; }
    friend constexpr bool operator==(const Monitor&, const Monitor&) = default;
};

using MonitorList = std::vector<Monitor>;

// "WxH+X+Y" items separated by commas, e.g. "1024x768+0+0,1280x1024+1024+0";
// the first one is primary. Sides from 1 to the largest bitmap side, offsets
// within the same range either way; anything else is nullopt.
std::optional<MonitorList> ParseMonitors(const std::string& text);

// VANTORIA_MONITORS in that form; nullopt when unset. Throws
// std::invalid_argument when it is set but malformed.
std::optional<MonitorList> MonitorsFromEnvironment();

// The one marked primary, else the first. `monitors` must not be empty.
const Monitor& PrimaryMonitor(const MonitorList& monitors);

// The wallpaper composed for a monitor of the given size, or nullopt when
// the buffer file is already that picture (the size it was composed for, or
// a layout that does not depend on the size). Never throws.
using MonitorComposer = std::function<std::optional<raster::Bitmap>(raster::ScreenSize)>;

}  // namespace vantoria
