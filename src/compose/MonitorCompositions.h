#pragma once
// The wallpaper of each monitor, where it is not simply the buffer file:
// monitors of another size than the primary one (every mode), a picture of
// its own on each monitor, or each monitor's part of one picture across all.
//
// Each composer makes one monitor's picture when asked and keeps nothing
// of it, so a desktop that is sent the monitors one at a time never holds
// more than one of them (and the spanned picture); every size is checked
// against the memory budget before it is allocated.

#include "compose/CompositionMode.h"
#include "platform/raster/Bitmap.h"
#include "platform/raster/ScreenSize.h"
#include "platform/screen/Monitors.h"

#include <functional>
#include <memory>
#include <string>
#include <optional>

namespace vantoria {

struct TApSystem;

namespace compose {

// Composes `picture` with `mode` for a given monitor size, as the buffer file
// was composed for `screen` (asked once, now): nullopt for that size, and for
// modes whose result does not depend on the size. `settings` must outlive
// the result. `pictureSize` as for WallComposer.
MonitorComposer ForOtherMonitorSizes(const raster::Bitmap& picture, const TApSystem& settings, int mode,
                                     const raster::ScreenSizeSource& screen, raster::ScreenSize pictureSize = {});

// `picture` as a desktop shows it on a screen of `size`: composed with the
// composition's mode for that size, then tiled from the top-left corner or
// centred, the rest black. Throws raster::RasterError (the memory budget
// included) when it cannot be made.
raster::Bitmap ScreenPicture(const raster::Bitmap& picture, const TApSystem& settings,
                             const Composition& composition, raster::ScreenSize size);

// One picture across all monitors: `picture` laid out on the box that holds
// them all as if it were one screen; each monitor gets its part.
MonitorComposer ForSpannedMonitors(const raster::Bitmap& picture, const TApSystem& settings,
                                   const Composition& composition, const MonitorList& monitors);

// A picture of its own on each monitor: `source` decodes the one a monitor
// shows (nullopt: it shows the buffer file), laid out for the monitor's size.
using MonitorPictureSource = std::function<std::optional<raster::Bitmap>(const Monitor&)>;
// `problem`, when given, is where the composer collects what went wrong
// (the source may write there too).
MonitorComposer ForEachMonitor(MonitorPictureSource source, const TApSystem& settings,
                               const Composition& composition, std::shared_ptr<std::string> problem = {});

// Everything at once, for a desktop that knows one picture for all monitors:
// the box of all monitors, each monitor's picture in its place (the buffer
// file's picture, laid out, where `perMonitor` gives none), the rest black.
raster::Bitmap MonitorCanvas(const MonitorList& monitors, const MonitorComposer& perMonitor,
                             const raster::Bitmap& buffer, bool tile);

}  // namespace compose
}  // namespace vantoria
