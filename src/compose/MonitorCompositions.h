#pragma once
// The wallpaper for monitors whose size differs from the primary one's, for
// desktops that show every monitor a picture of its own.

#include "platform/raster/Bitmap.h"
#include "platform/raster/ScreenSize.h"
#include "platform/screen/Monitors.h"

namespace vantoria {

struct TApSystem;

namespace compose {

// Composes `picture` with `mode` for a given monitor size, as the buffer file
// was composed for `screen` (asked once, now): nullopt for that size, and for
// modes whose result does not depend on the size. `settings` must outlive
// the result. `pictureSize` as for WallComposer.
MonitorComposer ForOtherMonitorSizes(const raster::Bitmap& picture, const TApSystem& settings, int mode,
                                     const raster::ScreenSizeSource& screen, raster::ScreenSize pictureSize = {});

}  // namespace compose
}  // namespace vantoria
