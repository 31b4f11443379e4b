#pragma once
// The program's icon, for the tray and for every window.

#include <QIcon>

namespace vantoria {

// The name of the icon in the desktop's icon theme (and of the desktop entry).
inline constexpr const char* kIconName = "vantoria";

// Every size we ship (16 to 64 px), so that panels and HiDPI screens pick a
// sharp one; the theme's icon of that name (with its scalable picture) where
// the program is installed, so that hosts that look icons up by name find it.
QIcon AppIcon();

}  // namespace vantoria
