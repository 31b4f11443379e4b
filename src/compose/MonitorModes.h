#pragma once
// From MonitorMode to the pictures of the monitors: 0 one picture laid out
// for each monitor's size, 1 a picture of its own on each monitor (the
// primary one WallPaper's, the others as MonitorWallPapers assigns them),
// 2 one picture across the box of all monitors.

#include <functional>
#include <optional>
#include <string>

#include "compose/CompositionMode.h"
#include "platform/raster/Bitmap.h"
#include "platform/raster/ScreenSize.h"
#include "platform/screen/Monitors.h"

namespace vantoria {

struct TApSystem;

namespace compose {

// Decodes another monitor's file; throws with the reason when it cannot.
using PictureDecoder = std::function<raster::Bitmap(const std::string& file)>;

// `master` is the primary monitor's picture, composed into the buffer file
// for `screen`. `settings` must outlive the result.
MonitorComposer ComposerForMonitorMode(const raster::Bitmap& master, const TApSystem& settings,
                                       const Composition& composition, const raster::ScreenSizeSource& screen,
                                       PictureDecoder decode);

}  // namespace compose
}  // namespace vantoria
