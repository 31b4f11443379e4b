#pragma once
// The desktop-wallpaper setting of the user's profile: what Windows offers
// as SystemParametersInfo(SPI_SETDESKWALLPAPER) with "update the profile and
// tell running programs".
//
// The desktop that shows the wallpaper is chosen from the session (see
// DesktopChoice.h; VANTORIA_DESKTOP=x11|gnome|cinnamon|mate|kde|xfce|lxqt|lxde|
// sway|none forces one). Tiling is read from the profile's "TileWallPaper"
// value, "1" tiling and anything else centring, as Windows reads it.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop/BufferWrite.h"
#include "platform/desktop/DesktopResult.h"
#include "platform/screen/Monitors.h"

namespace vantoria::desktop {

// The profile's desktop settings key, below HKEY_CURRENT_USER: "Wallpaper"
// and "TileWallPaper" live there.
inline constexpr std::string_view kDesktopKey = "\\Control Panel\\desktop";

// The wallpaper the profile records ("Wallpaper"); "" when none is.
// Throws registry::RegistryError when the registry cannot be read.
std::string RecordedWallpaper();

// Makes the bitmap file at `path` the desktop wallpaper; "" removes it.
// Records `path` as "Wallpaper" under HKEY_CURRENT_USER\Control Panel\desktop
// (creating the key, as Windows would) once the desktop has taken it, or
// right away on the "none" desktop. Never throws; a failure to record is
// reported like a desktop failure, after the desktop has been changed.
// Where we draw the desktop ourselves (bare X11), monitors of another size
// than the one the file was composed for show what `otherSizes` composes.
// `tile` is what the caller has just recorded as "TileWallPaper"; without
// it the profile's value is read. `writing`, when given, is the file at
// `path` still being written: bare X11 gets its picture from memory
// meanwhile, every other desktop the file once it is complete; a failed
// write fails the change with its reason (on bare X11 the picture is then
// shown all the same).
DesktopResult SetDeskWallpaper(const std::string& path, const MonitorComposer& otherSizes = {},
                               std::optional<bool> tile = std::nullopt, BufferWrite* writing = nullptr);

class X11Preparation;

// Gets the desktop ready for a change while its picture is still being
// decoded: where we draw the desktop ourselves (bare X11), the connection
// to the server, its monitors and a screen-sized pixmap are made ready on a
// thread of their own, and the next SetDeskWallpaper while this object
// lives starts from them. Elsewhere it does nothing. What the change does
// not use goes with the object, leaving nothing on the server; a
// preparation that fails leaves the change as it would have been.
class DesktopPreparation {
public:
    DesktopPreparation();
    ~DesktopPreparation();
    DesktopPreparation(const DesktopPreparation&) = delete;
    DesktopPreparation& operator=(const DesktopPreparation&) = delete;

private:
    std::unique_ptr<X11Preparation> x11_;
};

// True when the session's desktop is one we draw ourselves (bare X11): only
// there does a change gain from setting the desktop while the file is
// written; every other desktop is better asked once the file is complete.
bool DrawsFromMemory();

}  // namespace vantoria::desktop
