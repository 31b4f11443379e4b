#pragma once
// The last step of a wallpaper change: the buffer file becomes the desktop
// wallpaper, with the desktop told whether to tile it.

#include <string>

#include "platform/screen/Monitors.h"

namespace vantoria {

namespace desktop {
class BufferWrite;
}

// Writes "TileWallPaper" ("1" or "0") under the user's desktop settings key,
// if that key exists (it is never created here), then sets the desktop
// wallpaper to `path` ("" removes it).
//
// Returns true when the wallpaper call was made, false when the registry
// step failed and nothing was applied. Whether the desktop took the picture
// does not change the result; `problem`, when given, receives why the
// wallpaper is not on the desktop (the registry failure, or the desktop's
// own reason), and "" when all went well. `otherSizes` composes the
// wallpaper for monitors of another size, where the desktop can show each
// monitor its own picture. `writing`, when given, is the file at `path`
// still being written (see desktop::SetDeskWallpaper).
bool ApplyWallPaper(const std::string& path, bool tile, std::string* problem = nullptr,
                    const MonitorComposer& otherSizes = {}, desktop::BufferWrite* writing = nullptr);

// Removes the desktop wallpaper; "TileWallPaper" and the program's settings
// stay as they are. `problem` as for ApplyWallPaper.
void EraseWallPaper(std::string* problem = nullptr);

}  // namespace vantoria
