#pragma once
// GNOME Shell draws its tiled ("wallpaper") background scaled, not 1:1: a
// small picture comes out several times its size. Where a tiling must show
// the buffer file's pixels as they are, the tiling is composed here into a
// canvas the size of the screen, tiled from its top-left corner, and that
// canvas is handed over centred, which the shell draws 1:1.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/raster/ScreenSize.h"

namespace vantoria::desktop {

// Writes `source` (a bitmap file) tiled over `screen` to a new file in
// `folder`; its path, or nullopt with `reason` set. The caller removes it.
std::optional<std::filesystem::path> WriteTiledCanvas(const std::string& source, raster::ScreenSize screen,
                                                      const std::filesystem::path& folder, std::string& reason);

}  // namespace vantoria::desktop
