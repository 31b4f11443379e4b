#pragma once
// Set by any click in the settings dialog's three layout groups (position,
// size, arrangement), cleared at the end of each showing of that dialog; read
// by its OK and by the chooser's Cancel, which then redraw the wallpaper.

namespace vantoria {

extern bool LayoutChanged;

}  // namespace vantoria
