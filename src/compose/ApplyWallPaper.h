#pragma once
// The last step of a wallpaper change: the buffer file becomes the desktop
// wallpaper, with the desktop told whether to tile it.

#include <string>

#include "platform/Result.h"
#include "platform/screen/Monitors.h"

namespace vantoria {

namespace desktop {
class BufferWrite;
}

// Writes "TileWallPaper" ("1" or "0") under the user's desktop settings key,
// if that key exists (it is never created here), then sets the desktop
// wallpaper to `path` ("" removes it).
//
// Done when the desktop has the picture; otherwise why not: the registry
// failure (the desktop is then not asked at all), or the desktop's own
// reason. `otherSizes` composes the wallpaper for monitors of another size,
// where the desktop can show each monitor its own picture. `writing`, when
// given, is the file at `path` still being written (see
// desktop::SetDeskWallpaper).
Result ApplyWallPaper(const std::string& path, bool tile, const MonitorComposer& otherSizes = {},
                      desktop::BufferWrite* writing = nullptr);

// Removes the desktop wallpaper; "TileWallPaper" and the program's settings
// stay as they are.
Result EraseWallPaper();

}  // namespace vantoria
