#pragma once
// The monitors of the desktop: where each one lies on the screen, and which
// one is primary. The buffer file is composed for the primary monitor; a
// desktop that we draw ourselves gives every other monitor a picture of its
// own size.

#include "platform/raster/Bitmap.h"
#include "platform/raster/ScreenSize.h"

#include <functional>
#include <memory>
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
    // Who the monitor is, where the platform says: the output's name
    // ("DP-1") and the make, model and serial number from its EDID.
    std::string name;
    std::string make;
    std::string model;
    std::string serial;

    raster::ScreenSize Size() const { return {width, height}; }
    // What tells this monitor apart from the others, for remembering what
    // it shows: the EDID's make, model and serial when it has a serial
    // number (they stay when outputs are renumbered or the monitor moves to
    // another port), else make and model with the output's name, else its
    // place on the screen.
    std::string Identity() const;
    friend constexpr bool operator==(const Monitor&, const Monitor&) = default;
};

using MonitorList = std::vector<Monitor>;

// "WxH+X+Y" items separated by commas, e.g. "1024x768+0+0,1280x1024+1024+0";
// the first one is primary. Sides from 1 to the largest bitmap side, offsets
// within the same range either way; anything else is nullopt.
[[nodiscard]] std::optional<MonitorList> ParseMonitors(const std::string& text);

// The monitors given for this process (GivenMonitors below), else
// VANTORIA_MONITORS in that form; nullopt when neither is. Throws
// std::invalid_argument when the variable is set but malformed.
[[nodiscard]] std::optional<MonitorList> MonitorsFromEnvironment();

// Monitors named for this process only (vantoria-change --monitors), read by
// MonitorsFromEnvironment in place of VANTORIA_MONITORS, so that the
// programs it starts still see the user's own environment. Held while the
// object lives.
class GivenMonitors {
public:
    explicit GivenMonitors(std::optional<MonitorList> monitors);
    ~GivenMonitors();
    GivenMonitors(const GivenMonitors&) = delete;
    GivenMonitors& operator=(const GivenMonitors&) = delete;

private:
    std::optional<MonitorList> previous_;
};

// The one marked primary, else the first. `monitors` must not be empty.
const Monitor& PrimaryMonitor(const MonitorList& monitors);

// The smallest rectangle holding every monitor (its x and y are the least
// offsets, not always 0). `monitors` must not be empty.
Monitor BoundingBox(const MonitorList& monitors);

// Whether `inner` lies wholly within `outer`; sharing an edge with it counts
// (a monitor a user defined in the right half of an output ends where the
// output does).
bool MonitorInside(const Monitor& inner, const Monitor& outer);

// Whether two lists are the same monitors at the same places (names and
// identities included), whatever their order.
bool SameMonitors(const MonitorList& a, const MonitorList& b);

// The wallpaper of each monitor where it is not simply the buffer file.
struct MonitorComposer {
    // The picture for `monitor`, exactly what it shows, or nullopt when the
    // buffer file is that picture (the size it was composed for, or a
    // layout that does not depend on the size). Never throws.
    std::function<std::optional<raster::Bitmap>(const Monitor&)> compose;
    // The picture depends on nothing but the monitor's size (one picture
    // laid out for each size); otherwise every monitor has its own (a
    // picture each, or its part of one across all of them).
    bool sizeOnly = true;
    // Monitors for which no picture could be made, with why; the change
    // reports them.
    std::shared_ptr<std::string> problem = std::make_shared<std::string>();

    explicit operator bool() const { return static_cast<bool>(compose); }
    std::optional<raster::Bitmap> operator()(const Monitor& monitor) const { return compose(monitor); }
};

}  // namespace vantoria
