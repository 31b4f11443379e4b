#pragma once
// Not every shell tiles the buffer file as it is: GNOME Shell draws its tiled
// ("wallpaper") background scaled (a small picture comes out several times
// its size), Plasma lays its tiles out from the screen's centre. For those
// the tiling is composed here into a canvas the size of the screen, tiled
// from its top-left corner, and that canvas is handed over centred, which
// both draw 1:1.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/raster/ScreenSize.h"

namespace vantoria::desktop {

// Writes `source` (a bitmap file) tiled over `screen` to a new file in
// `folder`; its path, or nullopt with `reason` set. The caller removes it.
[[nodiscard]] std::optional<std::filesystem::path> WriteTiledCanvas(const std::string& source, raster::ScreenSize screen,
                                                      const std::filesystem::path& folder, std::string& reason);

}  // namespace vantoria::desktop
