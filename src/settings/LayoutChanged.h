#pragma once
// Set when a layout option (position, size, arrangement) was changed in the
// settings dialog; the chooser's Cancel then redraws the wallpaper.

namespace vantoria {

extern bool LayoutChanged;

}  // namespace vantoria
